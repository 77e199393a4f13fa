#pragma once

#include "uGrapheMan.h"

// The graph manager as the navigation manager builds on it. Its date-code and
// scene reports belong to live camera sources, which this program never opens,
// so for file playback it is the graph manager itself.
class TDVMan : public TGrapheMan {
    Q_OBJECT
public:
    using TGrapheMan::TGrapheMan;
};
