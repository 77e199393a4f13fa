#include "uLog.h"

#include <QApplication>
#include <QLabel>
#include <QMainWindow>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Movarium"));

    logStart(getPersonalFolder() + (getPersonalFolder().endsWith(QLatin1Char('/')) ? QString() : QStringLiteral("/"))
             + QStringLiteral("Movarium.log"));
    QMainWindow window;
    window.setWindowTitle(QStringLiteral("Movarium 1.0.3.9 fr by Tessaly"));
    auto* label = new QLabel(QStringLiteral("Movarium is under construction."), &window);
    label->setAlignment(Qt::AlignCenter);
    window.setCentralWidget(label);
    window.resize(1010, 648);
    logLine(QStringLiteral("Variable PATH:"));
    logLine(qEnvironmentVariable("PATH"));
    logSeparator();
    window.show();
    const int result = app.exec();
    logEnd();
    return result;
}
