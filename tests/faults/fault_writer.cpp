// A writer of the program's files, run by kill_writers.py and killed by it at
// every moment that touches the destination. Each run writes one complete
// generation of a file with the program's own classes, as the program does:
//
//   fault_writer hive HIVEFILE LABEL COUNT      the preferences' save into the user hive
//   fault_writer ini INIFILE LABEL COUNT        the preferences' save into the ini file
//   fault_writer export DEST FORMAT LABEL COUNT the spreadsheet export of COUNT videos
//
// The values depend only on LABEL and COUNT, so two runs with the same
// arguments write the same file (the workbook's own dates aside).
#include "uExporterFichier.h"
#include "uPreferences.h"
#include "uVideoFichiers.h"

#include <QCoreApplication>
#include <QLocale>

#include <cstdio>

namespace {

QString valueName(int i)
{
    return QStringLiteral("Value%1").arg(i, 4, 10, QLatin1Char('0'));
}

// Long enough that a file of a few hundred values takes several writes.
QString valueText(const QString& label, int i)
{
    return label + QLatin1Char('-') + QString::number(i) + QLatin1Char('-') + QString(40, QLatin1Char('x'));
}

// The preferences' close: one burst under the main window's key, written once at its end.
bool savePreferences(TPreferencesMan& store, const QString& label, int count)
{
    store.beginUpdate();
    bool written = store.writestring(QStringLiteral("Version"), label);
    written = store.openkey(QStringLiteral("MainForm"), true) && written;
    for (int i = 0; i < count; ++i)
        written = store.writestring(valueName(i), valueText(label, i)) && written;
    store.closekey();
    return store.endUpdate() && written;
}

bool exportVideos(const QString& dest, int format, const QString& label, int count)
{
    TExcelExportMode target(dest, TExportColumns{true, true}, format);
    if (!target.initExport()) {
        std::fprintf(stderr, "%s\n", qPrintable(target.message()));
        return false;
    }
    for (int i = 0; i < count; ++i) {
        TVideoFichier v;
        v.FFolder = QStringLiteral("/videos/") + label + QStringLiteral("/part%1/").arg(i / 50);
        v.FListName = label + QStringLiteral("_%1.mp4").arg(i, 4, 10, QLatin1Char('0'));
        v.FExtension = QStringLiteral(".mp4");
        v.FFilename = v.FFolder + v.FListName;
        v.FDuration = 1000 + i;
        v.FCreationDate = 45000.5 + i;
        target.addExport(v);
    }
    const bool saved = target.finishExport();
    if (!target.message().isEmpty())
        std::fprintf(stderr, "%s\n", qPrintable(target.message()));
    return saved && target.savedFile() == dest;
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    const QString kind = args.value(1);
    bool done = false;
    if ((kind == QLatin1String("hive") || kind == QLatin1String("ini")) && args.size() == 5) {
        const QString label = args.at(3);
        const int count = args.at(4).toInt();
        if (kind == QLatin1String("hive")) {
            TRegPreferencesMan store(QStringLiteral("Software\\Tessaly\\Movarium"), args.at(2));
            done = savePreferences(store, label, count);
        } else {
            // Doubles aside, nothing here depends on the locale; C keeps the file the same everywhere.
            TIniPreferencesMan store(args.at(2), QLocale::c());
            done = savePreferences(store, label, count);
        }
    } else if (kind == QLatin1String("export") && args.size() == 6) {
        done = exportVideos(args.at(2), args.at(3).toInt(), args.at(4), args.at(5).toInt());
    } else {
        std::fprintf(stderr, "usage: fault_writer hive|ini FILE LABEL COUNT | export DEST FORMAT LABEL COUNT\n");
        return 2;
    }
    return done ? 0 : 1;
}
