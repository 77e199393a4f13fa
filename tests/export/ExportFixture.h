#pragma once

#include "CatalogueFixture.h"
#include "uQXFileBox.h"
#include "uScriptAction.h"
#include "uVideoFichiers.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>

#include <memory>

inline void PrintTo(const QString& text, std::ostream* os)
{
    *os << '"' << text.toStdString() << '"';
}

// A real catalogue file whose listed records the file box sorts as the
// program does, by folder then creation date.
class ExportTest : public CatalogueTest {
protected:
    void SetUp() override
    {
        CatalogueTest::SetUp();
        box = std::make_unique<TQXFileBox>();
        box->setTableName(QStringLiteral("VideoFichiers"));
        box->setBase(db);
        box->wrSort->setValue(QStringLiteral("Folder,CreationDate ASC"));
        out = dir.file(QStringLiteral("out"));
        QDir().mkpath(out);
    }

    void TearDown() override
    {
        box.reset();
        CatalogueTest::TearDown();
    }

    // A listed record; each one is created a minute after the previous, so the sort keeps the calls' order.
    void addVideo(const QString& folder, const QString& name, qint32 durationMs)
    {
        TVideoFichier v;
        v.FFolder = folder;
        v.FListName = name;
        v.FExtension = fileExtension(name);
        v.FFilename = folder + name;
        v.Fcaption = QStringLiteral("0000-0000|") + folder.mid(1) + name;
        v.FListed = 1;
        v.FDuration = durationMs;
        v.FCreationDate = created + added++ / (24.0 * 60);
        ASSERT_TRUE(v.insertnew());
    }

    // The workbook as the reader script sees it.
    static QJsonObject readWorkbook(const QString& path)
    {
        QProcess reader;
        reader.start(QStringLiteral("/usr/bin/python3"), {QStringLiteral(READ_WORKBOOK), path});
        if (!reader.waitForFinished(60000) || reader.exitCode() != 0) {
            ADD_FAILURE() << "the reader failed: " << reader.readAllStandardError().toStdString();
            return {};
        }
        return QJsonDocument::fromJson(reader.readAllStandardOutput()).object();
    }

    static QJsonArray sheets(const QJsonObject& book) { return book.value(QStringLiteral("sheets")).toArray(); }

    static QStringList sheetNames(const QJsonObject& book)
    {
        QStringList names;
        for (const QJsonValue& s : sheets(book))
            names << s.toObject().value(QStringLiteral("name")).toString();
        return names;
    }

    static QJsonObject cell(const QJsonObject& sheet, const QString& ref)
    {
        return sheet.value(QStringLiteral("cells")).toObject().value(ref).toObject();
    }

    static QString text(const QJsonObject& sheet, const QString& ref)
    {
        return cell(sheet, ref).value(QStringLiteral("value")).toString();
    }

    static QString fill(const QJsonObject& sheet, const QString& ref)
    {
        return cell(sheet, ref).value(QStringLiteral("fill")).toString();
    }

    // The files a folder holds, hidden ones included.
    static QStringList filesIn(const QString& folder)
    {
        return QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System);
    }

    std::unique_ptr<TQXFileBox> box;
    QString out;
    // 18 August 2024 20:52:58.
    const TDateTime created = 45522 + (20 * 3600 + 52 * 60 + 58) / 86400.0;
    int added = 0;
};
