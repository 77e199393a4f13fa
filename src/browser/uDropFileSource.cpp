#include "uDropFileSource.h"

#include <QDrag>
#include <QWidget>
#include <QMimeData>
#include <QUrl>

std::unique_ptr<QMimeData> TDropFileSource::mimeData() const
{
    QList<QUrl> urls;
    for (const QString& file : Files) {
        if (!file.isEmpty())
            urls.append(QUrl::fromLocalFile(file));
    }
    if (urls.isEmpty())
        return nullptr;
    auto data = std::make_unique<QMimeData>();
    data->setUrls(urls);
    return data;
}

Qt::DropAction TDropFileSource::execute(QWidget* source) const
{
    std::unique_ptr<QMimeData> data = mimeData();
    if (!data)
        return Qt::IgnoreAction;
    QDrag* drag = new QDrag(source); // owned by source; Qt deletes it when the drag ends
    drag->setMimeData(data.release());
    return drag->exec(Effect, Effect);
}
