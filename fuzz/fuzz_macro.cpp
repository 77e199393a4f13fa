// The macro engine. Input: a macro's text in UTF-8, or after a first byte 0xFF
// its UTF-16 code units as they are (halves of pairs included), run against
// routines of every argument kind.
#include "FuzzSupport.h"
#include "uMacroEngine.h"

#include "uLog.h"

#include <QStringList>

#include <algorithm>
#include <memory>

namespace {

struct TRoutine {
    const char* declaration;
    QList<QMetaType::Type> types;
};

const TRoutine kRoutines[] = {
    {"procedure Volume(const aInteger:integer);", {QMetaType::LongLong}},
    {"procedure setMute(const aBoolean:boolean);", {QMetaType::Bool}},
    {"procedure Fichiers(const aStrings:array of string);", {QMetaType::QStringList}},
    {"procedure Titre(const aString:string);", {QMetaType::QString}},
    {"procedure Zoom(const aDouble:double);", {QMetaType::Double}},
    {"procedure Couleur(const aColor:TColor);", {QMetaType::LongLong}},
    {"procedure Play;", {}},
    {"procedure Rect(const aLeft, aTop:integer; const aName:string; const aOn:boolean);",
     {QMetaType::LongLong, QMetaType::LongLong, QMetaType::QString, QMetaType::Bool}},
};

int calls = 0;

TMacroEngine& engine()
{
    static std::unique_ptr<TMacroEngine> e = [] {
        auto made = std::make_unique<TMacroEngine>();
        for (const TRoutine& routine : kRoutines) {
            const QList<QMetaType::Type> types = routine.types;
            const bool added = made->addRoutine(routine.declaration, [types](const QVariantList& arguments) {
                ++calls;
                FUZZ_CHECK(arguments.size() == types.size(), "a routine gets its number of arguments");
                for (qsizetype i = 0; i < arguments.size(); ++i)
                    FUZZ_CHECK(arguments.at(i).typeId() == types.at(i), "a routine gets arguments of its kinds");
            });
            FUZZ_CHECK(added, "the routines declare");
        }
        return made;
    }();
    return *e;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    QString macro;
    if (size > 0 && data[0] == 0xFF)
        macro = QString(reinterpret_cast<const QChar*>(fuzzBytes(data + 1, (size - 1) & ~size_t(1)).constData()),
                        qsizetype((size - 1) / 2));
    else
        macro = fuzzText(data, size);
    calls = 0;
    const TMacroEngine::TResult result = engine().run(macro);
    if (result.ok) {
        FUZZ_CHECK(result.line == 0 && result.reason.isEmpty(), "a macro that ran reports no error");
        return 0;
    }
    const qsizetype lines = std::max<qsizetype>(splitLines(macro).size(), 1);
    FUZZ_CHECK(calls == 0, "a macro with an error runs nothing");
    FUZZ_CHECK(result.line >= 1 && result.line <= lines, "an error names a line of the macro");
    FUZZ_CHECK(!result.reason.isEmpty(), "an error gives its reason");
    return 0;
}
