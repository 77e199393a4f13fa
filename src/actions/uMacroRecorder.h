#pragma once

#include <QString>

#include <functional>

// The process-wide macro recorder: where recorded lines go while a recording
// runs, and the busy flag that keeps the changes an action makes from inside
// its own apply out of the macro. User-interface thread only.
class TMacroRecorder {
public:
    using TTarget = std::function<void(const QString& line)>;

    static bool isRecording() { return static_cast<bool>(FTarget); }
    static void setTarget(TTarget target) { FTarget = std::move(target); }
    static void clearTarget() { FTarget = nullptr; }
    static void write(const QString& line)
    {
        if (FTarget)
            FTarget(line);
    }

    static bool busy() { return FBusy; }

    // While a recording runs and no recorded change is being applied, writes
    // the change's line and holds the busy flag for its scope, so the changes
    // made by its apply callbacks are not written again.
    class TRecordScope {
    public:
        template <typename LineMaker>
        explicit TRecordScope(LineMaker makeLine, bool writeLine = true) : FOwner(isRecording() && !FBusy)
        {
            if (!FOwner)
                return;
            if (writeLine)
                write(makeLine());
            FBusy = true;
        }
        ~TRecordScope()
        {
            if (FOwner)
                FBusy = false;
        }
        TRecordScope(const TRecordScope&) = delete;
        TRecordScope& operator=(const TRecordScope&) = delete;

    private:
        bool FOwner;
    };

private:
    static inline TTarget FTarget;
    static inline bool FBusy = false;
};
