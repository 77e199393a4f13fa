#pragma once

#include <QObject>
#include <QPointer>
#include <QString>

#include <gst/gst.h>

#include <memory>
#include <mutex>

// What the two notifier elements share: a pass-through GstBaseTransform with
// ANY caps on both pads, whose state lives in a TNotifierState the element
// owns. The streaming thread calls the state's stream hooks; the program reads
// and switches it from other threads, so every member is guarded by FLock.
//
// Input types: the major type ("video", "audio": the caps name before "/"),
// the subtype (the caps name) and the format type (the caps' "stream-format",
// empty when they have none). A proposed caps is accepted when each of the
// three equals the stored one or the stored one is empty; the stored types
// become those of the connection when the sink pad is linked and whenever caps
// are set.
class TNotifierState {
public:
    TNotifierState() = default;
    virtual ~TNotifierState() = default;
    TNotifierState(const TNotifierState&) = delete;
    TNotifierState& operator=(const TNotifierState&) = delete;

    // The state of a notifier element, or none for another element.
    static TNotifierState* of(GstElement* element);

    void setStreamOn(bool on);
    bool streaming() const;
    bool active() const;
    bool firstSample() const;
    qint64 nbframe() const;

    QString Input_Majortype() const;
    QString Input_SubType() const;
    QString Input_FormatType() const;
    void setInputTypes(const QString& majorType, const QString& subType, const QString& formatType);
    bool acceptsInput(const GstCaps* caps) const;

    // Stream hooks, on the streaming thread (connect: the linking thread).
    bool connect(const GstCaps* peerCaps);
    void start();
    void setCaps(const GstCaps* caps);
    GstFlowReturn sample();

protected:
    // The element's own description and reports; FLock is held.
    virtual void describe(const GstCaps* caps) = 0;
    virtual void report(bool first) = 0;

public:
    // For the derived states' members; FLock is not recursive.
    std::mutex& lock() const { return FLock; }
    // Called with FLock held.
    void activate() { FActive = true; }

protected:
    mutable std::mutex FLock;

private:
    void storeInputTypes(const GstCaps* caps);

    bool FActive = false;
    bool FStreaming = true;
    bool FFirstSample = false;
    qint64 FNbframe = -1;
    QString FMajortype, FSubType, FFormatType;
};

// Registers a notifier element type: a pass-through transform whose state the
// maker creates for every instance.
using TNotifierStateMaker = std::unique_ptr<TNotifierState> (*)();
struct TNotifierNames {
    const char* factory;
    const char* typeName;
    const char* longName;
    const char* klass;
    const char* clsid;
    TNotifierStateMaker makeState;
};
gboolean registerNotifier(GstPlugin* plugin, const TNotifierNames& names);

// The handle of a message target: gone when the target is deleted.
using TMessageHandle = QPointer<QObject>;

// The program's side of a notifier element: owns a reference on the element
// and reads and switches its state from any thread.
class TStreamNotifier {
public:
    explicit TStreamNotifier(const char* factory);
    virtual ~TStreamNotifier();
    TStreamNotifier(const TStreamNotifier&) = delete;
    TStreamNotifier& operator=(const TStreamNotifier&) = delete;

    GstElement* element() const { return FElement; }

    // Off: an active notifier drops the samples instead of passing them.
    void setStreamOn(bool on);
    bool streaming() const;
    bool active() const;
    bool firstSample() const;
    // -1 when streaming starts, +1 per sample.
    qint64 nbframe() const;

    QString Input_Majortype() const;
    QString Input_SubType() const;
    QString Input_FormatType() const;
    void setInputTypes(const QString& majorType, const QString& subType, const QString& formatType);

protected:
    TNotifierState* notifierState() const { return TNotifierState::of(FElement); }

    // Reads a member of the derived state under its lock; none without an element.
    template <typename S, typename T, typename F>
    T guarded(T none, F read) const
    {
        auto* s = static_cast<S*>(notifierState());
        if (!s)
            return none;
        std::lock_guard guard(s->lock());
        return read(*s);
    }
    // Changes the derived state under its lock; any switch activates the notifier for good.
    template <typename S, typename F>
    void change(F write)
    {
        if (auto* s = static_cast<S*>(notifierState())) {
            std::lock_guard guard(s->lock());
            write(*s);
        }
    }

private:
    GstElement* FElement = nullptr;
};
