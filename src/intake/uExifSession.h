#pragma once

#include <QByteArray>
#include <QString>

#include <atomic>
#include <memory>

class QProcess;

// How one file's read by the kept-open tool ended.
enum class TExifAnswer {
    eaRead, // the output is what the tool printed for the file
    eaTimedOut, // the tool did not answer in time and was stopped
    eaAborted, // the listing was aborted; the tool was stopped
    eaUnavailable, // the file needs a process of its own
};

// One exiftool process kept running over many files: each file is one command
// of its own, ended by a marker on both output streams, so that what the tool
// printed for it is exactly what a separate run would have printed. Not
// thread-safe: it belongs to the thread that reads with it.
class TExifSession {
public:
    // abortFlag, when given, stops a read and the tool at once when it turns true.
    explicit TExifSession(const std::atomic<bool>* abortFlag = nullptr);
    ~TExifSession();
    TExifSession(const TExifSession&) = delete;
    TExifSession& operator=(const TExifSession&) = delete;

    // Reads the file at the absolute path with the tool, starting it when none
    // runs. output gets the tool's standard output for it when eaRead.
    TExifAnswer read(const QString& tool, const QString& path, int timeoutMs, QByteArray& output);
    // The running tool's process id; 0 when none runs.
    qint64 processId() const;

private:
    bool start(const QString& tool);
    // Asks the tool to quit, and stops it when it does not.
    void stop();
    void kill();
    bool aborted() const { return FAbort && FAbort->load(); }

    const std::atomic<bool>* FAbort;
    std::unique_ptr<QProcess> FProcess;
    QString FTool;
    // The tool has answered a command: it can stay open.
    bool FAnswered = false;
    // The tool ended before its first answer: every file takes a process of its own.
    bool FCannotStayOpen = false;
    QByteArray FMarkerBase;
    quint64 FCommands = 0;
};

// While one lives, readExif on its thread reads through one kept-open tool,
// started at the first file and ended with the listing.
class TExifListing {
public:
    explicit TExifListing(const std::atomic<bool>* abortFlag = nullptr);
    ~TExifListing();
    TExifListing(const TExifListing&) = delete;
    TExifListing& operator=(const TExifListing&) = delete;

    // The innermost listing of the calling thread, or none.
    static TExifListing* current();
    TExifSession& session() { return FSession; }
    // Whether the listing's last read was cut short by its abort.
    bool lastReadAborted() const { return FLastReadAborted; }
    void setLastReadAborted(bool aborted) { FLastReadAborted = aborted; }

private:
    TExifSession FSession;
    bool FLastReadAborted = false;
    TExifListing* FOuter;
};
