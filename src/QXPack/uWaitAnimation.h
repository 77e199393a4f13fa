#pragma once

#include <QLabel>
#include <QPixmap>
#include <QTimer>

#include <array>

// A small picture that moves while something is being prepared: two frames that
// alternate every 250 ms for as long as it is visible.
class TWaitAnimation : public QLabel {
    Q_OBJECT

public:
    static constexpr int FrameCount = 2;
    static constexpr int FrameInterval = 250; // milliseconds

    explicit TWaitAnimation(QWidget* parent = nullptr);

    // 32 x 32 pixels at 96 dpi; the pictures are drawn again at the new size.
    void setDpi(int dpi);
    int currentFrame() const { return FFrame; }

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void nextFrame();

    QTimer FTimer;
    std::array<QPixmap, FrameCount> FFrames;
    int FFrame = 0;
};
