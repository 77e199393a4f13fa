#pragma once

#include <QStringList>

#include <memory>

class QMimeData;
class QWidget;

// Files offered to other programs by dragging them out of the program.
class TDropFileSource {
public:
    // Full paths of the files to offer.
    QStringList Files;
    Qt::DropAction Effect = Qt::CopyAction;

    // The files as file URLs (text/uri-list); none when there is no file to offer.
    std::unique_ptr<QMimeData> mimeData() const;
    // Runs the platform's drag from source until the drop; answers what the target did.
    Qt::DropAction execute(QWidget* source) const;
};
