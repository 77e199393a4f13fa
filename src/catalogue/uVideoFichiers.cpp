#include "uVideoFichiers.h"

#include "uCatalogueTables.h"

TVideoFichier::TVideoFichier() : TBaseVideoFichier(&catalogueTables().VideoFichiers) {}

void TVideoFichier::loadfromSR(const QString& wFolder, const TSearchRec& sr)
{
    TDriveFichier::loadfromSR(wFolder, sr);
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
