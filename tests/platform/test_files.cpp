#include "TestSupport.h"
#include "uDateTime.h"
#include "uFiles.h"

#include <QFile>
#include <QMap>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

TEST(Masks, WindowsWildcardRules)
{
    const struct {
        const char* name;
        const char* mask;
        bool match;
    } cases[] = {
        {"A.MP4", "*.mp4", true},   {"b.mov", "*.MOV", true},     {"c.mkv", "*.mp4", false},
        {"README", "*.*", true},    {"a.b.c", "*.c", true},       {"clip.mp4", "clip.???", true},
        {"clip.mp44", "clip.???", false}, {"clip.mp4", "CLIP.MP4", true}, {"été.mp4", "ÉTÉ*", true},
        {"x", "*", true},           {"ab", "a*b*", true},         {"ab", "a?b", false},
        // A star of the mask facing a star of the name is still a wildcard.
        {"**lp", "**", true},       {"*.mp4.mp4", "*.mp4", true}, {"a*b*c", "a*c", true},
        // Letters compare by their upper case, as Windows compares names.
        {"dıvx.mp4", "DIVX.MP4", true}, {"straße.mov", "STRAẞE.MOV", true}, {"ſ.mp4", "S.MP4", true},
    };
    for (const auto& c : cases)
        EXPECT_EQ(matchesMask(QString::fromUtf8(c.name), QString::fromUtf8(c.mask)), c.match) << c.name << " " << c.mask;
}

TEST(DirectorySearch, AttributesAndFilters)
{
    TempFolder dir;
    dir.write(QStringLiteral("A.MP4"), "video");
    dir.write(QStringLiteral(".hidden.mp4"));
    dir.write(QStringLiteral("sub/inner.mov"));
    const QString readOnly = dir.write(QStringLiteral("ro.mov"));
    chmod(QFile::encodeName(readOnly).constData(), 0444);
    QFile::link(dir.file(QStringLiteral("sub")), dir.file(QStringLiteral("link")));
    // A name that is not valid UTF-8 cannot be reached through a path built from text.
    const QByteArray badName = QFile::encodeName(dir.path()) + "/bad\xff.mp4";
    ::close(::creat(badName.constData(), 0644));

    QMap<QString, quint32> seen;
    TFileSearch search;
    TSearchRec rec;
    for (bool ok = search.findFirst(dir.path() + QStringLiteral("/*.*"), faAnyFile, rec); ok; ok = search.findNext(rec))
        seen.insert(rec.name, rec.attr);

    EXPECT_EQ(seen.value(QStringLiteral("A.MP4")), quint32(faArchive));
    EXPECT_EQ(seen.value(QStringLiteral(".hidden.mp4")), quint32(faArchive | faHidden));
    EXPECT_EQ(seen.value(QStringLiteral("sub")), quint32(faDirectory));
    EXPECT_EQ(seen.value(QStringLiteral("ro.mov")), quint32(faArchive | faReadOnly));
    EXPECT_EQ(seen.value(QStringLiteral("link")), quint32(faSymLink));
    EXPECT_TRUE(seen.contains(QStringLiteral(".")));
    EXPECT_TRUE(seen.contains(QStringLiteral("..")));
    EXPECT_EQ(seen.size(), 7);

    seen.clear();
    for (bool ok = search.findFirst(dir.path() + QStringLiteral("/*.mp4"), faArchive | faReadOnly, rec); ok;
         ok = search.findNext(rec))
        seen.insert(rec.name, rec.attr);
    EXPECT_EQ(seen.keys(), QStringList({QStringLiteral("A.MP4")}));
}

TEST(DirectorySearch, OneFileWithSizeAndTimes)
{
    TempFolder dir;
    const QString path = dir.write(QStringLiteral("clip.mp4"), QByteArray(1234, 'x'));
    TSearchRec rec;
    ASSERT_TRUE(findFile(path, rec));
    EXPECT_EQ(rec.name, QStringLiteral("clip.mp4"));
    EXPECT_EQ(rec.size, 1234);
    EXPECT_TRUE(rec.lastWriteTime.valid);
    const double written = fileTimeToDateTime(rec.lastWriteTime);
    EXPECT_NEAR(written, nowDateTime(), 60.0 / 86400);
    EXPECT_FALSE(findFile(dir.file(QStringLiteral("none.mp4")), rec));
}

TEST(DateTimes, DaysSinceTheEpochInLocalTime)
{
    EXPECT_EQ(toDateTime(QDateTime(QDate(1899, 12, 30), QTime(0, 0))), 0.0);
    EXPECT_EQ(toDateTime(QDateTime(QDate(1900, 1, 1), QTime(18, 0))), 2.75);
    const QDateTime moment(QDate(2026, 12, 9), QTime(1, 2, 3, 4));
    EXPECT_EQ(fromDateTime(toDateTime(moment)), moment);
    EXPECT_EQ(fileTimeToDateTime(FileTime{}), 0.0);
    const FileTime epoch{0, 0, true};
    EXPECT_EQ(fromDateTime(fileTimeToDateTime(epoch)), QDateTime::fromSecsSinceEpoch(0));
}
