#pragma once

#include <QList>
#include <QObject>
#include <QString>
#include <QUuid>

#include <gst/gst.h>

#include <memory>
#include <vector>

class TGrapheMan;
class TOrvanePreferences;

// How a filter record obtains its element.
enum TFilterType {
    // The element factory registered in process under the record's class identifier.
    ftCom = 0,
    // The factory of that identifier in a plugin loaded from the private folder.
    ftPrivate = 1,
    // An element handed in by the program.
    ftBase = 2,
};

// A named filter: its class identifier, how to create it, the element once
// created and the graph that holds it. Records live from creation to the end
// of the program in one list (filterRecs()).
//
// getBaseFilter, addToGraphe and removeFromGraphe run on the build thread as
// well as on the user-interface thread, never on both at once: the record's
// own fields are not locked.
class TFilterRec {
public:
    // A new record, registered in the process-wide list that owns it.
    static TFilterRec* create(const QUuid& aCLSID, const QString& aName, TFilterType aType);

    // The held element, created on demand (none for ftBase, or when creation failed).
    GstElement* getBaseFilter();
    // ftBase: a non-null element becomes the held one; others: the held one is released.
    void setBaseFilter(GstElement* aBaseFilter);
    // Copies identifier, name, type and element; none gives a null ftBase record.
    void assign(const TFilterRec* aFilterRec);
    // Adds the element to the manager's graph under name, then name_1, name_2...
    bool addToGraphe(TGrapheMan* aGrapheMan);
    // Takes the element out of its graph and releases it.
    bool removeFromGraphe();

    GstElement* iFilter = nullptr;
    QUuid CLSID;
    QString name;
    TFilterType Ftype = ftBase;
    TGrapheMan* Fgraphe = nullptr;

    ~TFilterRec();

private:
    TFilterRec() = default;
};

// Every record ever created, freed at exit.
class TFilterRecs {
public:
    TFilterRec* add(std::unique_ptr<TFilterRec> record);
    // The last record created under that name, or none.
    TFilterRec* find(const QString& name) const;
    void clear();

private:
    std::vector<std::unique_ptr<TFilterRec>> FRecords;
};
TFilterRecs& filterRecs();

// A class factory taken from a plugin file loaded by path: the element factory
// of the plugin whose class identifier is FCLSID.
class TPrivateFactory {
public:
    TPrivateFactory(const QUuid& aCLSID, const QString& axFile);
    ~TPrivateFactory();
    TPrivateFactory(const TPrivateFactory&) = delete;
    TPrivateFactory& operator=(const TPrivateFactory&) = delete;

    // A new element, or none when the file gave no factory.
    GstElement* createInstance() const;

    GstElementFactory* FClassFactory = nullptr;
    QUuid FCLSID;
    GstPlugin* Fmodule = nullptr;
};

class TPrivateFactories {
public:
    // Appends a factory for that identifier taken from that file.
    void lister(const QUuid& aCLSID, const QString& axFile);
    // The most recently listed factory of that identifier, or none.
    TPrivateFactory* findFactory(const QUuid& aCLSID) const;
    int count() const { return static_cast<int>(FFactories.size()); }
    void clear();

private:
    std::vector<std::unique_ptr<TPrivateFactory>> FFactories;
};
TPrivateFactories& privateFactories();

// The class identifier of an element factory ("clsid" metadata), null when it has none.
QUuid factoryClsid(GstElementFactory* factory);
// "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}" in upper case.
QString guidText(const QUuid& id);

// A media type: major type, subtype, format type.
struct TMediaRec {
    QUuid majortype;
    QUuid subtype;
    QUuid formattype;
    bool operator==(const TMediaRec&) const = default;
};

struct TDecoderLink {
    TMediaRec media;
    TFilterRec* decoder = nullptr;
};

// Media type -> decoder, kept in the preferences under "dc0", "dc1"...
class TDecoderLinks {
public:
    int indexOf(const TMediaRec& mr) const;
    void setlink(const TMediaRec& mr, TFilterRec* fr);
    TFilterRec* getDecoder(const TMediaRec& mr) const;
    void removelink(const TMediaRec& mr);
    int count() const { return FLinks.size(); }
    const TDecoderLink& at(int i) const { return FLinks.at(i); }
    void clear() { FLinks.clear(); }

    // Reads every sub-key of the current key; an entry that does not read is skipped.
    bool loadfromprefs(TOrvanePreferences& gp);
    // Writes "dc" + i for the link at i, skipping links to ftBase decoders.
    bool savetoprefs(TOrvanePreferences& gp);

private:
    QList<TDecoderLink> FLinks;
};

TDecoderLinks& preferredVideoLinks();
TDecoderLinks& preferredAudioLinks();
TDecoderLinks& bannedVideoLinks();
TDecoderLinks& bannedAudioLinks();

// The null decoders "Aucun décodeur Video" and "Aucun décodeur Audio".
TFilterRec* nullVideoDecoder();
TFilterRec* nullAudioDecoder();

// The decoder choice of the video or the audio manager. The file graph takes
// its decoders from the filter records the main window chooses, never from
// here, so this only carries the links its owner keeps in the preferences.
class TDecoderMan : public QObject {
    Q_OBJECT
public:
    explicit TDecoderMan(QObject* owner = nullptr);

    void init(TDecoderLinks* aBanLinks, TDecoderLinks* aPreferredLinks, TFilterRec* aNullDecoder);
    TDecoderLinks* PreferredLinks() const { return FPreferred; }
    TDecoderLinks* BanLinks() const { return FBanned; }
    TFilterRec* NullDecoder() const { return FNullDecoder; }

    // The next decoder of the stream: never possible here, since no graph is
    // handed to the decoder manager; answers false and changes nothing.
    bool nextDecoder() const { return false; }

private:
    TDecoderLinks* FBanned = nullptr;
    TDecoderLinks* FPreferred = nullptr;
    TFilterRec* FNullDecoder = nullptr;
};
