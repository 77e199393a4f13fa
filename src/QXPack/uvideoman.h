#pragma once

#include "uLinkEdit.h"
#include "uWindowLessMan.h"

#include <QLabel>
#include <QPointer>

#include <memory>

class TDecoderMan;
class TOrvanePreferences;

enum TStateVideo { svNoVideo, svVideoOK };

// The main window's video manager: the video window with the layout of its
// host, the video state the main window switches on once, the preferred video
// decoders kept in the preferences, and the next-decoder command.
class TVideoMan : public TWindowLessMan {
    Q_OBJECT
public:
    explicit TVideoMan(QObject* owner = nullptr);

    TStateVideo stateVideo() const { return FStateVideo; }
    void setVideoOk();

    void setWindow(QWidget* aWindow) override;
    void repeindre() override;

    // The manager's actions, then the preferred video decoders in "VideoDecoders".
    bool LoadFromPrefs(TOrvanePreferences& prefs);
    bool SaveToPrefs(TOrvanePreferences& prefs);

    TDecoderMan* decoderMan() const { return FDecoderMan; }

    void createActions() override;
    void initActions() override;
    void connectActions() override;

    // Shown in the host only in the no-video state; gone with the host that holds them.
    QPointer<TLinkEdit> le;
    QPointer<QLabel> image;
    int leHeight = 32;
    TNopeAction* nrNextDecoderVideo = nullptr;

protected:
    void createControls() override;
    void hostResized() override;

private:
    TStateVideo FStateVideo = svNoVideo;
    TDecoderMan* FDecoderMan = nullptr;
    // Kept until a host takes them, then owned by the host.
    std::unique_ptr<TLinkEdit> FOrphanLe;
    std::unique_ptr<QLabel> FOrphanImage;
};
