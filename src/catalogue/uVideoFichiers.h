#pragma once

#include "uBaseVideoFichiers.h"

class TVideoFichier : public TBaseVideoFichier {
public:
    TVideoFichier();

    // The file and drive levels; the video level is read by the metadata reader.
    void loadfromSR(const QString& wFolder, const TSearchRec& sr) override;
    // Aspect ratio from width and height, reduced by their greatest common divisor.
    void computeAspectRatio();
};

// Greatest common divisor by Euclid's remainders; 1 when either argument is 0.
int gcd(int a, int b);
