#pragma once

#include <QByteArray>
#include <QFileDevice>
#include <QString>

namespace platform {

// Writes all the bytes, or fails with the file's error saying why. A write that fills the
// disk part of the way returns what fitted without any error; writing the rest then fails
// with the system's reason ("No space left on device").
bool writeAll(QFileDevice& file, const QByteArray& bytes);

// A file error as the system words it, in the words a user would use ("the disk is full").
QString reasonInWords(const QString& systemText);

// Writes the whole document or nothing: the bytes go to a temporary file in the target's
// folder that replaces the target only once everything is on disk. Returns the reason in a
// user's words when it failed, else nothing.
QString saveWhole(const QString& path, const QByteArray& bytes);

}  // namespace platform
