#pragma once

#include <QMutex>
#include <QString>
#include <QThread>
#include <QWaitCondition>

#include <functional>

enum TBuildResult { brNoFile = 0, brOK = 1, brVideoOnly = 2, brAudioOnly = 3, brError = 4 };

// The thread that builds the playback graph of a requested file off the
// user-interface thread, one for the program's life. A request made during a
// build waits and is built next; a newer request replaces an older pending one.
//
// Each build is bracketed by two calls run on the user-interface thread while
// the thread waits: Before (message 3029) and After (message 3027). Every
// other piece of work the build hands to the user-interface thread goes
// through runOnUi. While the user-interface thread itself waits for the
// thread (suspend, the end), such calls are skipped instead of run, so the two
// never wait for each other.
class TBuildThread : public QThread {
    Q_OBJECT
public:
    explicit TBuildThread(QObject* parent = nullptr);
    // Ends the thread: it finishes the build under way, skipping its calls to
    // the user-interface thread.
    ~TBuildThread() override;

    std::function<TBuildResult(const QString& file)> OnBuild;
    std::function<void()> OnBefore;
    std::function<void()> OnAfter;

    // Called on the user-interface thread: the newest file to build.
    void request(const QString& file);
    // A request waits that the thread has not taken yet.
    bool hasPending() const;
    bool isBuilding() const;
    TBuildResult BuildResult() const;

    // Forgets a pending request and waits until no build runs, skipping the
    // build's calls to the user-interface thread meanwhile; resume() allows
    // them again. User-interface thread.
    void suspend();
    void resume();

    // Runs fn on the user-interface thread and waits for it; false when it
    // was skipped. From the user-interface thread itself it runs at once.
    bool runOnUi(const std::function<void()>& fn);

protected:
    void run() override;

private:
    mutable QMutex CritSec;
    QWaitCondition FEvent;
    bool FSignalled = false;
    bool FTerminated = false;
    bool FSkipUi = false;
    QString FVideoFile;
    QString FActiveFile;
    TBuildResult FBuildResult = brNoFile;
    QObject* FUiTarget;
};
