#include "uViewFrame.h"

#include "uBuildThread.h"
#include "uDensity.h"
#include "uDrives.h"
#include "uGaugeVolume.h"
#include "uLinkEdit.h"
#include "uNavBar.h"
#include "uVideoFichiers.h"
#include "uVolumes.h"
#include "uWaitAnimation.h"

#include <QDir>

#include <algorithm>
#include <memory>

namespace {

const QString kProductName = QStringLiteral("Movarium");

std::unique_ptr<TVideoFichier> theCurrentVideo;

// Where the catalogue saw the video's disk mounted: the drive row's root, which
// still names the disk once it is unplugged; else the mount that holds the path.
QString driveOf(const TVideoFichier& video)
{
    TDrive drive;
    drive.numero = video.FDriveNumero;
    if (video.FDriveNumero > 0 && drive.getByNum() && !drive.FRootPath.isEmpty())
        return drive.FRootPath;
    const QString root = TVolumeService::instance().rootOf(video.FFilename);
    return root.isEmpty() ? QDir::rootPath() : root;
}

} // namespace

QString errorText(TerrorCode errorcode, const TVideoFichier& video)
{
    const QString name = video.FListName.toLower();
    switch (errorcode) {
    case ecBienvenue:
        return QStringLiteral("<br><br><br><b><i><SIZE 140>Welcome to ") + kProductName
            + QStringLiteral("</size></i></b><br><br>Start by listing mp4 videos <br> then select one to view");
    case ecNoFileSelected:
        return QStringLiteral("<br><br><br><b><i><SIZE 140>No Video has been selected</size></i></b><br><br>"
                              "Select a video by clicking in the list opposite.");
    case ecBuildError:
        return QStringLiteral("<br><br><b><i><SIZE 140>No Vidéo</size></i></b><br><br><b><color blue>") + name
            + QStringLiteral("</color></b><br><br>cannot be read by ") + kProductName
            + QStringLiteral("<br>Check if all useful codecs are installed or if the video is corrupted");
    case ecAudioOnly:
        return QStringLiteral("<br><br><b><i><SIZE 140>No Vidéo</size></i></b><br><br><b><color navy>") + name
            + QStringLiteral("</color></b><br><br>has only audio streams");
    case ecPatience:
        return QStringLiteral("<br><br><b><i><SIZE 140><color Gray>Patience</color></size></i></b><br><br>"
                              "<color navy>")
            + name + QStringLiteral("</size></color></b><br><br><color Gray>is being loaded</color>");
    case ecFileNotFound:
        return QStringLiteral("<br><br><b><i><SIZE 140>No Vidéo</size></i></b><br><br><b><color blue>") + name
            + QStringLiteral("</color></b><br><br>is not found on your system<br>Check if the disk ") + driveOf(video)
            + QStringLiteral(" is connected<br>and has not changed Drive letter.");
    }
    return {};
}

TVideoFichier& currentVideo()
{
    Q_ASSERT_X(theCurrentVideo, "currentVideo", "read before any view frame was created");
    return *theCurrentVideo;
}

void freeCurrentVideo()
{
    theCurrentVideo.reset();
}

TViewFrame::TViewFrame(QWidget* parent)
    : QWidget(parent),
      PanelVideo(new QWidget(this)),
      NavBar(new TNavBar(this)),
      GaugeVolume(new TGaugeVolume(this)),
      rxVue(new TLinkEdit(this)),
      an(new TWaitAnimation(this)),
      BuildThread(new TBuildThread(this))
{
    if (!theCurrentVideo)
        theCurrentVideo = std::make_unique<TVideoFichier>();

    setAccessibleName(QStringLiteral("View"));
    PanelVideo->setAccessibleName(QStringLiteral("Video"));
    PanelVideo->setAutoFillBackground(true);
    QPalette black = PanelVideo->palette();
    black.setColor(QPalette::Window, Qt::black);
    PanelVideo->setPalette(black);

    rxVue->setAlignmentDefault(Qt::AlignHCenter);
    rxVue->setFrameShape(QFrame::NoFrame);
    affichagevide();

    setDpi(logicalDpiY());
}

void TViewFrame::setDpi(int dpi)
{
    FDpi = dpi;
    NavBar->setDpi(dpi);
    GaugeVolume->setDpi(dpi);
    QFont gaugeFont(QStringLiteral("Arial"));
    gaugeFont.setPixelSize(scaleToDpi(13, dpi));
    GaugeVolume->setFont(gaugeFont);
    an->setDpi(dpi);
    FrameResize();
}

void TViewFrame::FrameResize()
{
    const int margin = scaleToDpi(16, FDpi);
    const int bw = std::max(0, width() - 2 * margin);
    const int bh = std::max(0, height() - NavBar->height() - 2 * margin);
    const qint64 vw = currentVideo().FWidth > 0 ? currentVideo().FWidth : 0;
    const qint64 vh = currentVideo().FHeight > 0 ? currentVideo().FHeight : 0;

    // The largest rectangle of the video's proportions that fits in the box.
    int pw = bw;
    int ph = bh;
    if (vh * bw < bh * vw)
        ph = int(vh * bw / vw);
    else if (vh * bw > bh * vw)
        pw = int(bh * vw / vh);
    PanelVideo->setGeometry(margin + (bw - pw) / 2, margin + (bh - ph) / 2, pw, ph);

    rxVue->setGeometry(margin, margin + scaleToDpi(40, FDpi), bw, bh);
    an->move(rxVue->x() + (rxVue->width() - an->width()) / 2, rxVue->y() - an->height());
    NavBar->move((width() - NavBar->width()) / 2, height() - NavBar->height());
    GaugeVolume->move(scaleToDpi(8, FDpi), height() - GaugeVolume->height() - scaleToDpi(4, FDpi));
}

void TViewFrame::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    FrameResize();
}

bool TViewFrame::AfficherError(TerrorCode errorcode)
{
    rxVue->setRichText(errorText(errorcode, currentVideo()));
    showMessageArea(colorFromBGR(0xF0FBFF));
    update();
    return false;
}

void TViewFrame::AfficherPatience()
{
    QColor workspace;
    markupColor(QStringLiteral("APPWORKSPACE"), palette(), workspace);
    rxVue->setRichText(errorText(ecPatience, currentVideo()));
    showMessageArea(workspace);
    an->show();
    an->raise();
}

void TViewFrame::affichagevide()
{
    PanelVideo->hide();
    rxVue->show();
    rxVue->raise();
    an->hide();
    // The message area reaches below the box; the bar and the gauge stay usable over it.
    NavBar->raise();
    GaugeVolume->raise();
}

void TViewFrame::ShowNavigation(bool isVisible)
{
    NavBar->setVisible(isVisible);
    GaugeVolume->setVisible(isVisible);
}

void TViewFrame::showMessageArea(const QColor& background)
{
    QPalette colours = rxVue->palette();
    colours.setColor(QPalette::Base, background);
    rxVue->setPalette(colours);
    affichagevide();
}
