#pragma once

#include "platform/runtime/AppInfo.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

// A throw-away application folder (its name holds spaces, as real folders often do) with
// the sample book copied in and an empty flag file. The program's windows use it while the
// object lives.
class TempAppFolder {
public:
    explicit TempAppFolder(bool withBook = true)
        : dir_(QDir::tempPath() + QStringLiteral("/DA1011 app folder XXXXXX"))
    {
        if (withBook) {
            const QDir book(QStringLiteral(DA1011_BOOK_DIR));
            for (const QString& name : book.entryList(QDir::Files))
                if (!name.endsWith(QStringLiteral(".py")))
                    QFile::copy(book.filePath(name), file(name));
        }
        write(QStringLiteral("dontshow.txt"), QByteArray());
        platform::Application::setPathOverride(dir_.path());
    }
    ~TempAppFolder() { platform::Application::setPathOverride(QString()); }

    QString path() const { return dir_.path(); }
    QString file(const QString& name) const { return dir_.filePath(name); }

    void write(const QString& name, const QByteArray& bytes) const
    {
        QFile out(file(name));
        if (out.open(QIODevice::WriteOnly | QIODevice::Truncate))
            out.write(bytes);
    }
    QByteArray read(const QString& name) const
    {
        QFile in(file(name));
        return in.open(QIODevice::ReadOnly) ? in.readAll() : QByteArray();
    }

private:
    QTemporaryDir dir_;
};
