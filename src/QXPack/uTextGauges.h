#pragma once

#include <QColor>
#include <QImage>
#include <QString>
#include <QWidget>

// A colour written in the platform's 0x00BBGGRR encoding.
QColor colorFromBGR(quint32 bgr);

enum TGaugeBorderStyle { bsNone, bsSingle };

// A dial that shows where a value lies in its range: a half-disc with a needle
// from the left (minimum) over the top to the right (maximum), and the value as
// a percentage written over it in contrasting colours. Assistive tools read the
// text it shows as its name and its value.
class TTextGauge : public QWidget {
    Q_OBJECT

public:
    // The dial's lines and needle while the value is above AlertValue.
    static const QColor AlertColor;

    explicit TTextGauge(QWidget* parent = nullptr);

    int MinValue() const { return FMinValue; }
    int MaxValue() const { return FMaxValue; }
    int Progress() const { return FCurValue; }
    int AlertValue() const { return FAlertValue; }
    // A bound that crosses the other one moves it along; the value stays in the range.
    void setMinValue(int value);
    void setMaxValue(int value);
    // Clamped to the range; the gauge is redrawn only when PercentDone changes.
    void setProgress(int value);
    void setAlertValue(int value);

    // Whole percent of the range below the value; 0 for an empty range.
    int PercentDone() const;

    bool ShowText() const { return FShowText; }
    void setShowText(bool show);
    // Shown as it stands instead of the percentage when customText is set.
    const QString& Caption() const { return FCaption; }
    void setCaption(const QString& caption);
    bool customText() const { return FCustomText; }
    void setCustomText(bool custom);
    TGaugeBorderStyle BorderStyle() const { return FBorderStyle; }
    void setBorderStyle(TGaugeBorderStyle style);
    QColor ForeColor() const { return FForeColor; }
    void setForeColor(const QColor& color);
    QColor BackColor() const { return FBackColor; }
    void setBackColor(const QColor& color);

    // The text the gauge shows: PercentDone followed by "%", or Caption with customText.
    QString text() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QImage paintGauge() const;
    void changed();

    int FMinValue = 0;
    int FMaxValue = 100;
    int FCurValue = 0;
    int FAlertValue = 80;
    bool FShowText = true;
    QString FCaption = QStringLiteral("%d");
    bool FCustomText = false;
    TGaugeBorderStyle FBorderStyle = bsSingle;
    QColor FForeColor = colorFromBGR(0xC0DCC0);
    QColor FBackColor = Qt::white;
};
