#include "uSavePrefs.h"

#include "uLinkEdit.h"

#include <QHBoxLayout>
#include <QIcon>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

namespace {

// Sizes are percentages of the text's font: the question is shown a tenth larger.
const QString kMessage = QStringLiteral(
    "<br><size 110><i>Do you want to save your preferences and find them again on next start?<br><br>"
    "Click on your choice:</i><br><br>"
    "* either to save them in the registry (normal mode).<br>"
    "* either to save them in an ini-file (portable mode).<br>"
    "* either not to save them. In the last case, all preferences will be lost, and the default values will be "
    "loaded on the next start.<br></size>");

struct TButtonText {
    const char* caption;
    const char* hint;
    const char* themeIcon;
    QStyle::StandardPixmap fallbackIcon;
};

// In the order of TSavePreferences.
const TButtonText kButtons[] = {
    {"Normal", "Save the Preferences in the registry.\nIf an ini file existed, it will be deleted.", "document-save",
     QStyle::SP_DialogSaveButton},
    {"Portable", "Saves the preferences to an ini file.\nDeletes the preferences from the registry.",
     "drive-removable-media", QStyle::SP_DriveFDIcon},
    {"None",
     "Exit without saving the preferences.\nIf they existed in an ini-file or in the registry,\nthey will be deleted.",
     "dialog-cancel", QStyle::SP_DialogCancelButton},
};

} // namespace

TSavePrefsForm::TSavePrefsForm(QWidget* parent)
    : QDialog(parent)
{
    setFixedSize(504, 356);
    setModal(true);

    FText = new TLinkEdit(this);
    FText->setRichText(kMessage);
    FText->setAccessibleName(markupPlainText(kMessage).trimmed().section(QLatin1Char('\n'), 0, 0));
    FText->setFocusPolicy(Qt::NoFocus);

    auto* buttons = new QHBoxLayout;
    for (int i = 0; i < 3; ++i) {
        const TButtonText& text = kButtons[i];
        auto* button = new QPushButton(QString::fromUtf8(text.caption), this);
        const QString hint = QString::fromUtf8(text.hint);
        button->setToolTip(hint);
        button->setAccessibleDescription(hint);
        button->setIcon(
            QIcon::fromTheme(QString::fromLatin1(text.themeIcon), style()->standardIcon(text.fallbackIcon)));
        // Qt picks the icon's larger pixmaps on dense screens by itself.
        button->setIconSize(QSize(24, 24));
        const auto which = TSavePreferences(i);
        connect(button, &QPushButton::clicked, this, [this, which] { choose(which); });
        buttons->addWidget(button);
        FButtons[i] = button;
    }

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(FText, 1);
    layout->addLayout(buttons);
}

bool TSavePrefsForm::ask()
{
    FAnswered = false;
    FChoice = spNone;
    exec();
    return FAnswered;
}

void TSavePrefsForm::choose(TSavePreferences which)
{
    FChoice = which;
    FAnswered = true;
    accept();
}
