#pragma once

#include "uBuildThread.h"

#include <QObject>
#include <QString>

#include <functional>
#include <memory>

class TAudioMan;
class TAudioNotifier;
class TFilterRec;
class TTimerNavman;
class TVideoMan;
class TVideoNotifier;

// The graph of one file in the navigation manager's graph: the splitter, a
// notifier and a decoder per stream, and the renderers of the video and the
// audio manager. build runs on the build thread; what it has to do to widgets
// goes through runOnUi.
class TFileGraph : public QObject {
    Q_OBJECT
public:
    TFileGraph(TTimerNavman* navman, TVideoMan* vidman, TAudioMan* audman, QObject* owner = nullptr);
    ~TFileGraph() override;

    // The three filters the next build puts in the graph.
    TFilterRec* SplitterSource = nullptr;
    TFilterRec* Videodecoder = nullptr;
    TFilterRec* AudioDecoder = nullptr;

    TVideoNotifier* VideoNotifier() const { return FVideoNotifier.get(); }
    TAudioNotifier* AudioNotifier() const { return FAudioNotifier.get(); }

    // Runs a piece of work on the user-interface thread and waits for it; the
    // default runs it at once (a build on the user-interface thread).
    std::function<bool(const std::function<void()>&)> runOnUi;
    // Video is ready: the view frame lays itself out again (user-interface thread).
    std::function<void()> OnVideoReady;

    // Tears the previous file's graph down and makes fresh notifiers.
    bool kill();
    // Builds the graph of the file, beginning with kill.
    TBuildResult build(const QString& wFichier);

    // The private records, or the registered ones, for the next build.
    void usePrivateFilters();
    void donotusePrivateFilters();

private:
    void newNotifiers();
    bool onUi(const std::function<void()>& fn);

    TTimerNavman* FNavman;
    TVideoMan* FVidman;
    TAudioMan* FAudman;
    std::unique_ptr<TVideoNotifier> FVideoNotifier;
    std::unique_ptr<TAudioNotifier> FAudioNotifier;
};
