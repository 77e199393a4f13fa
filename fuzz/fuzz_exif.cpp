// The reader of the metadata tool's output ("Image Width : 1920" lines).
// Input: the tool's output as it printed it.
#include "FuzzSupport.h"
#include "uExif.h"
#include "uLog.h"
#include "uProcess.h"
#include "uVideoFichiers.h"

#include <cmath>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    TVideoFichier video;
    video.FExif = splitLines(decodeOutput(fuzzBytes(data, size)));
    fillFromExif(video);
    FUZZ_CHECK(std::isfinite(video.FFps), "the frame rate is a number");
    FUZZ_CHECK(std::isfinite(video.FCreationDate), "the creation date is a number");
    FUZZ_CHECK(!video.FAlbum.isEmpty(), "every video has an album");
    return 0;
}
