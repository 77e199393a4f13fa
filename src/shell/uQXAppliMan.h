#pragma once

#include "uAboutFrame.h"
#include "uHelpForm.h"
#include "uLinkEdit.h"
#include "uScriptForm.h"
#include "uWndComponent.h"

#include <QPointer>
#include <QRect>
#include <QStringList>
#include <QUrl>
#include <QWidget>

#include <functional>

class TCheckAction;
class TIntegerAction;
class TMacroEngine;
class TNopeAction;
class TRectAction;
struct TRect;

// A panel that covers its parent form, following its size, and shows one page
// centred in it.
class TPagePanel : public QWidget {
    Q_OBJECT
public:
    TPagePanel(QWidget* form, const QColor& color);

    QWidget* frame() const { return FFrame; }
    // The page moves into the panel, hidden; a previous page is hidden and stays.
    void setFrame(QWidget* frame);
    // Shows the panel and the page in front of the form's other controls; with no page, nothing.
    void showPage();
    void hidePage();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void fit();
    void centre();

    QPointer<QWidget> FFrame;
    bool FFitsLayout = false;
};

// "Type F10 to close this page or click here.": a small line that keeps to the
// bottom-right corner of the page it is placed on.
class TCloseLine : public TLinkEdit {
    Q_OBJECT
public:
    TCloseLine(const QString& key, const QString& link, QWidget* parent);

protected:
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void watchParent();
    void place();

    QPointer<QWidget> FWatched;
};

// The application manager: the options, about and custom pages shown over the
// whole window, the help and script windows, Quit, E-mail and Home page, the
// window's rectangle with the density it was saved at, and the version texts.
class TQXAppliMan : public TQXActionComponent {
    Q_OBJECT
public:
    // The pages, the windows and the rectangle belong to the owner's window;
    // without an owner the manager has its actions and nothing else.
    explicit TQXAppliMan(QWidget* owner);
    ~TQXAppliMan() override;

    static QString version();     // "1.0.3.9"
    static QString language();    // "fr"
    static QString fullCaption(); // "Movarium 1.0.3.9 fr"
    static QString lastUpdate();  // "18/08/2024"

    // The maker's addresses.
    static QString contactAddress();
    static QString homePage();
    static QString documentationPage();
    static QString forumPage();

    QWidget* ParentForm() const { return FParentForm; }

    QWidget* OptionsFrame() const;
    void setOptionsFrame(QWidget* frame);
    QWidget* CustomFrame() const;
    void setCustomFrame(QWidget* frame);
    TAboutFrame* AboutFrame() const { return FAboutFrame; }
    void setAboutFrame(TAboutFrame* frame);

    bool OptionsCloseVisible() const { return FOptionsCloseVisible; }
    void setOptionsCloseVisible(bool visible);

    // Components credited on the about page, title and address by position.
    QStringList TitreUses() const { return FTitreUses; }
    void setTitreUses(const QStringList& titles) { FTitreUses = titles; }
    QStringList UrlUses() const { return FUrlUses; }
    void setUrlUses(const QStringList& urls) { FUrlUses = urls; }

    TPagePanel* OptionsPanel() const { return FOptionsPanel; }
    TPagePanel* AboutPanel() const { return FAboutPanel; }
    TPagePanel* CustomPanel() const { return FCustomPanel; }
    TCloseLine* OptionsCloseLine() const { return FOptionsClose; }
    THelpForm* HelpForm() const { return FHelpForm; }
    TScriptForm* ScriptForm() const { return FScriptForm; }
    TMacroEngine* MacroEngine() const { return FMacroEngine; }

    // Fills the about page: title, information text and its links.
    void remplir();

    // The density that the rectangle of raFormSave refers to.
    qint32 FLastppi = 0;

    // Opens a web or mail address; the desktop's own programs unless replaced.
    std::function<bool(const QUrl&)> OpenUrl;

    struct TScreenInfo {
        qint32 PixelsPerInch = 96;
        QRect Available;
    };
    // The density and the free area of the window's screen, which the window
    // rectangle is scaled to and kept on; replaceable to stand for another screen.
    std::function<TScreenInfo()> CurrentScreen;

    void createActions() override;
    void initActions() override;
    void connectActions() override;

protected:
    TCheckAction* crScript = nullptr;
    TCheckAction* crHelp = nullptr;
    TCheckAction* crAbout = nullptr;
    TCheckAction* crOptions = nullptr;
    TCheckAction* crCustom = nullptr;
    TNopeAction* nrQuit = nullptr;
    TNopeAction* nrEMail = nullptr;
    TNopeAction* nrHomePage = nullptr;
    TRectAction* rrFormSave = nullptr;
    TIntegerAction* irFormPixelsPerInch = nullptr;

private:
    void showWindow(QWidget* window);
    void closePage(const QString& link);
    void openWebPage(const QString& link);
    void applyFormRect(const TRect& r);
    void defaultFormRect(TRect& r);

    QWidget* FParentForm = nullptr;
    TPagePanel* FOptionsPanel = nullptr;
    TPagePanel* FCustomPanel = nullptr;
    TPagePanel* FAboutPanel = nullptr;
    QPointer<TAboutFrame> FAboutFrame;
    QPointer<TCloseLine> FOptionsClose;
    bool FOptionsCloseVisible = true;
    QStringList FTitreUses;
    QStringList FUrlUses;
    TMacroEngine* FMacroEngine = nullptr;
    QPointer<THelpForm> FHelpForm;
    QPointer<TScriptForm> FScriptForm;
};
