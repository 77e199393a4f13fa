#pragma once

#include <QByteArray>
#include <QString>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

// Pieces shared by the fuzz targets.

inline QByteArray fuzzBytes(const uint8_t* data, size_t size)
{
    return QByteArray(reinterpret_cast<const char*>(data), qsizetype(size));
}

inline QString fuzzText(const uint8_t* data, size_t size)
{
    return QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size));
}

// A broken invariant is a finding: say what broke and stop the way a sanitizer does.
#define FUZZ_CHECK(condition, what)                                                              \
    do {                                                                                         \
        if (!(condition)) {                                                                      \
            std::fprintf(stderr, "fuzz invariant broken: %s (%s, %s:%d)\n", what, #condition,  \
                         __FILE__, __LINE__);                                                    \
            std::abort();                                                                        \
        }                                                                                        \
    } while (false)
