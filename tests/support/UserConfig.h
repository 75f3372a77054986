#pragma once

#include <QByteArray>
#include <QString>

// Points the program's per-user config folder ($XDG_CONFIG_HOME) elsewhere while it lives,
// so no test reads or writes the real user's files.
class ScopedUserConfig {
public:
    explicit ScopedUserConfig(const QString& folder)
        : old_(qgetenv("XDG_CONFIG_HOME")), wasSet_(qEnvironmentVariableIsSet("XDG_CONFIG_HOME"))
    {
        qputenv("XDG_CONFIG_HOME", folder.toLocal8Bit());
    }
    ~ScopedUserConfig()
    {
        if (wasSet_)
            qputenv("XDG_CONFIG_HOME", old_);
        else
            qunsetenv("XDG_CONFIG_HOME");
    }
    ScopedUserConfig(const ScopedUserConfig&) = delete;
    ScopedUserConfig& operator=(const ScopedUserConfig&) = delete;

    // Nothing can be created in /proc, not even by root.
    static QString unwritable() { return QStringLiteral("/proc/self"); }

private:
    QByteArray old_;
    bool wasSet_;
};
