#include "CatalogueFixture.h"
#include "uVideoFichiers.h"

namespace {

TGridColumnsList captionColumns()
{
    TGridColumnsList c;
    c.add(QStringLiteral("Numero"), {}, QStringLiteral("int"), false, true);
    c.add(QStringLiteral("DateCatalogue"), {}, QStringLiteral("double"), false, true);
    c.add(QStringLiteral("DateModify"), {}, QStringLiteral("double"), false, true);
    c.add(QStringLiteral("Commentaire"), QStringLiteral("Comments"), QStringLiteral("text"), false, true);
    c.add(QStringLiteral("Caption"), {}, QStringLiteral("text"), true, false);
    return c;
}

// A record on the small table, to try the shared and caption levels alone.
class TSmall : public TCaption {
public:
    explicit TSmall(TTable* table) : TCaption(table) {}
};

} // namespace

TEST(TableModel, StatementTextsForTheSharedColumnsAndCaption)
{
    const TGridColumnsList columns = captionColumns();
    const TTable t(QStringLiteral("T"), &columns);
    EXPECT_EQ(QStringLiteral("CREATE TABLE IF NOT EXISTS T ") + t.createTableStr,
              QStringLiteral("CREATE TABLE IF NOT EXISTS T (Numero INTEGER PRIMARY KEY AUTOINCREMENT, DateCatalogue double "
                             "COLLATE NOCASE, DateModify double COLLATE NOCASE, Commentaire text COLLATE NOCASE, Caption "
                             "text COLLATE NOCASE);"));
    EXPECT_EQ(QStringLiteral("INSERT INTO T ") + t.insertStr,
              QStringLiteral("INSERT INTO T  (DateCatalogue, DateModify, Commentaire, Caption) VALUES (?, ?, ?, ?)"));
    EXPECT_EQ(QStringLiteral("UPDATE T SET") + t.updateStr + QStringLiteral(" WHERE numero=12"),
              QStringLiteral("UPDATE T SET DateCatalogue=?, DateModify=?, Commentaire=?, Caption=? WHERE numero=12"));
    EXPECT_TRUE(t.hasCaption());
}

TEST(TableModel, CatalogueSchemaAsStored)
{
    TCatalogueTables& tables = catalogueTables();
    EXPECT_EQ(QStringLiteral("CREATE TABLE IF NOT EXISTS Drives ") + tables.Drives.createTableStr,
              QStringLiteral("CREATE TABLE IF NOT EXISTS Drives (Numero INTEGER PRIMARY KEY AUTOINCREMENT, DateCatalogue double COLLATE NOCASE, DateModify double COLLATE NOCASE, Commentaire text COLLATE NOCASE, VolumeName text COLLATE NOCASE, SerialNo int COLLATE NOCASE, FileSystem text COLLATE NOCASE, TotalSpace int COLLATE NOCASE, RootPath text COLLATE NOCASE, DriveType int COLLATE NOCASE, FriendlyName text COLLATE NOCASE);"));
    EXPECT_EQ(QStringLiteral("CREATE TABLE IF NOT EXISTS VideoFichiers ") + tables.VideoFichiers.createTableStr,
              QStringLiteral("CREATE TABLE IF NOT EXISTS VideoFichiers (Numero INTEGER PRIMARY KEY AUTOINCREMENT, DateCatalogue double COLLATE NOCASE, DateModify double COLLATE NOCASE, Commentaire text COLLATE NOCASE, Caption text COLLATE NOCASE, ListName text COLLATE NOCASE, Extension text COLLATE NOCASE, Folder text COLLATE NOCASE, Size int COLLATE NOCASE, FileCreationDate double COLLATE NOCASE, FileModifyDate double COLLATE NOCASE, Attribute int COLLATE NOCASE, Listed int COLLATE NOCASE, DriveNumero int COLLATE NOCASE, Filename text COLLATE NOCASE, HasVideo int COLLATE NOCASE, HasAudio int COLLATE NOCASE, HasScn int COLLATE NOCASE, HasSrt int COLLATE NOCASE, Width int COLLATE NOCASE, Height int COLLATE NOCASE, Fps double COLLATE NOCASE, Duration int COLLATE NOCASE, AspectRatioX int COLLATE NOCASE, AspectratioY int COLLATE NOCASE, AudioFrequency int COLLATE NOCASE, Rotation int COLLATE NOCASE, AudioBits int COLLATE NOCASE, AudioCompression text COLLATE NOCASE, VideoCompression text COLLATE NOCASE, AudioChannels int COLLATE NOCASE, Album text COLLATE NOCASE, Chapitre text COLLATE NOCASE, Sequence text COLLATE NOCASE, Description text COLLATE NOCASE, Exif text COLLATE NOCASE, CreationDate double COLLATE NOCASE, CaptionKey text);"));
    EXPECT_EQ(tables.sr2Columns.count(), 13);
    EXPECT_EQ(tables.driveFichierColumns.count(), 15);
    EXPECT_EQ(tables.videoColumns.at(24).caption, QStringLiteral("AspectRatioY"));
    EXPECT_EQ(tables.videoColumns.at(14).caption, QStringLiteral("FileName"));
    EXPECT_TRUE(tables.videoColumns.at(3).Masked);
    EXPECT_TRUE(tables.videoColumns.at(5).Filtered);
    EXPECT_FALSE(tables.Drives.hasCaption());
}

TEST_F(CatalogueTest, AddingTablesAgainChangesNothing)
{
    const QString schema = text(QStringLiteral("SELECT group_concat(sql, ';') FROM sqlite_master"));
    EXPECT_TRUE(schema.contains(QStringLiteral("CREATE INDEX xVideoFichiers_Caption ON VideoFichiers (Caption)")));
    TVideoFichier v;
    v.Fcaption = QStringLiteral("kept");
    ASSERT_TRUE(v.insertnew());
    EXPECT_TRUE(catalogueTables().VideoFichiers.addToBase(db));
    EXPECT_TRUE(catalogueTables().Drives.addToBase(db));
    EXPECT_EQ(text(QStringLiteral("SELECT group_concat(sql, ';') FROM sqlite_master")), schema);
    EXPECT_EQ(scalar(QStringLiteral("SELECT count(*) FROM VideoFichiers")), 1);
}

TEST_F(CatalogueTest, CaptionLevelAlone)
{
    const TGridColumnsList columns = captionColumns();
    TTable table(QStringLiteral("T"), &columns);
    ASSERT_TRUE(table.addToBase(db));
    TSmall item(&table);
    item.Fcaption = QStringLiteral("D:\\X.mp4");
    item.Fcommentaire = {QStringLiteral("one"), QStringLiteral("two")};
    ASSERT_TRUE(item.insertnew());
    EXPECT_EQ(text(QStringLiteral("SELECT Commentaire FROM T")), QStringLiteral("one\r\ntwo\r\n"));

    TSmall found(&table);
    found.Fcaption = QStringLiteral("  d:\\x.MP4 ");
    ASSERT_TRUE(found.findbyCaption());
    EXPECT_EQ(found.numero, item.numero);
    EXPECT_EQ(found.Fcaption, QStringLiteral("D:\\X.mp4"));
    EXPECT_EQ(found.Fcommentaire, item.Fcommentaire);

    TSmall missing(&table);
    missing.Fcaption = QStringLiteral("\t other ");
    EXPECT_FALSE(missing.findbyCaption());
    EXPECT_EQ(missing.Fcaption, QStringLiteral("other"));
    EXPECT_EQ(missing.numero, 0);
    EXPECT_EQ(item.getCaption(), QStringLiteral("D:\\X.mp4"));
}

TEST_F(CatalogueTest, PagingThroughASelection)
{
    for (const char* name : {"c", "a", "b"}) {
        TVideoFichier v;
        v.FListName = QString::fromLatin1(name);
        v.FListed = 1;
        ASSERT_TRUE(v.insertnew());
    }
    TVideoFichier hidden;
    hidden.FListName = QStringLiteral("z");
    ASSERT_TRUE(hidden.insertnew());

    TTableSource source;
    source.prepare(db, QStringLiteral("VideoFichiers"), QStringLiteral("Listed=1"), QStringLiteral("ListName ASC"));
    EXPECT_EQ(source.count(), 3);

    QStringList names;
    TVideoFichier row;
    for (bool ok = source.first(0, 10); ok; ok = source.next()) {
        ASSERT_TRUE(row.getFromSource(source));
        names << row.FListName;
    }
    EXPECT_EQ(names, QStringList({QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c")}));
    EXPECT_TRUE(source.close());
    EXPECT_EQ(source.getnumero(), -1);
    EXPECT_TRUE(source.close());

    EXPECT_FALSE(source.first(5, 10));
    EXPECT_FALSE(source.first(-1, 10));
    ASSERT_TRUE(source.first(2, -1));
    ASSERT_TRUE(row.getFromSource(source));
    EXPECT_EQ(row.FListName, QStringLiteral("c"));
    EXPECT_EQ(source.getnumero(), 1);
    EXPECT_FALSE(source.next());
    source.close();

    int n0 = 0, n1 = 0;
    source.getbornes(7, true, n0, n1);
    EXPECT_EQ(n0, 7);
    EXPECT_EQ(n1, 7);

    TTableSource unconnected;
    unconnected.prepare(nullptr, QStringLiteral("VideoFichiers"), {}, {});
    EXPECT_EQ(unconnected.count(), 0);
    EXPECT_FALSE(unconnected.first(0, 10));

    TTableSource missingTable;
    missingTable.prepare(db, QStringLiteral("NoSuchTable"), {}, {});
    EXPECT_EQ(missingTable.count(), 0);
    EXPECT_FALSE(missingTable.first(0, 10));
}

TEST(IntegerList, FindsAndReplaces)
{
    TintegerList list;
    list.add(5);
    list.add(9);
    list.seti(0, 7);
    EXPECT_EQ(list.geti(0), 7);
    EXPECT_EQ(list.indexof(9), 1);
    EXPECT_EQ(list.indexof(5), -1);
    EXPECT_EQ(list.count(), 2);
}
