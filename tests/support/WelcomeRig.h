#pragma once

// What the welcome-window tests share: the program's own compiled subscription address is
// kept, and a loopback server stands in as the HTTP proxy, so the request it receives is the
// one the publisher's server would get.

#include "platform/runtime/AppInfo.h"
#include "reader/QV101m.h"
#include "support/LoopbackServer.h"
#include "support/ModalWatcher.h"
#include "support/TempAppFolder.h"
#include "welcome/QV101.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <optional>

inline void routeThroughLoopback(const LoopbackServer& server)
{
    qputenv("http_proxy", "http://127.0.0.1:" + QByteArray::number(server.port()));
    qunsetenv("no_proxy");
    qunsetenv("NO_PROXY");
}

// Shows the welcome window with the fields and the box as given.
inline QV101& fillWelcome(const QString& firstName, const QString& email, bool ticked)
{
    QV101& w = QV101::instance();
    w.Show();
    w.Text1->setText(firstName);
    w.Text2->setText(email);
    w.Check1->setChecked(ticked);
    return w;
}

inline bool readerLoaded()
{
    return QV101m::loadedInstance() != nullptr;
}

inline void unloadAllWindows()
{
    for (platform::Form* form :
         std::initializer_list<platform::Form*>{QV101::loadedInstance(), QV101m::loadedInstance()})
        if (form)
            form->Unload();
    QTest::qWait(0);
}

// A fresh application folder, loopback server and message-box watcher for one test, with
// the program's requests routed to the server. Going, it unloads the windows first.
struct WelcomeRig {
    TempAppFolder folder;
    std::optional<LoopbackServer> server{std::in_place};  // reset: nothing listens on the port
    ModalWatcher watcher;

    WelcomeRig()
    {
        routeThroughLoopback(*server);
        platform::Application::resetExitRequest();
    }
    ~WelcomeRig()
    {
        unloadAllWindows();
        qunsetenv("http_proxy");
    }

    // A new server in place of the old one, for a test that answers differently.
    LoopbackServer& newServer()
    {
        server.emplace();
        routeThroughLoopback(*server);
        return *server;
    }

    // The welcome window with both fields filled, subscribed; returns the messages shown.
    QStringList subscribe(const QString& firstName = QStringLiteral("Ann"),
                          const QString& email = QStringLiteral("a@b.example"), bool ticked = true)
    {
        QV101& w = fillWelcome(firstName, email, ticked);
        if (!w.isLoaded())
            return {QStringLiteral("the welcome window was not shown")};
        QTest::mouseClick(w.Command1, Qt::LeftButton);
        return watcher.texts();
    }
};
