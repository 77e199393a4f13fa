#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

// What a child process wrote, and how it ended.
struct TCapturedRun {
    QByteArray output; // standard output, whole
    QByteArray errors; // standard error, whole
    bool finished = false; // ended on its own within the time bound
    int exitCode = -1; // -1 when it crashed or was killed
};

// Runs a program with an argument vector, never through a shell, with no
// standard input, in workingFolder (the current one when empty). Both streams
// are drained while it runs, so a talkative child never blocks. A child still
// running after timeoutMs is killed together with the processes it started.
// Answers whether the program started; run holds what it captured.
bool runCaptured(const QString& program, const QStringList& arguments, const QString& workingFolder, int timeoutMs,
                 TCapturedRun& run);

// Bytes a program printed, as text: a byte-order mark chooses UTF-8, UTF-16 or
// UTF-32; without one the bytes are UTF-8.
QString decodeOutput(const QByteArray& bytes);
