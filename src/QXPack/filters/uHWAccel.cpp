#include "uHWAccel.h"

#include <glib.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>

namespace {

const char* const kKeyParts[] = {"HKEY_CURRENT_USER", "Software", "LBV", "Video", "HWAccel"};

std::string folded(const std::string& text)
{
    gchar* f = g_utf8_casefold(text.c_str(), -1);
    std::string result(f ? f : "");
    g_free(f);
    return result;
}

std::string utf8Text(const std::string& bytes)
{
    const auto* b = reinterpret_cast<const unsigned char*>(bytes.data());
    const bool le = bytes.size() >= 2 && b[0] == 0xFF && b[1] == 0xFE;
    const bool be = bytes.size() >= 2 && b[0] == 0xFE && b[1] == 0xFF;
    if (!le && !be) {
        const bool bom = bytes.size() >= 3 && b[0] == 0xEF && b[1] == 0xBB && b[2] == 0xBF;
        return bom ? bytes.substr(3) : bytes;
    }
    std::vector<gunichar2> units;
    for (size_t i = 2; i + 1 < bytes.size(); i += 2)
        units.push_back(le ? gunichar2(b[i] | b[i + 1] << 8) : gunichar2(b[i] << 8 | b[i + 1]));
    gchar* text = g_utf16_to_utf8(units.data(), glong(units.size()), nullptr, nullptr, nullptr);
    std::string result(text ? text : "");
    g_free(text);
    return result;
}

// "[HKEY_CURRENT_USER\Software\LBV\Video\HWAccel]" in any case, empty parts ignored.
bool isHWAccelKey(const std::string& path)
{
    std::vector<std::string> parts;
    std::string part;
    std::istringstream in(path);
    while (std::getline(in, part, '\\'))
        if (!part.empty())
            parts.push_back(folded(part));
    if (parts.size() != std::size(kKeyParts))
        return false;
    for (size_t i = 0; i < parts.size(); ++i)
        if (parts[i] != folded(kKeyParts[i]))
            return false;
    return true;
}

} // namespace

std::string qxHiveFileName()
{
    const char* config = std::getenv("XDG_CONFIG_HOME");
    std::string folder = config && *config ? config : std::string(g_get_home_dir()) + "/.config";
    return folder + "/Tessaly/user.reg";
}

unsigned qxHWAccelValue(const std::string& fileBytes)
{
    std::istringstream in(utf8Text(fileBytes));
    std::string line;
    bool inKey = false;
    unsigned value = 0;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (!line.empty() && line.front() == '[') {
            const size_t close = line.rfind(']');
            inKey = close != std::string::npos && isHWAccelKey(line.substr(1, close - 1));
            continue;
        }
        const std::string prefix = "\"hwaccel\"=dword:";
        if (!inKey || line.size() <= prefix.size() || folded(line.substr(0, prefix.size())) != prefix)
            continue;
        const std::string digits = line.substr(prefix.size());
        char* end = nullptr;
        const unsigned long parsed = std::strtoul(digits.c_str(), &end, 16);
        if (digits.size() <= 8 && end && *end == '\0')
            value = unsigned(parsed);
    }
    return value;
}

THWAccel qxReadHWAccel()
{
    std::ifstream file(qxHiveFileName(), std::ios::binary);
    if (!file)
        return hwNone;
    const std::string bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    switch (qxHWAccelValue(bytes)) {
    case 1:
        return hwNvidia;
    case 2:
        return hwIntel;
    default:
        return hwNone;
    }
}

std::vector<TDecoderCandidate> qxOrderDecoders(std::vector<TDecoderCandidate> candidates, THWAccel accel)
{
    const auto preferred = [accel](const TDecoderCandidate& c) {
        if (!c.hardware)
            return false;
        if (accel == hwNvidia)
            return c.plugin == "nvcodec";
        if (accel == hwIntel)
            return c.plugin == "va" || c.plugin == "vaapi" || c.plugin == "qsv" || c.plugin == "msdk";
        return false;
    };
    constexpr unsigned kMarginal = 64;
    std::erase_if(candidates, [&](const TDecoderCandidate& c) {
        return c.hardware ? !preferred(c) : c.rank < kMarginal;
    });
    std::stable_sort(candidates.begin(), candidates.end(), [](const TDecoderCandidate& a, const TDecoderCandidate& b) {
        if (a.hardware != b.hardware)
            return a.hardware;
        if (a.rank != b.rank)
            return a.rank > b.rank;
        return a.factory < b.factory;
    });
    return candidates;
}
