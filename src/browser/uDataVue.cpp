#include "uDataVue.h"

#include "uExifValue.h"
#include "uLinkEdit.h"
#include "uScriptAction.h"
#include "uVideoFichiers.h"

#include <QPushButton>
#include <QScrollBar>
#include <QResizeEvent>

namespace {

const QColor kMoneyGreen(0xC0, 0xDC, 0xC0);
const QColor kSkyBlue(0xA6, 0xCA, 0xF0);

void styleView(TLinkEdit* view, const QColor& background)
{
    QFont font(QStringLiteral("Arial"));
    font.setPixelSize(13);
    view->setFont(font);
    QPalette palette = view->palette();
    palette.setColor(QPalette::Base, background);
    palette.setColor(QPalette::Text, Qt::black);
    view->setPalette(palette);
    view->setFrameShape(QFrame::NoFrame);
    const QColor navy(0x00, 0x00, 0x80);
    view->UrlColor = navy;
    view->MailColor = navy;
    view->LinkColor = navy;
}

// The heading, the body and the side-file marks, as both views show them.
// The name is shown a fifth larger than the text, a readable heading.
QString page(const TVideoFichier& v, const QString& body)
{
    const QString marks = QString(v.FHasScn ? QStringLiteral("scn  ") : QStringLiteral("     "))
        + (v.FHasSrt ? QStringLiteral("srt") : QStringLiteral("   "));
    return QStringLiteral("<br><b><color Black><Size 120>") + v.FListName
        + QStringLiteral("</Size></b></color><br center>") + body + QStringLiteral("<br><color Gray>") + marks
        + QStringLiteral("</color><br center>");
}

} // namespace

TDataVue::TDataVue(QWidget* parent)
    : QWidget(parent),
      leLimitedExif(new TLinkEdit(this)),
      leFullExif(new TLinkEdit(this)),
      ExifPanel(new QPushButton(QStringLiteral("Exif"), this))
{
    styleView(leLimitedExif, kMoneyGreen);
    styleView(leFullExif, kSkyBlue);
    leLimitedExif->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    leFullExif->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    leLimitedExif->setAccessibleDescription(QStringLiteral("Summary of the video's data"));
    leFullExif->setAccessibleDescription(QStringLiteral("All the video's data"));
    QFont narrow(QStringLiteral("Arial Narrow"));
    narrow.setPixelSize(13);
    ExifPanel->setFont(narrow);
    ExifPanel->setFlat(true);
    ExifPanel->setAutoFillBackground(true);
    ExifPanel->setFocusPolicy(Qt::NoFocus);
    connect(ExifPanel, &QPushButton::clicked, this, [this] {
        if (FShowFullExif)
            FShowFullExif->doExecute();
    });
    showFullExif(false);
}

void TDataVue::setShowFullExifAction(TCheckAction* action)
{
    FShowFullExif = action;
    if (!action)
        return;
    // The view follows every apply of the setting, whoever sets it.
    const auto previousTrue = action->OnAfterTrueApply;
    const auto previousFalse = action->OnAfterFalseApply;
    action->OnAfterTrueApply = [this, previousTrue] {
        if (previousTrue)
            previousTrue();
        showFullExif(true);
    };
    action->OnAfterFalseApply = [this, previousFalse] {
        if (previousFalse)
            previousFalse();
        showFullExif(false);
    };
    showFullExif(action->Checked());
}

void TDataVue::showFullExif(bool full)
{
    leFullExif->setVisible(full);
    leLimitedExif->setVisible(!full);
    ExifPanel->setStyleSheet(QStringLiteral("QPushButton { background-color: %1; border: 1px solid black; }")
                                 .arg(full ? palette().color(QPalette::Button).name() : kSkyBlue.name()));
    const QString hint = full ? QStringLiteral("Click to display the summarized Exif")
                              : QStringLiteral("Click to display the full Exif");
    ExifPanel->setToolTip(hint);
    ExifPanel->setAccessibleDescription(hint);
    ExifPanel->raise();
}

void TDataVue::afficher(const TVideoFichier& aVideoFichier)
{
    leLimitedExif->setRichText(page(aVideoFichier, exifSummary(aVideoFichier.FExif)));
    leFullExif->setRichText(page(aVideoFichier, exifFull(aVideoFichier.FExif)));
}

void TDataVue::vider()
{
    leLimitedExif->setRichText(QString());
    leFullExif->setRichText(QString());
}

QString TDataVue::exifSummary(const QStringList& lines)
{
    static const char* const keys[] = {"File Size",    "Create Date",   "Duration",       "Image Width",
                                       "Image Height", "Video Frame Rate", "Compressor ID", "Audio Format",
                                       "Audio Channels", "Audio Bits per Sample", "Audio Sample Rate"};
    QString body;
    for (const char* key : keys) {
        const QString name = QString::fromLatin1(key);
        body += QStringLiteral("<br>  ") + name + QStringLiteral(":   <color Navy>") + exifValue(name, lines)
            + QStringLiteral("</color>");
    }
    QString encoder = exifValue(QStringLiteral("Encoder"), lines);
    if (encoder.isEmpty())
        encoder = QStringLiteral("     ---");
    return body + QStringLiteral("<br>  Encoder:   <color Navy>") + encoder + QStringLiteral("</color>");
}

QString TDataVue::exifFull(const QStringList& lines)
{
    QString body;
    for (const QString& line : lines) {
        const qsizetype colon = line.indexOf(QLatin1Char(':'));
        if (colon < 0)
            continue;
        const QString tag = line.left(colon).trimmed();
        if (tag.toLower().contains(QLatin1String("exiftool")) || tag == QLatin1String("File Name"))
            continue;
        body += QStringLiteral("<br>  ") + tag + QStringLiteral(":   <color Blue>") + line.mid(colon + 1).trimmed()
            + QStringLiteral("</color>");
    }
    return body;
}

void TDataVue::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    leLimitedExif->setGeometry(rect());
    leFullExif->setGeometry(rect());
    placeExifPanel();
}

void TDataVue::placeExifPanel()
{
    const QSize size = ExifPanel->sizeHint().expandedTo(QSize(36, 18));
    // Clear of the full view's scroll bar.
    const int margin = leFullExif->verticalScrollBar()->sizeHint().width() + 4;
    ExifPanel->setGeometry(width() - size.width() - margin, height() - size.height() - 4, size.width(), size.height());
}
