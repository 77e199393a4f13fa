#include "uCatalogueTables.h"

namespace {

TGridColumnsList sharedLevel()
{
    TGridColumnsList c;
    c.add(QStringLiteral("Numero"), {}, QStringLiteral("int"), false, true);
    c.add(QStringLiteral("DateCatalogue"), {}, QStringLiteral("double"), false, true);
    c.add(QStringLiteral("DateModify"), {}, QStringLiteral("double"), false, true);
    c.add(QStringLiteral("Commentaire"), QStringLiteral("Comments"), QStringLiteral("text"), false, true);
    return c;
}

TGridColumnsList captionLevel(const TGridColumnsList& parent)
{
    TGridColumnsList c(parent);
    c.add(QStringLiteral("Caption"), {}, QStringLiteral("text"), true, false);
    return c;
}

TGridColumnsList fileLevel(const TGridColumnsList& parent)
{
    TGridColumnsList c(parent);
    c.add(QStringLiteral("ListName"), {}, QStringLiteral("text"), true, false);
    c.add(QStringLiteral("Extension"), {}, QStringLiteral("text"), true, false);
    c.add(QStringLiteral("Folder"), {}, QStringLiteral("text"), true, false);
    c.add(QStringLiteral("Size"), {}, QStringLiteral("int"), false, false);
    c.add(QStringLiteral("FileCreationDate"), {}, QStringLiteral("double"), false, false);
    c.add(QStringLiteral("FileModifyDate"), {}, QStringLiteral("double"), false, false);
    c.add(QStringLiteral("Attribute"), {}, QStringLiteral("int"), false, false);
    c.add(QStringLiteral("Listed"), {}, QStringLiteral("int"), false, false);
    return c;
}

TGridColumnsList driveFileLevel(const TGridColumnsList& parent)
{
    TGridColumnsList c(parent);
    c.add(QStringLiteral("DriveNumero"), {}, QStringLiteral("int"), false, false);
    c.add(QStringLiteral("Filename"), QStringLiteral("FileName"), QStringLiteral("text"), true, false);
    return c;
}

TGridColumnsList driveLevel(const TGridColumnsList& parent)
{
    TGridColumnsList c(parent);
    c.add(QStringLiteral("VolumeName"), {}, QStringLiteral("text"), true, false);
    c.add(QStringLiteral("SerialNo"), {}, QStringLiteral("int"), false, false);
    c.add(QStringLiteral("FileSystem"), {}, QStringLiteral("text"), false, false);
    c.add(QStringLiteral("TotalSpace"), {}, QStringLiteral("int"), false, false);
    c.add(QStringLiteral("RootPath"), {}, QStringLiteral("text"), true, false);
    c.add(QStringLiteral("DriveType"), {}, QStringLiteral("int"), false, false);
    c.add(QStringLiteral("FriendlyName"), {}, QStringLiteral("text"), true, false);
    return c;
}

TGridColumnsList videoLevel(const TGridColumnsList& parent)
{
    TGridColumnsList c(parent);
    const auto add = [&c](const char* name, const char* type, const char* caption = "") {
        c.add(QString::fromLatin1(name), QString::fromLatin1(caption), QString::fromLatin1(type), false, false);
    };
    add("HasVideo", "int");
    add("HasAudio", "int");
    add("HasScn", "int");
    add("HasSrt", "int");
    add("Width", "int");
    add("Height", "int");
    add("Fps", "double");
    add("Duration", "int");
    add("AspectRatioX", "int");
    add("AspectratioY", "int", "AspectRatioY");
    add("AudioFrequency", "int");
    add("Rotation", "int");
    add("AudioBits", "int");
    add("AudioCompression", "text");
    add("VideoCompression", "text");
    add("AudioChannels", "int");
    add("Album", "text");
    add("Chapitre", "text");
    add("Sequence", "text");
    add("Description", "text");
    add("Exif", "text");
    add("CreationDate", "double");
    return c;
}

} // namespace

TCatalogueTables::TCatalogueTables()
    : sharedColumns(sharedLevel()),
      captionColumns(captionLevel(sharedColumns)),
      sr2Columns(fileLevel(captionColumns)),
      driveFichierColumns(driveFileLevel(sr2Columns)),
      drivesColumns(driveLevel(sharedColumns)),
      videoColumns(videoLevel(driveFichierColumns)),
      SR2Fichiers(QStringLiteral("SR2Fichiers"), &sr2Columns),
      DriveFichiers(QStringLiteral("DriveFichiers"), &driveFichierColumns),
      Drives(QStringLiteral("Drives"), &drivesColumns),
      VideoFichiers(QStringLiteral("VideoFichiers"), &videoColumns)
{
    // The list's two usual orders read a page through these without sorting the table.
    VideoFichiers.addIndex(QStringLiteral("xVideoFichiers_ListedFolder"), QStringLiteral("Listed, Folder, CreationDate"));
    VideoFichiers.addIndex(QStringLiteral("xVideoFichiers_ListedName"), QStringLiteral("Listed, ListName"));
    VideoFichiers.setCaptionKey(QStringLiteral("xVideoFichiers_CaptionKey"));
}

TCatalogueTables& catalogueTables()
{
    static TCatalogueTables tables;
    return tables;
}
