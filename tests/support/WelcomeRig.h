#pragma once

// What the welcome-window tests share: the program's own compiled subscription address is
// kept, and a loopback server stands in as the HTTP proxy, so the request it receives is the
// one the publisher's server would get.

#include "platform/AppInfo.h"
#include "reader/QV101m.h"
#include "support/LoopbackServer.h"
#include "support/ModalWatcher.h"
#include "support/TempAppFolder.h"
#include "welcome/QV101.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QTest>

#include <memory>

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
// the program's requests routed to the server.
inline void startWelcomeRig(std::unique_ptr<TempAppFolder>& folder,
                            std::unique_ptr<LoopbackServer>& server,
                            std::unique_ptr<ModalWatcher>& watcher)
{
    folder = std::make_unique<TempAppFolder>();
    server = std::make_unique<LoopbackServer>();
    watcher = std::make_unique<ModalWatcher>();
    routeThroughLoopback(*server);
    platform::Application::resetExitRequest();
}

inline void stopWelcomeRig(std::unique_ptr<TempAppFolder>& folder,
                           std::unique_ptr<LoopbackServer>& server,
                           std::unique_ptr<ModalWatcher>& watcher)
{
    unloadAllWindows();
    watcher.reset();
    server.reset();
    folder.reset();
    qunsetenv("http_proxy");
}
