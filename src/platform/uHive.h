#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <memory>

// The user hive: the tree of keys and values that the program keeps "under
// HKEY_CURRENT_USER", held in one file in the text format of registry export
// files:
//
//   Windows Registry Editor Version 5.00
//
//   [HKEY_CURRENT_USER\Software\Tessaly\Movarium]
//   "Version"="Movarium 1.0 by Tessaly"
//   "Volume"=dword:00000064
//   "Zoom"=hex:00,00,00,00,00,00,f8,3f
//
// The file is written in UTF-8 without a byte-order mark, lines ended by LF;
// reading also takes UTF-8 or UTF-16 (either byte order) with a byte-order mark
// and CR LF line ends. Keys and values keep the order in which they were created.
//
// Key paths are relative to HKEY_CURRENT_USER, parts separated by "\" (empty
// parts, as in a leading "\", are ignored). Key and value names compare without
// regard to case, as in the registry, and keep the case they were created with.
//
// Every change writes the whole file through a temporary file and a rename, so
// the file on disk is always complete. Before each operation an instance reloads
// the file when it was replaced since this instance last read or wrote it, so
// several instances on one file (in one process or in several) see each other's
// changes; two processes changing the file at the same moment may lose one of
// the two changes.
//
// A file that cannot be parsed is never overwritten: it is renamed aside, the
// run log says so, and the hive starts empty.
//
// An instance belongs to the thread that uses it (the user-interface thread for
// the preferences); another thread uses an instance of its own on the same file.
class THive {
public:
    enum TValueType : quint32 {
        rtNone = 0,
        rtSz = 1,
        rtExpandSz = 2,
        rtBinary = 3,
        rtDword = 4,
        rtMultiSz = 7,
        rtQword = 11,
    };

    // $XDG_CONFIG_HOME/Tessaly/user.reg, ~/.config/Tessaly/user.reg without it.
    static QString defaultFileName();

    explicit THive(const QString& fileName = defaultFileName());
    ~THive();
    THive(const THive&) = delete;
    THive& operator=(const THive&) = delete;

    QString fileName() const;

    bool keyExists(const QString& key);
    // Creates the key and any missing parent; true also when it existed.
    bool createKey(const QString& key);
    // Deletes the key with all its sub-keys; false when it does not exist.
    bool deleteKeyTree(const QString& key);
    // Appends the names of the sub-keys / values of a key, in creation order.
    bool subKeyNames(const QString& key, QStringList& names);
    bool valueNames(const QString& key, QStringList& names);

    // Values of any type as their raw bytes (text is UTF-16LE with its ending zero).
    // Setting a value needs an existing key; names may not contain line breaks.
    bool setValue(const QString& key, const QString& name, quint32 type, const QByteArray& data);
    bool queryValue(const QString& key, const QString& name, quint32& type, QByteArray& data);
    bool deleteValue(const QString& key, const QString& name);

    // Typed forms; a query fails on a value of another type.
    bool setString(const QString& key, const QString& name, const QString& value);
    bool queryString(const QString& key, const QString& name, QString& value);
    bool setDword(const QString& key, const QString& name, quint32 value);
    bool queryDword(const QString& key, const QString& name, quint32& value);
    bool setBinary(const QString& key, const QString& name, const QByteArray& value);
    bool queryBinary(const QString& key, const QString& name, QByteArray& value);

    // "reg import FILE": merges a file in the same format ("[-KEY]" deletes a key
    // tree, "NAME"=- a value). A file that cannot be parsed, or that names another
    // root than HKEY_CURRENT_USER, changes nothing.
    bool regImport(const QString& regFile);
    // "reg delete KEY /F": KEY starts with "HKCU\" or "HKEY_CURRENT_USER\".
    bool regDelete(const QString& fullKey);

    // Between the two, changes stay in memory and reach the file at the last
    // endUpdate (the calls nest), so that a burst of writes costs one file write.
    // Meanwhile this instance does not reload the file: changes made through other
    // instances in that time are overwritten. endUpdate answers whether the file
    // could be written.
    void beginUpdate();
    bool endUpdate();

private:
    struct State;
    std::unique_ptr<State> d;
};
