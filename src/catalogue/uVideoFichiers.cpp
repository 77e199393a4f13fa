#include "uVideoFichiers.h"

#include "uCatalogueTables.h"

#include <atomic>

namespace {

// Set at start-up on the user-interface thread, read by the listing thread.
std::atomic<TVideoFichier::TMetadataReader> metadataReader{nullptr};

} // namespace

TVideoFichier::TVideoFichier() : TBaseVideoFichier(&catalogueTables().VideoFichiers) {}

void TVideoFichier::loadfromSR(const QString& wFolder, const TSearchRec& sr)
{
    TDriveFichier::loadfromSR(wFolder, sr);
    if (const TMetadataReader reader = metadataReader.load())
        reader(*this);
}

void TVideoFichier::setMetadataReader(TMetadataReader reader)
{
    metadataReader.store(reader);
}

void TVideoFichier::computeAspectRatio()
{
    // gcd answers 1 for a zero side, so 0 x 0 stays 0:0.
    const int g = gcd(FWidth, FHeight);
    FAspectRatioX = FWidth / g;
    FAspectratioY = FHeight / g;
}

int gcd(int a, int b)
{
    if (a == 0 || b == 0)
        return 1;
    int r = 0;
    do {
        r = a % b;
        a = b;
        if (r != 0)
            b = r;
    } while (r != 0);
    return b;
}
