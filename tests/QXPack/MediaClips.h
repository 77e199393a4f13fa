#pragma once

#include <QString>
#include <QStringList>

// Clips made by ffmpeg at test time, once per test program, in a folder of its
// own that lives until the program ends. Each answers the clip's path, or an
// empty text when ffmpeg failed.
namespace MediaClips {

// Any clip: the file name and the ffmpeg arguments between the inputs and the output.
QString make(const QString& name, const QStringList& arguments);

// H.264 video (testsrc, one keyframe a second) and AAC audio (sine) in an .mp4.
QString h264AacMp4(int seconds = 2, const QString& size = QStringLiteral("320x240"), int fps = 25);
// A camera-like clip: H.264 with B-frames and one keyframe every gopSeconds,
// and AAC audio, in an .mp4.
QString longGopMp4(int seconds, const QString& size, int gopSeconds, int fps = 25);
// The same streams in a QuickTime .mov.
QString h264AacMov();
// Video only, audio only (AAC in .mp4).
QString h264OnlyMp4();
QString aacOnlyMp4();
// A clip cut to its first 4 KiB, and a text file named .mp4.
QString truncatedMp4();
QString textMp4();

// The folder of the project's own private filter set in the build tree.
QString builtPrivateFolder();

} // namespace MediaClips
