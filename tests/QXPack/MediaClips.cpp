#include "MediaClips.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

namespace MediaClips {

namespace {

QTemporaryDir& folder()
{
    static QTemporaryDir dir;
    return dir;
}

QStringList videoInput(int seconds, const QString& size, int fps)
{
    return {QStringLiteral("-f"), QStringLiteral("lavfi"), QStringLiteral("-i"),
            QStringLiteral("testsrc=size=%1:rate=%2:duration=%3").arg(size).arg(fps).arg(seconds)};
}

QStringList audioInput(int seconds)
{
    return {QStringLiteral("-f"), QStringLiteral("lavfi"), QStringLiteral("-i"),
            QStringLiteral("sine=frequency=440:sample_rate=48000:duration=%1").arg(seconds)};
}

QStringList h264(int fps)
{
    return {QStringLiteral("-c:v"), QStringLiteral("libx264"), QStringLiteral("-preset"), QStringLiteral("ultrafast"),
            QStringLiteral("-pix_fmt"), QStringLiteral("yuv420p"), QStringLiteral("-g"), QString::number(fps)};
}

QStringList aac()
{
    return {QStringLiteral("-c:a"), QStringLiteral("aac"), QStringLiteral("-b:a"), QStringLiteral("64k")};
}

} // namespace

QString make(const QString& name, const QStringList& arguments)
{
    const QString path = folder().filePath(name);
    if (QFile::exists(path))
        return path;
    QProcess ffmpeg;
    ffmpeg.setProcessChannelMode(QProcess::MergedChannels);
    ffmpeg.start(QStringLiteral("ffmpeg"),
                 QStringList{QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-y")} + arguments +
                     QStringList{path});
    if (!ffmpeg.waitForStarted() || !ffmpeg.waitForFinished(120000) || ffmpeg.exitCode() != 0) {
        QFile::remove(path);
        return {};
    }
    return path;
}

QString h264AacMp4(int seconds, const QString& size, int fps)
{
    const QString name = QStringLiteral("av_%1s_%2_%3.mp4").arg(seconds).arg(size).arg(fps);
    return make(name, videoInput(seconds, size, fps) + audioInput(seconds) + h264(fps) + aac());
}

QString longGopMp4(int seconds, const QString& size, int gopSeconds, int fps)
{
    const QString name = QStringLiteral("gop%1_%2s_%3_%4.mp4").arg(gopSeconds).arg(seconds).arg(size).arg(fps);
    const QString gop = QString::number(gopSeconds * fps);
    // testsrc2 changes in every frame, so neighbouring frames never look alike.
    const QStringList video{QStringLiteral("-f"), QStringLiteral("lavfi"), QStringLiteral("-i"),
                            QStringLiteral("testsrc2=size=%1:rate=%2:duration=%3").arg(size).arg(fps).arg(seconds)};
    return make(name, video + audioInput(seconds) +
                          QStringList{QStringLiteral("-c:v"), QStringLiteral("libx264"), QStringLiteral("-preset"),
                                      QStringLiteral("veryfast"), QStringLiteral("-pix_fmt"), QStringLiteral("yuv420p"),
                                      QStringLiteral("-g"), gop, QStringLiteral("-keyint_min"), gop,
                                      QStringLiteral("-sc_threshold"), QStringLiteral("0")} +
                          aac());
}

QString h264AacMov()
{
    return make(QStringLiteral("av.mov"), videoInput(2, QStringLiteral("320x240"), 25) + audioInput(2) + h264(25) + aac());
}

QString h264OnlyMp4()
{
    return make(QStringLiteral("video_only.mp4"), videoInput(2, QStringLiteral("320x240"), 25) + h264(25));
}

QString aacOnlyMp4()
{
    return make(QStringLiteral("audio_only.mp4"), audioInput(2) + aac());
}

QString truncatedMp4()
{
    const QString path = folder().filePath(QStringLiteral("truncated.mp4"));
    if (QFile::exists(path))
        return path;
    QFile whole(h264AacMp4());
    QFile cut(path);
    if (!whole.open(QIODevice::ReadOnly) || !cut.open(QIODevice::WriteOnly))
        return {};
    cut.write(whole.read(4096));
    return path;
}

QString textMp4()
{
    const QString path = folder().filePath(QStringLiteral("text.mp4"));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return {};
    file.write("This is not a video at all, only a few words of text.\n");
    return path;
}

QString builtPrivateFolder()
{
    return QStringLiteral(MOVARIUM_BUILT_PRIVATE_FOLDER);
}

} // namespace MediaClips
