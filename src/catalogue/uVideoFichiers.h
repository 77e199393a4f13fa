#pragma once

#include "uBaseVideoFichiers.h"

class TVideoFichier : public TBaseVideoFichier {
public:
    // Fills the video level of a record whose file and drive levels are loaded.
    using TMetadataReader = void (*)(TVideoFichier& video);

    TVideoFichier();

    // The file and drive levels, then the video level from the metadata reader when one is set.
    void loadfromSR(const QString& wFolder, const TSearchRec& sr) override;
    // The reader lives above the catalogue, which cannot call it by name; null unsets it.
    static void setMetadataReader(TMetadataReader reader);
    // Aspect ratio from width and height, reduced by their greatest common divisor.
    void computeAspectRatio();
};

// Greatest common divisor by Euclid's remainders; 1 when either argument is 0.
int gcd(int a, int b);
