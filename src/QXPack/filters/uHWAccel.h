#pragma once

#include <string>
#include <vector>

// The hardware decoding choice of the private video decoder, read from the
// user hive file at link time: the DWORD "HWAccel" of
// [HKEY_CURRENT_USER\Software\LBV\Video\HWAccel]. 1 prefers NVIDIA decoders,
// 2 Intel/VA ones; every other value (and an absent file, key or value) means
// software.
enum THWAccel { hwNone = 0, hwNvidia = 1, hwIntel = 2 };

// $XDG_CONFIG_HOME/Tessaly/user.reg, ~/.config/Tessaly/user.reg without it;
// read from the environment at every call.
std::string qxHiveFileName();
// The raw "HWAccel" value of a hive file's text (UTF-8, or UTF-16 with a
// byte-order mark); 0 when absent.
unsigned qxHWAccelValue(const std::string& fileBytes);
THWAccel qxReadHWAccel();

// A decoder factory as the choice sees it.
struct TDecoderCandidate {
    std::string factory;
    std::string plugin;
    bool hardware = false;
    unsigned rank = 0;
};

// The candidates in the order to try them: the preferred vendor's hardware
// decoders first (by rank), then the software ones of at least marginal rank
// (by rank, then name); other hardware decoders are left out.
std::vector<TDecoderCandidate> qxOrderDecoders(std::vector<TDecoderCandidate> candidates, THWAccel accel);
