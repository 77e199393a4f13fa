#pragma once

#include "uScanFrame.h"

#include <QWidget>

#include <sqlite3.h>

class TAboutFrame;
class TAudioMan;
class TFileGraph;
class TTimerNavman;
class TVideoMan;
class TBaseCommon;
class TBlocsFrame;
class TBooleanAction;
class TCheckAction;
class TDataVue;
class TIntegerAction;
class TNopeAction;
class TOptionsFrame;
class TOrvanePreferences;
class TQXActionList;
class TQXAppliMan;
class TQXFileBox;
class TStatusBar;
class TStringAction;
class TVideoFichier;
class TViewFrame;

// The one window of the program. It owns the preferences, its own settings,
// the application manager and the file box, and places the tile grid, the
// details panel, the view pane, the scan panel, the tool bar and the status
// bar. It joins them: a selected tile shows its video's details and screen,
// a scan shows its progress, and the settings load at the first show and are
// saved at the close.
class TMainForm : public QWidget {
    Q_OBJECT
public:
    // The database module is created before the window and outlives it.
    explicit TMainForm(TBaseCommon* baseCommon, QWidget* parent = nullptr);
    ~TMainForm() override;

    // The grid's selection event, with the list position of the clicked tile.
    void selectBloc(int i);
    void unselect();
    void displaycount();
    void displayVideo();
    void FormResize();
    // Requests a build of the record's file on the build thread.
    void openVideo(const TVideoFichier& aVideoFichier);
    // Brings a freshly built graph to its first frame.
    void synchroStart();

    int BoxPanel() const { return FBoxPanel; }
    int MsgPanel() const { return 1 - FBoxPanel; }
    TPanelState PanelState() const { return FPanelState; }
    void setPanelState(TPanelState state);
    void showMessage(const QString& text);

    TOrvanePreferences* prefs;
    TQXActionList* al_main;
    TQXAppliMan* am;
    TQXFileBox* box;
    TTimerNavman* navman;
    TVideoMan* vidman;
    TAudioMan* audman;
    TFileGraph* filegraph;
    QWidget* MainBar;
    TDataVue* DataFrame;
    TBlocsFrame* Bframe;
    TViewFrame* ViewFrame;
    TScanFrame* scanframe;
    TStatusBar* StatusBar;
    TOptionsFrame* OptionsFrame;
    TAboutFrame* AboutFrame;

    TStringAction* waFichierExifTool;
    TCheckAction* caShowFullexif;
    TBooleanAction* baMp4;
    TBooleanAction* baMov;
    TStringAction* waScanFolder;
    TCheckAction* caListeLeft;
    TStringAction* waExportExcelFile;
    TStringAction* waExportFolder;
    TBooleanAction* baIncludeSubFolders;
    TIntegerAction* iaExcelFormat;
    TStringAction* waPrivateFolder;
    TBooleanAction* baUsePrivateFilters;
    TBooleanAction* baColumnFolder;
    TBooleanAction* baColumnExtension;
    TBooleanAction* baEnableCuvidDXVA;
    TIntegerAction* iaHWDecoder;
    TNopeAction* naEscape;

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void FormCreate();
    void FormShow();
    void createSettings();
    void buildMainBar();
    void loadPrefs(TOrvanePreferences& p);
    void savePrefs(TOrvanePreferences& p);
    void baseOpened(const QString& path, sqlite3* connection);
    void wirePlayback();
    // Messages 3029 and 3027 of the build thread, on the user-interface thread.
    void buildStarting();
    void buildEnded();
    // The user kept the program open at the preferences question.
    void closeCancelled();
    void applyPrivateFolder(const QString& folder);
    // The player stops following the selection: the graph pauses.
    void pausePlayback();
    void setListLeft(bool left);
    int scaled(int pixels) const;

    TBaseCommon* FBaseCommon;
    TScanHandlers FScanHandlers;
    TPanelState FPanelState = psReady;
    int FBoxPanel = 0;
    bool FShown = false;
};
