#include "uvideoman.h"

#include "uDecoders.h"
#include "uLinkEdit.h"
#include "uPreferences.h"

#include <QLabel>

TVideoMan::TVideoMan(QObject* owner) : TWindowLessMan(owner, TDeferInitialize{})
{
    FDecoderMan = new TDecoderMan(this);
    FDecoderMan->init(&bannedVideoLinks(), &preferredVideoLinks(), nullVideoDecoder());
    createControls();
    initialize();
}

void TVideoMan::createControls()
{
    FOrphanLe = std::make_unique<TLinkEdit>();
    le = FOrphanLe.get();
    le->setReadOnly(true);
    le->setFrameShape(QFrame::NoFrame);
    le->setAccessibleName(QStringLiteral("Video"));
    le->hide();
    FOrphanImage = std::make_unique<QLabel>();
    image = FOrphanImage.get();
    image->setFixedSize(192, 192);
    image->setAccessibleName(QStringLiteral("Video"));
    image->hide();
}

void TVideoMan::createActions()
{
    TWindowLessMan::createActions();
    nrNextDecoderVideo = new TNopeAction(QStringLiteral("naNextDecoderVideo"), this);
}

void TVideoMan::initActions()
{
    TWindowLessMan::initActions();
    nrNextDecoderVideo->setCaption(QStringLiteral("Next Video Decoder"));
    nrNextDecoderVideo->setHint(QStringLiteral("Click to use the Next Video Decoder"));
    nrNextDecoderVideo->setShortCut(QKeySequence(QKeyCombination(Qt::ControlModifier, Qt::Key_F8)));
}

void TVideoMan::connectActions()
{
    TWindowLessMan::connectActions();
    nrNextDecoderVideo->internalApply = [this] { FDecoderMan->nextDecoder(); };
}

void TVideoMan::setVideoOk()
{
    FStateVideo = svVideoOK;
    if (le)
        le->hide();
    if (image)
        image->hide();
    dimensionner();
}

void TVideoMan::setWindow(QWidget* aWindow)
{
    if (aWindow && le && image) {
        // The host owns them from now on; a later host takes them over.
        le->setParent(aWindow);
        image->setParent(aWindow);
        (void)FOrphanLe.release();
        (void)FOrphanImage.release();
    }
    TWindowLessMan::setWindow(aWindow);
    if (FStateVideo == svVideoOK)
        setVideoOk();
    hostResized();
    if (aWindow)
        aWindow->update();
}

void TVideoMan::hostResized()
{
    paintFrame();
    const bool noVideo = FStateVideo != svVideoOK;
    if (image)
        image->setVisible(noVideo && image->parentWidget());
    if (le) {
        le->setGeometry(0, 0, le->parentWidget() ? le->parentWidget()->width() : le->width(), leHeight);
        le->setVisible(noVideo && le->parentWidget());
    }
    if (!noVideo)
        dimensionner();
    if (le)
        le->update();
}

void TVideoMan::repeindre()
{
    if (FStateVideo == svVideoOK)
        TWindowLessMan::repeindre();
}

bool TVideoMan::LoadFromPrefs(TOrvanePreferences& prefs)
{
    bool result = loadfromprefs(prefs);
    if (prefs.openkey(QStringLiteral("VideoDecoders"))) {
        result = FDecoderMan->PreferredLinks()->loadfromprefs(prefs) && result;
        result = prefs.closekey() && result;
    }
    return result;
}

bool TVideoMan::SaveToPrefs(TOrvanePreferences& prefs)
{
    bool result = savetoprefs(prefs);
    if (prefs.openkey(QStringLiteral("VideoDecoders"))) {
        result = FDecoderMan->PreferredLinks()->savetoprefs(prefs) && result;
        result = prefs.closekey() && result;
    }
    return result;
}
