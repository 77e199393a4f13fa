#include "uPrivateLAV.h"

#include "uDecoders.h"
#include "uHive.h"
#include "uLog.h"

#include <QFileInfo>

const QUuid CLSID_LAVSplitterSource = QUuid::fromString(u"{B98D13E7-55DB-4385-A33D-09FD1BA26338}");
const QUuid CLSID_LAVSplitter = QUuid::fromString(u"{171252A0-8820-4AFE-9DF8-5C92B2D66B04}");
const QUuid CLSID_LAVAudio = QUuid::fromString(u"{E8E73B6B-4CB3-44A4-BE99-4F7BCB96E491}");
const QUuid CLSID_LAVVideo = QUuid::fromString(u"{EE30215D-164F-4A92-A4EB-9D4C13390F9F}");

namespace {

const QString kHWAccelKey = QStringLiteral("\\SOFTWARE\\LBV\\Video\\HWAccel");

void listIfPresent(const QUuid& clsid, const QString& file)
{
    if (QFileInfo(file).isFile())
        privateFactories().lister(clsid, file);
}

} // namespace

void registerPrivateLAV(const QString& folder)
{
    const QString splitter = folder + QStringLiteral("LAVSplitter.ax");
    listIfPresent(CLSID_LAVSplitterSource, splitter);
    TFilterRec::create(CLSID_LAVSplitterSource, LAVRecords::PrivateSplitterSource, ftPrivate);
    listIfPresent(CLSID_LAVSplitter, splitter);
    TFilterRec::create(CLSID_LAVSplitter, LAVRecords::PrivateSplitter, ftPrivate);
    listIfPresent(CLSID_LAVAudio, folder + QStringLiteral("LAVAudio.ax"));
    TFilterRec::create(CLSID_LAVAudio, LAVRecords::PrivateAudio, ftPrivate);
    listIfPresent(CLSID_LAVVideo, folder + QStringLiteral("LAVVideo.ax"));
    TFilterRec::create(CLSID_LAVVideo, LAVRecords::PrivateVideo, ftPrivate);

    TFilterRec::create(CLSID_LAVVideo, LAVRecords::Video, ftCom);
    TFilterRec::create(CLSID_LAVAudio, LAVRecords::Audio, ftCom);
    TFilterRec::create(CLSID_LAVSplitterSource, LAVRecords::SplitterSource, ftCom);
}

bool clearLBVSettings()
{
    THive hive;
    if (!hive.keyExists(QStringLiteral("Software\\LBV")))
        return true;
    return hive.regDelete(QStringLiteral("HKCU\\Software\\LBV"));
}

bool importLBVSettings(const QString& regFile)
{
    if (!QFileInfo(regFile).isFile())
        return false;
    THive hive;
    if (hive.regImport(regFile))
        return true;
    logLine(QStringLiteral("Cannot import ") + regFile);
    return false;
}

bool writeHWAccelValue(const QString& name, quint32 value)
{
    THive hive;
    return hive.keyExists(kHWAccelKey) && hive.setDword(kHWAccelKey, name, value);
}
