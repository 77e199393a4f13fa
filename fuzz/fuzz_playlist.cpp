// Playlists ("one file a line" texts from other programs) and pasted file
// lists (text/uri-list). Input: the playlist's bytes, also read as a pasted list.
#include "FuzzSupport.h"
#include "uQXFileBox.h"

#include <QDir>
#include <QMimeData>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray bytes = fuzzBytes(data, size);
    for (const QString& entry : playListEntries(bytes, QStringLiteral("/media/videos/lists"))) {
        FUZZ_CHECK(!entry.isEmpty(), "no empty entry");
        FUZZ_CHECK(QDir::isAbsolutePath(entry), "entries are absolute");
        FUZZ_CHECK(QDir::cleanPath(entry) == entry, "entries are clean");
        FUZZ_CHECK(!entry.contains(QLatin1Char('\n')) && !entry.contains(QLatin1Char('\r')), "an entry is one line");
    }

    QMimeData pasted;
    pasted.setData(QStringLiteral("text/uri-list"), bytes);
    for (const QString& name : pastedFileNames(&pasted)) {
        FUZZ_CHECK(!name.isEmpty(), "no empty pasted name");
        FUZZ_CHECK(name.size() <= 65530, "pasted names fit a path");
    }
    return 0;
}
