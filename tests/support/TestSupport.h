#pragma once

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <functional>

// A fresh folder for one test, removed afterwards.
class TempFolder {
public:
    QString path() const { return FDir.path(); }
    QString file(const QString& name) const { return FDir.filePath(name); }

    // Writes a file (creating its folders) and answers its full path.
    QString write(const QString& name, const QByteArray& content = {}) const
    {
        const QString full = file(name);
        QDir().mkpath(full.section(QLatin1Char('/'), 0, -2));
        QFile f(full);
        if (f.open(QIODevice::WriteOnly))
            f.write(content);
        return full;
    }

private:
    QTemporaryDir FDir;
};

inline QByteArray readAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// Lets events be handled until done answers true or the time is up; answers done().
bool pumpUntil(const std::function<bool()>& done, int timeoutMs = 30000);

// Runs a program and answers its exit code (-1 when it could not start).
int runProgram(const QString& program, const QStringList& arguments);
