#pragma once

#include <QStringList>
#include <QWidget>

class QPushButton;
class TCheckAction;
class TLinkEdit;
class TVideoFichier;

// The details of the selected video: its name as a heading, then either a
// summary of twelve values or the metadata tool's whole output, and the marks
// of its side files. The "Exif" button flips the setting that chooses the view.
class TDataVue : public QWidget {
    Q_OBJECT
public:
    explicit TDataVue(QWidget* parent = nullptr);

    // The setting that chooses the view (the main window owns it).
    void setShowFullExifAction(TCheckAction* action);

    void afficher(const TVideoFichier& aVideoFichier);
    void vider();
    void showFullExif(bool full);

    static QString exifSummary(const QStringList& lines);
    static QString exifFull(const QStringList& lines);

    TLinkEdit* leLimitedExif;
    TLinkEdit* leFullExif;
    QPushButton* ExifPanel;

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void placeExifPanel();

    TCheckAction* FShowFullExif = nullptr;
};
