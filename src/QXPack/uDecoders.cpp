#include "uDecoders.h"

#include "uGrapheMan.h"
#include "uPreferences.h"

#include <QFileInfo>

#include <exception>

namespace {

// The element factory registered in process (not loaded from a file) under
// that class identifier, best rank first.
GstElement* createRegistered(const QUuid& clsid)
{
    GList* factories = gst_element_factory_list_get_elements(GST_ELEMENT_FACTORY_TYPE_ANY, GST_RANK_NONE);
    factories = g_list_sort(factories, gst_plugin_feature_rank_compare_func);
    GstElement* element = nullptr;
    for (GList* at = factories; at && !element; at = at->next) {
        auto* factory = GST_ELEMENT_FACTORY(at->data);
        GstPlugin* plugin = gst_plugin_feature_get_plugin(GST_PLUGIN_FEATURE(factory));
        const bool inProcess = plugin && !gst_plugin_get_filename(plugin);
        if (plugin)
            gst_object_unref(plugin);
        if (inProcess && factoryClsid(factory) == clsid)
            element = gst_element_factory_create(factory, nullptr);
    }
    gst_plugin_feature_list_free(factories);
    return element;
}

} // namespace

QUuid factoryClsid(GstElementFactory* factory)
{
    const gchar* text = gst_element_factory_get_metadata(factory, "clsid");
    return text ? QUuid::fromString(QString::fromLatin1(text)) : QUuid();
}

QString guidText(const QUuid& id)
{
    return id.toString(QUuid::WithBraces).toUpper();
}

// ---------------------------------------------------------------------------

TFilterRec* TFilterRec::create(const QUuid& aCLSID, const QString& aName, TFilterType aType)
{
    std::unique_ptr<TFilterRec> record(new TFilterRec);
    record->CLSID = aCLSID;
    record->name = aName;
    record->Ftype = aType;
    return filterRecs().add(std::move(record));
}

TFilterRec::~TFilterRec()
{
    if (iFilter)
        gst_object_unref(iFilter);
}

GstElement* TFilterRec::getBaseFilter()
{
    if (iFilter)
        return iFilter;
    GstElement* created = nullptr;
    if (Ftype == ftPrivate) {
        if (const TPrivateFactory* factory = privateFactories().findFactory(CLSID))
            created = factory->createInstance();
    } else if (Ftype == ftCom && !CLSID.isNull()) {
        created = createRegistered(CLSID);
    }
    if (created)
        iFilter = GST_ELEMENT(gst_object_ref_sink(created));
    return iFilter;
}

void TFilterRec::setBaseFilter(GstElement* aBaseFilter)
{
    if (Ftype == ftBase) {
        if (aBaseFilter && aBaseFilter != iFilter) {
            if (iFilter)
                gst_object_unref(iFilter);
            iFilter = GST_ELEMENT(gst_object_ref_sink(aBaseFilter));
        }
        return;
    }
    if (iFilter) {
        gst_object_unref(iFilter);
        iFilter = nullptr;
    }
}

void TFilterRec::assign(const TFilterRec* aFilterRec)
{
    if (!aFilterRec) {
        CLSID = QUuid();
        name.clear();
        Ftype = ftBase;
        return;
    }
    CLSID = aFilterRec->CLSID;
    name = aFilterRec->name;
    Ftype = aFilterRec->Ftype;
    if (aFilterRec->iFilter != iFilter) {
        if (iFilter)
            gst_object_unref(iFilter);
        iFilter = aFilterRec->iFilter ? GST_ELEMENT(gst_object_ref(aFilterRec->iFilter)) : nullptr;
    }
}

bool TFilterRec::addToGraphe(TGrapheMan* aGrapheMan)
{
    if (!aGrapheMan)
        return false;
    GstElement* filter = getBaseFilter();
    if (!filter)
        return false;
    HRESULT answer = aGrapheMan->AddFilter(filter, name);
    for (int n = 1; answer == VFW_S_DUPLICATE_NAME; ++n)
        answer = aGrapheMan->AddFilter(filter, name + QLatin1Char('_') + QString::number(n));
    if (answer < 0)
        return false;
    Fgraphe = aGrapheMan;
    return answer == S_OK;
}

bool TFilterRec::removeFromGraphe()
{
    if (Fgraphe && iFilter) {
        Fgraphe->RemoveFilter(iFilter);
        setBaseFilter(nullptr);
    }
    Fgraphe = nullptr;
    return true;
}

TFilterRec* TFilterRecs::add(std::unique_ptr<TFilterRec> record)
{
    FRecords.push_back(std::move(record));
    return FRecords.back().get();
}

TFilterRec* TFilterRecs::find(const QString& name) const
{
    for (auto it = FRecords.rbegin(); it != FRecords.rend(); ++it) {
        if ((*it)->name == name)
            return it->get();
    }
    return nullptr;
}

void TFilterRecs::clear()
{
    FRecords.clear();
}

TFilterRecs& filterRecs()
{
    static TFilterRecs records;
    return records;
}

// ---------------------------------------------------------------------------

TPrivateFactory::TPrivateFactory(const QUuid& aCLSID, const QString& axFile) : FCLSID(aCLSID)
{
    if (!QFileInfo(axFile).isFile())
        return;
    initMediaGraph();
    GError* error = nullptr;
    Fmodule = gst_plugin_load_file(QFile::encodeName(axFile).constData(), &error);
    if (error)
        g_error_free(error);
    if (!Fmodule)
        return;
    GList* features = gst_registry_get_feature_list_by_plugin(gst_registry_get(), gst_plugin_get_name(Fmodule));
    for (GList* at = features; at && !FClassFactory; at = at->next) {
        if (GST_IS_ELEMENT_FACTORY(at->data) && factoryClsid(GST_ELEMENT_FACTORY(at->data)) == aCLSID)
            FClassFactory = GST_ELEMENT_FACTORY(gst_object_ref(at->data));
    }
    gst_plugin_feature_list_free(features);
}

TPrivateFactory::~TPrivateFactory()
{
    // GStreamer never unloads a plugin's module; the references go.
    if (FClassFactory)
        gst_object_unref(FClassFactory);
    if (Fmodule)
        gst_object_unref(Fmodule);
}

GstElement* TPrivateFactory::createInstance() const
{
    return FClassFactory ? gst_element_factory_create(FClassFactory, nullptr) : nullptr;
}

void TPrivateFactories::lister(const QUuid& aCLSID, const QString& axFile)
{
    FFactories.push_back(std::make_unique<TPrivateFactory>(aCLSID, axFile));
}

TPrivateFactory* TPrivateFactories::findFactory(const QUuid& aCLSID) const
{
    for (auto it = FFactories.rbegin(); it != FFactories.rend(); ++it) {
        if ((*it)->FCLSID == aCLSID)
            return it->get();
    }
    return nullptr;
}

void TPrivateFactories::clear()
{
    FFactories.clear();
}

TPrivateFactories& privateFactories()
{
    static TPrivateFactories factories;
    return factories;
}

// ---------------------------------------------------------------------------

int TDecoderLinks::indexOf(const TMediaRec& mr) const
{
    for (int i = 0; i < FLinks.size(); ++i) {
        if (FLinks.at(i).media == mr)
            return i;
    }
    return -1;
}

void TDecoderLinks::setlink(const TMediaRec& mr, TFilterRec* fr)
{
    const int i = indexOf(mr);
    if (i >= 0)
        FLinks[i].decoder = fr;
    else
        FLinks.append({mr, fr});
}

TFilterRec* TDecoderLinks::getDecoder(const TMediaRec& mr) const
{
    const int i = indexOf(mr);
    return i >= 0 ? FLinks.at(i).decoder : nullptr;
}

void TDecoderLinks::removelink(const TMediaRec& mr)
{
    const int i = indexOf(mr);
    if (i >= 0)
        FLinks.removeAt(i);
}

bool TDecoderLinks::loadfromprefs(TOrvanePreferences& gp)
{
    QStringList keys;
    if (!gp.readkeys(keys))
        return false;
    const auto readGuid = [&gp](const QString& name, QUuid& id) {
        id = QUuid::fromString(gp.readString(name, QString()));
        return !id.isNull();
    };
    for (const QString& key : keys) {
        try {
            if (!gp.openkey(key))
                continue;
            TMediaRec media;
            QUuid decoder;
            const bool read = readGuid(QStringLiteral("majortype"), media.majortype) &&
                              readGuid(QStringLiteral("subtype"), media.subtype) &&
                              readGuid(QStringLiteral("formattype"), media.formattype) &&
                              readGuid(QStringLiteral("decoderguid"), decoder);
            const bool isPrivate = gp.readBool(QStringLiteral("Private"), false);
            const QString name = gp.readString(QStringLiteral("name"), QString());
            gp.closekey();
            if (read)
                setlink(media, TFilterRec::create(decoder, name, isPrivate ? ftPrivate : ftCom));
        } catch (const std::exception&) {
            // An entry that cannot be read is left out; the others still load.
        }
    }
    return true;
}

bool TDecoderLinks::savetoprefs(TOrvanePreferences& gp)
{
    bool result = true;
    for (int i = 0; i < FLinks.size(); ++i) {
        const TDecoderLink& link = FLinks.at(i);
        if (!link.decoder || link.decoder->Ftype == ftBase)
            continue;
        if (!gp.openkey(QStringLiteral("dc") + QString::number(i))) {
            result = false;
            continue;
        }
        result = gp.writeString(QStringLiteral("majortype"), guidText(link.media.majortype)) && result;
        result = gp.writeString(QStringLiteral("subtype"), guidText(link.media.subtype)) && result;
        result = gp.writeString(QStringLiteral("formattype"), guidText(link.media.formattype)) && result;
        result = gp.writeString(QStringLiteral("decoderguid"), guidText(link.decoder->CLSID)) && result;
        result = gp.writeString(QStringLiteral("name"), link.decoder->name) && result;
        result = gp.writeBool(QStringLiteral("Private"), link.decoder->Ftype == ftPrivate) && result;
        gp.closekey();
    }
    return result;
}

TDecoderLinks& preferredVideoLinks()
{
    static TDecoderLinks links;
    return links;
}

TDecoderLinks& preferredAudioLinks()
{
    static TDecoderLinks links;
    return links;
}

TDecoderLinks& bannedVideoLinks()
{
    static TDecoderLinks links;
    return links;
}

TDecoderLinks& bannedAudioLinks()
{
    static TDecoderLinks links;
    return links;
}

TFilterRec* nullVideoDecoder()
{
    static TFilterRec* record = TFilterRec::create(QUuid(), QStringLiteral("Aucun décodeur Video"), ftCom);
    return record;
}

TFilterRec* nullAudioDecoder()
{
    static TFilterRec* record = TFilterRec::create(QUuid(), QStringLiteral("Aucun décodeur Audio"), ftCom);
    return record;
}

// ---------------------------------------------------------------------------

TDecoderMan::TDecoderMan(QObject* owner) : QObject(owner) {}

void TDecoderMan::init(TDecoderLinks* aBanLinks, TDecoderLinks* aPreferredLinks, TFilterRec* aNullDecoder)
{
    FBanned = aBanLinks;
    FPreferred = aPreferredLinks;
    FNullDecoder = aNullDecoder;
}
