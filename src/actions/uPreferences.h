#pragma once

#include "uHive.h"
#include "uValueTypes.h"

#include <QCollator>
#include <QLocale>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

class QWidget;
class TSavePrefsForm;

// Where the settings are kept between runs.
enum TSavePreferences {
    spRegistre = 0, // the user hive (normal mode)
    spPortable = 1, // an ini file next to the program
    spNone = 2,     // nowhere
};

// A store of values on a tree of keys. The current key is a path whose parts
// are separated by "\"; the empty path is the store's root. Every operation
// answers whether it succeeded and never throws. A read that fails leaves the
// variable as it was; a value of another kind than asked fails to read.
// Composite values keep their variable unchanged unless every part was read.
class TPreferencesMan {
public:
    virtual ~TPreferencesMan();

    QString path() const { return FPath; }

    virtual bool readNames(QStringList& list) = 0;
    virtual bool readKeys(QStringList& list) = 0;
    virtual bool openkey(const QString& aKey, bool cancreate) = 0;
    virtual bool closekey() = 0;
    virtual bool writestring(const QString& aName, const QString& aValueStr) = 0;
    virtual bool readstring(const QString& aName, QString& aValueStr) = 0;
    virtual bool deletestring(const QString& aName) = 0;
    virtual bool writeBool(const QString& aName, bool aValue) = 0;
    virtual bool readBool(const QString& aName, bool& aValue) = 0;
    virtual bool writeInteger(const QString& aName, qint32 aValue) = 0;
    virtual bool readInteger(const QString& aName, qint32& aValue) = 0;
    virtual bool writeDouble(const QString& aName, double aValue) = 0;
    virtual bool readDouble(const QString& aName, double& aValue) = 0;

    // A burst of writes may be gathered into one write of the store's file.
    virtual void beginUpdate() {}
    virtual bool endUpdate() { return true; }

    bool writeColor(const QString& aName, TColor aValue);
    bool readColor(const QString& aName, TColor& aValue);
    // Point N: integers "N.X" and "N.Y" in the current key.
    bool writePoint(const QString& aName, const TPoint& aValue);
    bool readPoint(const QString& aName, TPoint& aValue);
    // Rectangle and font N: sub-key N with one value per part. Reading fails
    // when any part is missing or of another kind.
    bool writeRect(const QString& aName, const TRect& aValue);
    bool readRect(const QString& aName, TRect& aValue);
    bool writeFont(const QString& aName, const TFontValue& aValue);
    bool readFont(const QString& aName, TFontValue& aValue);
    // List of texts N: sub-key N with "String0", "String1"... Writing first
    // deletes every value of the sub-key, so a shorter list leaves no old items.
    bool writeStrings(const QString& aName, const QStringList& aValue);
    bool readStrings(const QString& aName, QStringList& aValue);
    bool clearStrings(const QString& aName);

protected:
    // The path of sub-key aKey of the current key.
    QString childPath(const QString& aKey) const;
    // The path of the current key's parent.
    QString parentPath() const;

    QString FPath;
};

// Keeps nothing: keys open and writes succeed, reads fail.
class TNonePreferencesMan : public TPreferencesMan {
public:
    bool readNames(QStringList& list) override;
    bool readKeys(QStringList& list) override;
    bool openkey(const QString& aKey, bool cancreate) override;
    bool closekey() override;
    bool writestring(const QString& aName, const QString& aValueStr) override;
    bool readstring(const QString& aName, QString& aValueStr) override;
    bool deletestring(const QString& aName) override;
    bool writeBool(const QString& aName, bool aValue) override;
    bool readBool(const QString& aName, bool& aValue) override;
    bool writeInteger(const QString& aName, qint32 aValue) override;
    bool readInteger(const QString& aName, qint32& aValue) override;
    bool writeDouble(const QString& aName, double aValue) override;
    bool readDouble(const QString& aName, double& aValue) override;
};

// The user hive below rootkey ("Software\Tessaly\Movarium"): texts, 32-bit
// integers (Booleans as 0 and 1), doubles as their 8 bytes. The root key is
// created with the store.
class TRegPreferencesMan : public TPreferencesMan {
public:
    explicit TRegPreferencesMan(const QString& rootkey, const QString& hiveFile = THive::defaultFileName());

    QString rootkey() const { return FRootKey; }

    bool readNames(QStringList& list) override;
    bool readKeys(QStringList& list) override;
    bool openkey(const QString& aKey, bool cancreate) override;
    bool closekey() override;
    bool writestring(const QString& aName, const QString& aValueStr) override;
    bool readstring(const QString& aName, QString& aValueStr) override;
    bool deletestring(const QString& aName) override;
    bool writeBool(const QString& aName, bool aValue) override;
    bool readBool(const QString& aName, bool& aValue) override;
    bool writeInteger(const QString& aName, qint32 aValue) override;
    bool readInteger(const QString& aName, qint32& aValue) override;
    bool writeDouble(const QString& aName, double aValue) override;
    bool readDouble(const QString& aName, double& aValue) override;
    void beginUpdate() override;
    bool endUpdate() override;

private:
    QString hivePath(const QString& path) const;

    THive FHive;
    QString FRootKey;
};

// An ini file held as its list of lines, read when the store is created and
// written back (in the encoding it was read with) when it is destroyed.
// The root section's header is "[]"; a section's header is its full key path;
// a section's values run up to the next empty line, header or the end. Names
// and headers compare without regard to case. Lines that are not "name=value"
// are kept as they are and skipped.
class TIniPreferencesMan : public TPreferencesMan {
public:
    // Doubles are written with the locale's decimal separator.
    explicit TIniPreferencesMan(const QString& fileName, const QLocale& locale = QLocale::system());
    ~TIniPreferencesMan() override;
    TIniPreferencesMan(const TIniPreferencesMan&) = delete;
    TIniPreferencesMan& operator=(const TIniPreferencesMan&) = delete;

    QString fileName() const { return FFileName; }

    // Every open adds the section when it is missing, also when only reading;
    // without cancreate it then answers false and stays on the current key.
    bool readNames(QStringList& list) override;
    bool readKeys(QStringList& list) override;
    bool openkey(const QString& aKey, bool cancreate) override;
    bool closekey() override;
    bool writestring(const QString& aName, const QString& aValueStr) override;
    bool readstring(const QString& aName, QString& aValueStr) override;
    bool deletestring(const QString& aName) override;
    bool writeBool(const QString& aName, bool aValue) override;
    bool readBool(const QString& aName, bool& aValue) override;
    bool writeInteger(const QString& aName, qint32 aValue) override;
    bool readInteger(const QString& aName, qint32& aValue) override;
    bool writeDouble(const QString& aName, double aValue) override;
    bool readDouble(const QString& aName, double& aValue) override;
    // Writes the file now; it is written again when the store is destroyed.
    bool endUpdate() override;

private:
    enum TEncoding { enUtf8, enUtf8Bom, enUtf16LE, enUtf16BE, enLatin1 };

    void load();
    bool save();
    bool sameText(const QString& a, const QString& b) const;
    qsizetype findHeader(const QString& path) const;
    // The header's index, the section appended when missing; created tells which.
    qsizetype section(const QString& path, bool& created);
    qsizetype sectionEnd() const;
    qsizetype findValue(const QString& aName) const;

    QString FFileName;
    QLocale FLocale;
    QCollator FCollator;
    QStringList FLines;
    qsizetype FSection = 0;
    TEncoding FEncoding = enUtf8;
    // An existing file that could not be read is never overwritten.
    bool FReadFailed = false;
    QString FLineBreak = QStringLiteral("\n");
};

// The preferences component of a window: typed reads and writes on the store of
// the current mode, the mode detected when the window is first shown, and the
// question where to keep the settings when the window closes in none mode.
//
// It watches its owner window through an event filter. At the first show it
// detects and applies the mode, lets the window's own show handling run, then
// calls OnLoadPrefs. At a close it lets the window's own close handling run
// first; when that accepts, it asks (in none mode) where to keep the settings,
// refusing the close when the question is dismissed, then writes the
// application values and calls OnSavePrefs, and stops watching the window.
// The save is one burst: the hive file, or the ini file, is written once at its end.
//
// User-interface thread only.
class TOrvanePreferences : public QObject {
    Q_OBJECT
public:
    using TChangeModeEvent = std::function<void(TSavePreferences)>;
    using TLoadPrefsEvent = std::function<void(TOrvanePreferences&)>;
    using TSavePrefsEvent = std::function<void(TOrvanePreferences&)>;

    explicit TOrvanePreferences(QWidget* owner);
    ~TOrvanePreferences() override;

    QString titre() const { return FTitre; }
    void setTitre(const QString& value);
    QString version() const { return FVersion; }
    void setVersion(const QString& value) { FVersion = value; }
    TSavePreferences mode() const { return FMode; }
    // A different mode switches stores at once (applymode).
    void setMode(TSavePreferences value);

    TChangeModeEvent OnChangeMode;
    TLoadPrefsEvent OnLoadPrefs;
    TSavePrefsEvent OnSavePrefs;
    // The owner's close was accepted by the owner, then refused at the question.
    std::function<void()> OnCloseCancelled;

    // The folder of the running program with a trailing "/", where the ini file lives.
    QString programFolder() const { return FProgramFolder; }
    void setProgramFolder(const QString& folder);
    // titre + ".ini" in the program folder.
    QString iniFileName() const;
    // "Software\Tessaly\" + titre, in the user hive.
    QString rootkey() const;

    // The mode that the existing stores give: portable when the ini file exists,
    // else normal when the hive key exists, else none.
    TSavePreferences lastmode() const;
    // Replaces the store by that of the mode and deletes the other modes' stores.
    void applymode();

    TPreferencesMan& store() const { return *FStore; }
    TSavePrefsForm* prompt() const;

    // Sub-key of the current key, created when missing; false in none mode.
    bool openkey(const QString& akey);
    bool closekey();
    bool readkeys(QStringList& akeys);

    // Each read answers the stored value, or def in none mode or when the store
    // has no readable value of that kind (for composites: when any part is missing).
    bool readBool(const QString& name, bool def);
    qint32 readInteger(const QString& name, qint32 def);
    double readDouble(const QString& name, double def);
    QString readString(const QString& name, const QString& def);
    TPoint readPoint(const QString& name, const TPoint& def);
    TRect readRect(const QString& name, const TRect& def);
    void readFont(const QString& name, const TFontValue& def, TFontValue& result);
    void readWStrings(const QString& name, const QStringList& def, QStringList& result);

    // False in none mode or when the store fails.
    bool writeBool(const QString& name, bool value);
    bool writeInteger(const QString& name, qint32 value);
    bool writeDouble(const QString& name, double value);
    bool writeString(const QString& name, const QString& value);
    bool writePoint(const QString& name, const TPoint& value);
    bool writeRect(const QString& name, const TRect& value);
    bool writeFont(const QString& name, const TFontValue& value);
    bool writeWStrings(const QString& name, const QStringList& value);

    // "Version", "Dernière Sauvegarde" (now) and "ExeName" in the current key.
    bool writeApplication(const QString& wVersion);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void ownerShown(QEvent* event);
    bool ownerClosing(QEvent* event);
    // Lets the owner handle an event itself, without this filter.
    void forwardToOwner(QEvent* event);
    void titlePrompt();
    bool readable() const { return FMode != spNone; }

    QPointer<QWidget> FOwner;
    QPointer<TSavePrefsForm> FPrompt;
    std::unique_ptr<TPreferencesMan> FStore;
    QString FTitre;
    QString FVersion;
    QString FProgramFolder;
    TSavePreferences FMode = spNone;
    bool FShown = false;
    bool FForwarding = false;
};
