#include "uFiles.h"

#include <QFile>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

namespace {

FileTime fromStatx(const statx_timestamp& ts)
{
    return FileTime{ts.tv_sec, static_cast<qint32>(ts.tv_nsec), true};
}

bool decodeName(const char* bytes, QString& name)
{
    const QByteArray raw(bytes);
    name = QFile::decodeName(raw);
    return QFile::encodeName(name) == raw;
}

// Windows compares names by their upper case; folding that as well keeps
// together the letters that upper case alone leaves apart (ẞ and ß), and
// upper case first those that folding alone does (ı and I).
char16_t caseKey(QChar c)
{
    return c.toUpper().toCaseFolded().unicode();
}

bool wildcardMatch(const QString& name, qsizetype n, const QString& mask, qsizetype m)
{
    // Iterative matcher with back-tracking to the last star.
    qsizetype star = -1, mark = 0;
    while (n < name.size()) {
        // A star is a star even where the name has one: taken as a letter it
        // would lose its place to back-track to.
        if (m < mask.size() && mask.at(m) == QLatin1Char('*')) {
            star = m++;
            mark = n;
        } else if (m < mask.size() && (mask.at(m) == QLatin1Char('?')
                                       || caseKey(mask.at(m)) == caseKey(name.at(n)))) {
            ++n;
            ++m;
        } else if (star >= 0) {
            m = star + 1;
            n = ++mark;
        } else {
            return false;
        }
    }
    while (m < mask.size() && mask.at(m) == QLatin1Char('*'))
        ++m;
    return m == mask.size();
}

bool excluded(quint32 entryAttr, quint32 filter)
{
    const quint32 special = faHidden | faSysFile | faVolumeID | faDirectory;
    return (entryAttr & ~filter & special) != 0;
}

} // namespace

bool statEntry(const QString& path, const QString& name, TSearchRec& rec)
{
    struct statx sx {};
    const QByteArray bytes = QFile::encodeName(path);
    if (statx(AT_FDCWD, bytes.constData(), AT_SYMLINK_NOFOLLOW,
              STATX_TYPE | STATX_MODE | STATX_SIZE | STATX_MTIME | STATX_CTIME | STATX_BTIME, &sx) != 0)
        return false;
    rec.name = name;
    rec.size = static_cast<qint64>(sx.stx_size);
    rec.attr = 0;
    if (S_ISLNK(sx.stx_mode))
        rec.attr |= faSymLink;
    else if (S_ISDIR(sx.stx_mode))
        rec.attr |= faDirectory;
    else if (S_ISREG(sx.stx_mode))
        rec.attr |= faArchive;
    else
        rec.attr |= faSysFile;
    if (!(sx.stx_mode & S_IWUSR))
        rec.attr |= faReadOnly;
    if (name.startsWith(QLatin1Char('.')) && name != QLatin1String(".") && name != QLatin1String(".."))
        rec.attr |= faHidden;
    if (rec.attr & faDirectory)
        rec.size = 0;
    rec.lastWriteTime = fromStatx(sx.stx_mtime);
    rec.creationTime = (sx.stx_mask & STATX_BTIME) ? fromStatx(sx.stx_btime) : fromStatx(sx.stx_ctime);
    return true;
}

bool matchesMask(const QString& name, const QString& mask)
{
    if (mask == QLatin1String("*.*") || mask == QLatin1String("*"))
        return true;
    return wildcardMatch(name, 0, mask, 0);
}

struct TFileSearch::State {
    DIR* dir = nullptr;
    QString folder;
    QString mask;
    quint32 attr = 0;
};

TFileSearch::TFileSearch() : d(std::make_unique<State>()) {}

TFileSearch::~TFileSearch()
{
    findClose();
}

bool TFileSearch::findFirst(const QString& pathWithMask, quint32 attr, TSearchRec& rec)
{
    findClose();
    const qsizetype slash = pathWithMask.lastIndexOf(QLatin1Char('/'));
    d->folder = slash < 0 ? QStringLiteral("./") : pathWithMask.left(slash + 1);
    d->mask = pathWithMask.mid(slash + 1);
    d->attr = attr;
    if (d->mask.contains(QLatin1Char('*')) || d->mask.contains(QLatin1Char('?'))) {
        d->dir = opendir(QFile::encodeName(d->folder).constData());
        return d->dir != nullptr && findNext(rec);
    }
    // A plain name: the entry itself, as the platform's search answers it.
    return statEntry(d->folder + d->mask, d->mask, rec) && !excluded(rec.attr, attr);
}

bool TFileSearch::findNext(TSearchRec& rec)
{
    if (!d->dir)
        return false;
    while (dirent* entry = readdir(d->dir)) {
        QString name;
        if (!decodeName(entry->d_name, name) || !matchesMask(name, d->mask))
            continue;
        if (!statEntry(d->folder + name, name, rec))
            continue; // vanished between the listing and the look
        if (!excluded(rec.attr, d->attr))
            return true;
    }
    return false;
}

void TFileSearch::findClose()
{
    if (d->dir) {
        closedir(d->dir);
        d->dir = nullptr;
    }
}

bool findFile(const QString& path, TSearchRec& rec)
{
    TFileSearch search;
    return search.findFirst(path, faAnyFile, rec);
}
