#pragma once

#include "uQXFileBox.h"

#include <QElapsedTimer>
#include <QMetaObject>
#include <QPointer>
#include <QWidget>

#include <atomic>
#include <functional>

class QCheckBox;
class QLabel;
class QPushButton;
class TBooleanAction;
class TDensityWatch;
class TFolderEdit;
class TStringAction;

// What the status bar shows: ready, playing, or busy loading.
enum TPanelState { psReady, psLecture, psLoading };

// Which video types a scan takes. Set on the user-interface thread, read by
// the listing thread for every file it meets.
class TScanExtensions {
public:
    std::atomic<bool> mp4{true};
    std::atomic<bool> mov{true};

    // wLowerExtension is lower-cased with its dot: ".mp4".
    bool accepts(const QString& wLowerExtension) const;
};

// The main window's answers to the file box's events: status texts and
// states, and the list refreshed. The main window fills the three hooks.
// The status text that ends a scan whose files the catalogue did not all take:
// how many, and why (sqliteCode is the SQLite code of the last refusal).
QString storeFailureText(int count, int sqliteCode);

class TScanHandlers {
public:
    std::function<void(const QString& text)> setStatusText;
    std::function<void(TPanelState state)> setStatusState;
    // Refreshes the tile grid and the count text.
    std::function<void()> refreshList;

    // Makes these the box's event handlers, all but the extension test.
    void install(TQXFileBox& box);

    void openStart();
    void folderFound(const QString& wfolder);
    void fileFound(TDriveFichier& sf);
    void openEnd();
    void listCountChange();

private:
    void showText(const QString& text);
    void refresh();

    const TQXFileBox* FBox = nullptr;

    // The list is refreshed at most this often during a walk: a refresh counts
    // the whole list, which would otherwise set the pace of a scan.
    static constexpr qint64 kRefreshIntervalMs = 250;
    QElapsedTimer FLastRefresh;
};

// The scan panel. Its scan half names a folder, says whether its sub-folders
// count and which video types to take, and starts the scan; the settings
// behind the controls are the main window's actions, bound both ways. The
// export half comes from the export and is placed beside it.
class TScanFrame : public QWidget {
    Q_OBJECT
public:
    explicit TScanFrame(QWidget* parent = nullptr);

    // The four settings; each control shows its action's value after every apply
    // and sets it when the user changes the control.
    void bindSettings(TStringAction* waScanFolder, TBooleanAction* baIncludeSubFolders, TBooleanAction* baMp4,
                      TBooleanAction* baMov);
    // The box that Scan and Clear drive.
    void setFileBox(TQXFileBox* box) { FFileBox = box; }
    // The test to assign to the box's OnOpenTestExtension; valid while the frame lives.
    TTestExtensionEvent extensionTest() const;

    // Places the export half beside the scan half; the frame becomes its parent.
    void setExportPanel(QWidget* panel);

    // Runs after Clear has emptied the list, for the details panel.
    std::function<void()> OnClear;

    QWidget* scanPanel() const { return FScanPanel; }
    QLabel* heading;
    TFolderEdit* folderBox;
    QCheckBox* cbIncludeSubFolders;
    QCheckBox* cbMp4;
    QCheckBox* cbMov;
    QPushButton* ClearBtn;
    QPushButton* ScanBtn;

    void scan();
    void clear();

protected:
    void showEvent(QShowEvent* event) override;

private:
    void applyScale();

    QWidget* FScanPanel;
    TDensityWatch* FDensity;
    QPointer<TQXFileBox> FFileBox;
    TStringAction* FScanFolder = nullptr;
    TBooleanAction* FIncludeSubFolders = nullptr;
    TBooleanAction* FMp4 = nullptr;
    TBooleanAction* FMov = nullptr;
    TScanExtensions FExtensions;
};
