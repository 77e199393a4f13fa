#include "uBaseCommon.h"
#include "uExif.h"
#include "umain.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Movarium"));
    QApplication::setOrganizationName(QStringLiteral("Tessaly"));
    installExifReader();
    // The database module comes before the window and goes after it, closing the catalogue last.
    TBaseCommon baseCommon;
    TMainForm window(&baseCommon);
    window.show();
    return app.exec();
}
