#pragma once

#include <QWidget>

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QTabWidget;
class TBooleanAction;
class TFileEdit;
class TFolderEdit;
class TIntegerAction;
class TOrvanePreferences;
class TStringAction;

// The options pages shown over the main window: where preferences are kept,
// the catalogue and tool files, the private filters, hardware decoding and
// the spreadsheet format. Every control is bound both ways to its setting.
class TOptionsFrame : public QWidget {
    Q_OBJECT
public:
    explicit TOptionsFrame(QWidget* parent = nullptr);

    void bindPreferences(TOrvanePreferences* prefs);
    void bindFiles(TStringAction* waFichierBase, TStringAction* waFichierExifTool);
    void bindFilters(TBooleanAction* baUsePrivateFilters, TStringAction* waPrivateFolder);
    void bindHardware(TIntegerAction* iaHWDecoder, TBooleanAction* baEnableCuvidDXVA);
    void bindExcel(TIntegerAction* iaExcelFormat);

    // Shows a setting's value in its control (the settings' after-apply calls these).
    void showDatabaseFile(const QString& path);
    void showExifToolFile(const QString& path);
    void showPrivateFolder(const QString& path);
    void showUsePrivateFilters(bool use);
    void showHWDecoder(int index);
    void showCuvidDXVA(bool enabled);
    void showExcelFormat(int format);
    void showMode(int mode);

    QTabWidget* pages() const { return FPages; }
    QButtonGroup* modeGroup() const { return FMode; }
    QButtonGroup* hwGroup() const { return FHW; }
    TFileEdit* databaseBox() const { return FDatabase; }
    TFileEdit* exifToolBox() const { return FExifTool; }
    TFolderEdit* privateFolderBox() const { return FPrivateFolder; }
    QCheckBox* usePrivateFiltersBox() const { return FUsePrivate; }
    QCheckBox* cuvidBox() const { return FCuvid; }
    QComboBox* excelBox() const { return FExcel; }

private:
    QTabWidget* FPages;
    QButtonGroup* FMode;
    QButtonGroup* FHW;
    TFileEdit* FDatabase;
    TFileEdit* FExifTool;
    TFolderEdit* FPrivateFolder;
    QCheckBox* FUsePrivate;
    QCheckBox* FCuvid;
    QComboBox* FExcel;
};
