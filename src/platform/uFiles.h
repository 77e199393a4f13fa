#pragma once

#include "uDateTime.h"

#include <QString>

#include <memory>

// Attribute bits of a directory entry, numbered as the catalogue stores them.
enum : quint32 {
    faReadOnly = 0x1,
    faHidden = 0x2,
    faSysFile = 0x4,
    faVolumeID = 0x8,
    faDirectory = 0x10,
    faArchive = 0x20,
    faSymLink = 0x400,
    faAnyFile = 0x1FF,
};

// One directory entry as a search gives it.
struct TSearchRec {
    QString name;
    qint64 size = 0;
    quint32 attr = 0;
    FileTime creationTime;
    FileTime lastWriteTime;
};

// Attribute bits and times of the entry at a path, the entry itself and never
// the target of a symbolic link. False when the path names nothing.
bool statEntry(const QString& path, const QString& name, TSearchRec& rec);

// Wildcard match with "*" and "?", letter case ignored; "*.*" matches every name.
bool matchesMask(const QString& name, const QString& mask);

// A directory search: findFirst("folder/*.mp4", faAnyFile, rec), then findNext
// until it answers false. Hidden, system and directory entries are returned only
// when their bits are in the attribute filter; "." and ".." come first when the
// mask takes them. Names that cannot be decoded from the file system's bytes are
// skipped: no path built from them could reach the file again.
class TFileSearch {
public:
    TFileSearch();
    ~TFileSearch();
    TFileSearch(const TFileSearch&) = delete;
    TFileSearch& operator=(const TFileSearch&) = delete;

    bool findFirst(const QString& pathWithMask, quint32 attr, TSearchRec& rec);
    bool findNext(TSearchRec& rec);
    void findClose();

private:
    struct State;
    std::unique_ptr<State> d;
};

// Searches one path (no wildcard) with every attribute.
bool findFile(const QString& path, TSearchRec& rec);
