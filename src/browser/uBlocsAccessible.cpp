#include "uBlocsAccessible.h"

#include "uBloc.h"
#include "uBlocsFrame.h"

#include <QAccessibleWidget>

#include <mutex>

namespace {

class TBlocAccessible : public QAccessibleWidget {
public:
    explicit TBlocAccessible(TBloc* bloc) : QAccessibleWidget(bloc, QAccessible::ListItem) {}

    QAccessible::State state() const override
    {
        QAccessible::State s = QAccessibleWidget::state();
        s.selectable = true;
        s.selected = static_cast<const TBloc*>(widget())->selected();
        return s;
    }
};

class TBlocsFrameAccessible : public QAccessibleWidget {
public:
    explicit TBlocsFrameAccessible(TBlocsFrame* frame) : QAccessibleWidget(frame, QAccessible::List) {}

    QAccessible::State state() const override
    {
        QAccessible::State s = QAccessibleWidget::state();
        s.multiSelectable = true;
        return s;
    }
};

QAccessibleInterface* blocsFactory(const QString&, QObject* object)
{
    if (auto* bloc = qobject_cast<TBloc*>(object))
        return new TBlocAccessible(bloc); // Qt's accessibility cache owns it
    if (auto* frame = qobject_cast<TBlocsFrame*>(object))
        return new TBlocsFrameAccessible(frame);
    return nullptr;
}

} // namespace

void installBlocsAccessibility()
{
    static std::once_flag installed;
    std::call_once(installed, [] { QAccessible::installFactory(blocsFactory); });
}
