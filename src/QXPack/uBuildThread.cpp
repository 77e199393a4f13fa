#include "uBuildThread.h"

#include <QCoreApplication>
#include <QEvent>
#include <QSemaphore>

#include <memory>

namespace {

// One piece of work handed to the user-interface thread. Whoever comes first
// decides: the user-interface thread runs it, or the build thread gives up on
// it, and then it never runs.
struct TUiCall {
    std::function<void()> fn;
    QMutex lock;
    bool taken = false;
    bool skipped = false;
    QSemaphore done;
};

class TUiCallEvent : public QEvent {
public:
    explicit TUiCallEvent(std::shared_ptr<TUiCall> call) : QEvent(eventType()), FCall(std::move(call)) {}
    static QEvent::Type eventType()
    {
        static const auto type = static_cast<QEvent::Type>(QEvent::registerEventType());
        return type;
    }
    void run() const
    {
        {
            QMutexLocker hold(&FCall->lock);
            if (FCall->skipped)
                return;
            FCall->taken = true;
        }
        FCall->fn();
        FCall->done.release();
    }

private:
    std::shared_ptr<TUiCall> FCall;
};

class TUiTarget : public QObject {
public:
    using QObject::QObject;
    bool event(QEvent* event) override
    {
        if (event->type() != TUiCallEvent::eventType())
            return QObject::event(event);
        static_cast<TUiCallEvent*>(event)->run();
        return true;
    }
};

constexpr int kSkipPollMs = 20;

} // namespace

TBuildThread::TBuildThread(QObject* parent) : QThread(parent), FUiTarget(new TUiTarget(this))
{
    start(QThread::TimeCriticalPriority);
}

TBuildThread::~TBuildThread()
{
    {
        QMutexLocker hold(&CritSec);
        FTerminated = true;
        FSkipUi = true;
        FSignalled = true;
        FEvent.wakeAll();
    }
    wait();
}

void TBuildThread::request(const QString& file)
{
    QMutexLocker hold(&CritSec);
    FVideoFile = file;
    FSignalled = true;
    FEvent.wakeAll();
}

bool TBuildThread::hasPending() const
{
    QMutexLocker hold(&CritSec);
    return !FVideoFile.isEmpty();
}

bool TBuildThread::isBuilding() const
{
    QMutexLocker hold(&CritSec);
    return !FActiveFile.isEmpty();
}

TBuildResult TBuildThread::BuildResult() const
{
    QMutexLocker hold(&CritSec);
    return FBuildResult;
}

void TBuildThread::suspend()
{
    QMutexLocker hold(&CritSec);
    FSkipUi = true;
    FVideoFile.clear();
    while (!FActiveFile.isEmpty()) {
        hold.unlock();
        QThread::msleep(kSkipPollMs);
        hold.relock();
    }
}

void TBuildThread::resume()
{
    QMutexLocker hold(&CritSec);
    FSkipUi = false;
}

bool TBuildThread::runOnUi(const std::function<void()>& fn)
{
    if (QThread::currentThread() == FUiTarget->thread()) {
        fn();
        return true;
    }
    {
        QMutexLocker hold(&CritSec);
        if (FSkipUi)
            return false;
    }
    auto call = std::make_shared<TUiCall>();
    call->fn = fn;
    QCoreApplication::postEvent(FUiTarget, new TUiCallEvent(call));
    for (;;) {
        if (call->done.tryAcquire(1, kSkipPollMs))
            return true;
        bool skip;
        {
            QMutexLocker hold(&CritSec);
            skip = FSkipUi;
        }
        if (!skip)
            continue;
        QMutexLocker hold(&call->lock);
        if (!call->taken) {
            call->skipped = true;
            return false;
        }
    }
}

void TBuildThread::run()
{
    for (;;) {
        QString file;
        {
            QMutexLocker hold(&CritSec);
            while (!FSignalled)
                FEvent.wait(&CritSec);
            FSignalled = false;
            if (FTerminated)
                return;
            FActiveFile = std::exchange(FVideoFile, QString());
            file = FActiveFile;
        }
        if (file.isEmpty())
            continue;
        if (OnBefore)
            runOnUi(OnBefore);
        const TBuildResult result = OnBuild ? OnBuild(file) : brError;
        {
            QMutexLocker hold(&CritSec);
            FBuildResult = result;
            FActiveFile.clear();
        }
        if (OnAfter)
            runOnUi(OnAfter);
    }
}
