// The position text typed in the navigation bar ("h:mm:ss:ff"). Input: one
// byte choosing the time per frame, then the text.
#include "FuzzSupport.h"
#include "uTimerNavMan.h"

#include <iterator>

namespace {

// 100 ns units: 25, 29.97, 23.976, 50, 59.94, 30, 24 and 10 frames a second, then
// values outside any video (none, negative, one unit, a frame of an hour).
constexpr qint64 kTimesPerFrame[] = {400000, 333667, 417083, 200000, 166833, 333333, 416667, 1000000,
                                     0,      -40,    1,      36000000000LL};
// Frame rates of real videos; below 1 frame a second, or above 100, the frame
// field of a shown position does not hold two digits.
bool videoRate(qint64 tpf)
{
    return tpf >= 100000 && tpf <= 10000000;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    const qint64 tpf = kTimesPerFrame[data[0] % std::size(kTimesPerFrame)];
    const QString text = fuzzText(data + 1, size - 1);

    qint64 position = 0x5eed;
    if (!parsePositionText(text, tpf, position)) {
        FUZZ_CHECK(position == 0x5eed, "a refused text leaves the position untouched");
        return 0;
    }
    const QString shown = positionText(position, tpf);
    if (!videoRate(tpf) || position < 0)
        return 0;
    // What is shown reads back to a position that shows the same.
    qint64 again = 0;
    FUZZ_CHECK(parsePositionText(shown, tpf, again), "a shown position reads back");
    FUZZ_CHECK(positionText(again, tpf) == shown, "a shown position reads back to itself");
    FUZZ_CHECK(again <= position + tpf / 2 + 1 && again >= position - tpf / 2 - 1,
               "a shown position is the nearest frame");
    return 0;
}
