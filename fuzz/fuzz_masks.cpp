// The wildcard masks of directory searches ("*.mp4", "clip?.mov") and the
// file dialogs' filters ("Videos|*.mp4;*.mov"). Input: a name, a line break,
// a mask; the whole input is also read as a filter.
#include "FuzzSupport.h"
#include "uFiles.h"
#include "uQXFileBox.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString text = fuzzText(data, size);
    const qsizetype newline = text.indexOf(QLatin1Char('\n'));
    const QString name = newline < 0 ? text : text.left(newline);
    const QString mask = newline < 0 ? text : text.mid(newline + 1);

    const bool matched = matchesMask(name, mask);
    // Every character of a text matches itself, "?" and "*" included.
    FUZZ_CHECK(matchesMask(name, name), "a name matches itself as a mask");
    FUZZ_CHECK(matchesMask(mask, mask), "a mask matches itself");
    FUZZ_CHECK(matchesMask(name, QStringLiteral("*")), "\"*\" matches every name");
    FUZZ_CHECK(matchesMask(name, QStringLiteral("*.*")), "\"*.*\" matches every name");
    // "*.*" stands for every name, not for names with a dot, so it takes no tail rule.
    if (matched && mask != QLatin1String("*.*")) {
        FUZZ_CHECK(matchesMask(name + QStringLiteral("tail"), mask + QLatin1Char('*')),
                   "a trailing star takes any tail");
        FUZZ_CHECK(matchesMask(name.toUpper(), mask) || name.toUpper().size() != name.size(),
                   "letter case is ignored");
    }

    qtFileFilter(text);
    return 0;
}
