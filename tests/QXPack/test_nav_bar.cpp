#include "QtPrinters.h"
#include "uNavBar.h"

#include <QAccessible>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QSlider>
#include <QToolButton>

#include <gtest/gtest.h>

namespace {

QRect scaled(const QRect& r, int dpi)
{
    return {r.x() * dpi / 96, r.y() * dpi / 96, r.width() * dpi / 96, r.height() * dpi / 96};
}

QString accessibleName(QWidget* w)
{
    QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(w);
    return accessible ? accessible->text(QAccessible::Name) : QString();
}

} // namespace

TEST(NavBar, ControlsSitAtTheirPlacesAtEveryDensity)
{
    TNavBar bar;
    const struct {
        QWidget* control;
        QRect at96;
    } places[] = {{&bar, {0, 0, 394, 115}},
                  {bar.tb, {0, 0, 394, 30}},
                  {bar.Panel, {0, 32, 394, 40}},
                  {bar.ReculeTrackBtn, {0, 4, 32, 32}},
                  {bar.ReculeHighBtn, {38, 4, 32, 32}},
                  {bar.ReculeMediumBtn, {80, 4, 32, 32}},
                  {bar.ReculeLowBtn, {120, 4, 32, 32}},
                  {bar.PlayBtn, {160, 4, 73, 32}},
                  {bar.AvanceLowBtn, {241, 4, 32, 32}},
                  {bar.AvanceMediumBtn, {281, 4, 32, 32}},
                  {bar.AvanceHighBtn, {321, 4, 32, 32}},
                  {bar.AvanceTrackBtn, {361, 4, 32, 32}},
                  {bar.CurrentEdit, {144, 80, 108, 29}},
                  {bar.DureeLab, {278, 82, 116, 16}}};
    for (const int dpi : {96, 192}) {
        bar.setDpi(dpi);
        for (const auto& p : places) {
            const QRect expected = scaled(p.at96, dpi);
            EXPECT_EQ(p.control == &bar ? QRect(QPoint(), bar.size()) : p.control->geometry(), expected)
                << accessibleName(p.control).toStdString() << " at " << dpi;
        }
        EXPECT_EQ(bar.CurrentEdit->font().pixelSize(), 18 * dpi / 96);
        EXPECT_EQ(bar.DureeLab->font().pixelSize(), 15 * dpi / 96);
    }
    for (QToolButton* button : bar.Panel->findChildren<QToolButton*>())
        EXPECT_EQ(button->parentWidget(), bar.Panel);
    EXPECT_EQ(bar.Panel->findChildren<QToolButton*>().size(), 9);
}

TEST(NavBar, ControlsStartAsDesigned)
{
    TNavBar bar;
    EXPECT_EQ(bar.tb->minimum(), 0);
    EXPECT_EQ(bar.tb->maximum(), 1000000);
    EXPECT_EQ(bar.tb->pageStep(), 50000);
    EXPECT_EQ(bar.CurrentEdit->text(), QStringLiteral("0:00:00:00"));
    EXPECT_FALSE(bar.CurrentEdit->hasFrame());
    EXPECT_TRUE(bar.CurrentEdit->font().bold());
    EXPECT_EQ(bar.CurrentEdit->font().family(), QStringLiteral("Arial"));
    EXPECT_EQ(bar.DureeLab->text(), QStringLiteral("duration"));
    EXPECT_EQ(bar.DureeLab->toolTip(), QStringLiteral("Duration of the current video"));
    EXPECT_EQ(bar.DureeLab->palette().color(QPalette::WindowText), QColor(0x80, 0x00, 0x00));
    EXPECT_EQ(bar.PlayBtn->toolButtonStyle(), Qt::ToolButtonTextBesideIcon);
    EXPECT_EQ(bar.ReculeTrackBtn->toolButtonStyle(), Qt::ToolButtonIconOnly);
}

TEST(NavBar, EveryControlIsNamedForAssistiveTools)
{
    TNavBar bar;
    const struct {
        QWidget* control;
        const char* name;
    } names[] = {{bar.tb, "Position in the video"},
                 {bar.DureeLab, "duration"},
                 {bar.CurrentEdit, "Position"},
                 {bar.Panel, "Navigation buttons"},
                 {bar.ReculeTrackBtn, "Début"},
                 {bar.ReculeHighBtn, "Reculer d'une minute"},
                 {bar.ReculeMediumBtn, "Reculer d'une seconde"},
                 {bar.ReculeLowBtn, "Reculer d'une frame"},
                 {bar.PlayBtn, "Play"},
                 {bar.AvanceLowBtn, "Avancer d'une ou 10 frames"},
                 {bar.AvanceMediumBtn, "Avancer d'une ou 10 secondes"},
                 {bar.AvanceHighBtn, "Avancer d'une ou 10 minutes"},
                 {bar.AvanceTrackBtn, "Fin"}};
    for (const auto& n : names) {
        EXPECT_EQ(accessibleName(n.control), QString::fromUtf8(n.name));
        if (auto* button = qobject_cast<QToolButton*>(n.control)) {
            EXPECT_FALSE(button->toolTip().isEmpty()) << n.name;
        }
    }
    QAccessibleInterface* edit = QAccessible::queryAccessibleInterface(bar.CurrentEdit);
    ASSERT_NE(edit, nullptr);
    EXPECT_EQ(edit->text(QAccessible::Value), QStringLiteral("0:00:00:00"));
}

TEST(NavBar, TheKeyboardCrossesTheBarFromLeftToRight)
{
    TNavBar bar;
    QWidget* const expected[] = {bar.tb,           bar.ReculeTrackBtn, bar.ReculeHighBtn,  bar.ReculeMediumBtn,
                                       bar.ReculeLowBtn, bar.PlayBtn,        bar.AvanceLowBtn,   bar.AvanceMediumBtn,
                                       bar.AvanceHighBtn, bar.AvanceTrackBtn, bar.CurrentEdit};
    QWidget* w = bar.tb;
    for (QWidget* next : expected) {
        EXPECT_EQ(w, next) << accessibleName(next).toStdString();
        do
            w = w->nextInFocusChain();
        while (w != bar.tb && !(w->focusPolicy() & Qt::TabFocus));
    }
}
