#pragma once

#include <QString>
#include <QWidget>

class TBuildThread;
class TGaugeVolume;
class TLinkEdit;
class TNavBar;
class TVideoFichier;
class TWaitAnimation;

// The message screens of the view pane.
enum TerrorCode { ecBuildError, ecAudioOnly, ecPatience, ecFileNotFound, ecBienvenue, ecNoFileSelected };

// The markup of a message screen about a video: the video is named by its file
// name in lower case, its disk by the mount point of its file.
QString errorText(TerrorCode errorcode, const TVideoFichier& video);

// The record of the selected video, one for the whole process. The first view frame
// creates it (later ones keep it); it lives until freeCurrentVideo, which the main
// window calls when it is destroyed, or else until the program ends. It must not be
// read before a view frame exists or after it has been freed. User-interface thread only.
TVideoFichier& currentVideo();
void freeCurrentVideo();

// The pane where a video is watched: the video panel fitted to the video's
// proportions, the navigation bar and the volume gauge at the bottom, and over the
// panel's place the message screens with their waiting animation.
class TViewFrame : public QWidget {
    Q_OBJECT

public:
    explicit TViewFrame(QWidget* parent = nullptr);

    // Scales the bar, the gauge, the animation and the margins for a screen density.
    void setDpi(int dpi);

    // Places the children for the frame's size and currentVideo's proportions;
    // runs on every resize.
    void FrameResize();

    // Shows the screen of errorcode on cream; always false: no video is shown.
    bool AfficherError(TerrorCode errorcode);
    // The waiting screen with its animation.
    void AfficherPatience();
    // The message area alone, as it stands.
    void affichagevide();
    // The navigation bar and the volume gauge come and go together.
    void ShowNavigation(bool isVisible);

    QWidget* PanelVideo;
    TNavBar* NavBar;
    TGaugeVolume* GaugeVolume;
    TLinkEdit* rxVue;
    TWaitAnimation* an;
    // Builds the graph of each requested video; it ends with the frame.
    TBuildThread* BuildThread;

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void showMessageArea(const QColor& background);

    int FDpi = 96;
};
