#include "platform/web/PageScripts.h"

#include <QJsonDocument>
#include <QJsonValue>
#include <QWebEngineScript>
#include <QWebEngineScriptCollection>

namespace platform {

namespace {

// WebRTC opens connections of its own (STUN over UDP, TURN over TCP and TLS, host name
// lookups) that no request filter sees; the file-system pickers open native dialogs. Removed
// from each frame's window before anything else runs in it.
const char* const kRemoveInterfaces = R"JS(
(() => {
    for (const name of Object.getOwnPropertyNames(window))
        if (/^(webkit)?RTC/.test(name) || /^show[A-Za-z]*Picker$/.test(name))
            delete window[name];
})();
)JS";

// The link the user activated, seen from the program's world: a trusted click (Enter on a
// link is one as well) on an element inside a link with an address.
const char* const kRecordActivatedLink = R"JS(
(() => {
    let activated = null;
    addEventListener('click', event => {
        if (!event.isTrusted)
            return;
        const link = event.composedPath().find(e => e instanceof Element && e.matches('a[href], area[href]'));
        activated = link ? {href: link.href, at: performance.now()} : null;
    }, true);
    window.__da1011TakeActivatedLink = url => {
        const link = activated;
        if (!link || performance.now() - link.at > 2000)
            return false;
        let wanted = '';
        try { wanted = new URL(url).href; } catch (e) { return false; }
        if (link.href !== wanted)
            return false;
        activated = null;
        return true;
    };
})();
)JS";

// The engine's copy and cut hand the page a copy event to rewrite or cancel, and scripts can
// start them on their own (execCommand right after a click); the user's copy is the program's
// (see PageCopy). So every copy and cut of the engine is stopped before any listener of the
// page sees it, and cancelled: the engine then writes what this world put on it, nothing.
// A frame the page makes itself (about:blank) exists before any script of the program runs in
// it, and the page could listen in it first: it is guarded from here when its empty page loads,
// which happens at once as it is inserted (by a script or by the parser), before the page's own
// code goes on. Not reached: a frame inside a shadow root, whose events stop there, and a
// document the page opens anew (document.open() drops every listener, this world's too).
const char* const kRefuseEngineCopy = R"JS(
(() => {
    const refuse = event => {
        event.stopImmediatePropagation();
        if (event.type === 'copy' || event.type === 'cut')
            event.preventDefault();
    };
    const guard = target => {
        for (const type of ['beforecopy', 'beforecut', 'copy', 'cut'])
            target.addEventListener(type, refuse, true);
        if (target.document)
            target.document.addEventListener('load', guardFrame, true);
    };
    const guardFrame = event => {
        try {
            const frame = event.target.contentWindow;
            if (frame)
                guard(frame);
        } catch (e) {
            // a frame of another origin, which the page cannot reach either
        }
    };
    guard(window);
})();
)JS";

QWebEngineScript script(const QString& name, const char* source, quint32 world)
{
    QWebEngineScript s;
    s.setName(name);
    s.setSourceCode(QString::fromUtf8(source));
    s.setInjectionPoint(QWebEngineScript::DocumentCreation);
    s.setWorldId(world);
    s.setRunsOnSubFrames(true);
    return s;
}

}  // namespace

void addPageScripts(QWebEngineScriptCollection& scripts)
{
    scripts.insert(script(QStringLiteral("da1011-remove-interfaces"), kRemoveInterfaces,
                          QWebEngineScript::MainWorld));
    scripts.insert(script(QStringLiteral("da1011-activated-link"), kRecordActivatedLink,
                          QWebEngineScript::ApplicationWorld));
    scripts.insert(script(QStringLiteral("da1011-refuse-engine-copy"), kRefuseEngineCopy,
                          QWebEngineScript::ApplicationWorld));
}

QString takeActivatedLinkScript(const QString& url)
{
    const QString quoted = QString::fromUtf8(
        QJsonDocument::fromVariant(QVariantList{url}).toJson(QJsonDocument::Compact));
    return QStringLiteral(
               "window.__da1011TakeActivatedLink && window.__da1011TakeActivatedLink(%1[0])")
        .arg(quoted);
}

}  // namespace platform
