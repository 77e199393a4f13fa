#pragma once

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QList>
#include <QString>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <functional>
#include <utility>

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

// A fresh folder as the home of the whole program, with its configuration,
// data and common data folders below it and a "Documents" folder; the
// environment is put back when it goes.
class FreshHome : public TempFolder {
public:
    FreshHome();
    ~FreshHome();
    FreshHome(const FreshHome&) = delete;
    FreshHome& operator=(const FreshHome&) = delete;

private:
    QList<std::pair<const char*, QByteArray>> FSaved;
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
