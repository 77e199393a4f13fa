#pragma once

#include "uTextGauges.h"

// The volume as a needle dial in percent of the full volume (0 to 10000). Its alert
// lies above the range: the dial never turns red.
class TGaugeVolume : public TTextGauge {
    Q_OBJECT

public:
    explicit TGaugeVolume(QWidget* parent = nullptr);

    // 48 x 20 pixels at 96 dpi.
    void setDpi(int dpi);

protected:
    void changeEvent(QEvent* event) override;
};
