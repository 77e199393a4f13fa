#pragma once

// Sizes of the view pane are given for a 96 dpi screen; at another density they
// are scaled and rounded to the nearest pixel.
constexpr int scaleToDpi(int pixels, int dpi)
{
    return (pixels * dpi + 48) / 96;
}
