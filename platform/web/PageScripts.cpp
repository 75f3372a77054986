#include "platform/web/PageScripts.h"

#include "platform/runtime/ResourceText.h"

#include <QJsonDocument>
#include <QJsonValue>
#include <QWebEngineScript>
#include <QWebEngineScriptCollection>

// The scripts live in the library that holds this file; a static library's resources are
// there only once asked for by name, which cannot be done from inside a namespace.
static void registerPageScripts()
{
    Q_INIT_RESOURCE(page_scripts);
}

namespace platform {

namespace {

// One of the scripts under :/web/, by its file name, to run in every frame of a page.
QWebEngineScript script(const QString& name, quint32 world)
{
    QWebEngineScript s;
    s.setName(QStringLiteral("da1011-") + name);
    s.setSourceCode(resourceText(QStringLiteral(":/web/%1.js").arg(name)));
    s.setInjectionPoint(QWebEngineScript::DocumentCreation);
    s.setWorldId(world);
    s.setRunsOnSubFrames(true);
    return s;
}

}  // namespace

void addPageScripts(QWebEngineScriptCollection& scripts)
{
    static const bool registered = (registerPageScripts(), true);
    Q_UNUSED(registered);
    scripts.insert(script(QStringLiteral("hold-print-events"), QWebEngineScript::MainWorld));
    scripts.insert(script(QStringLiteral("guard-every-frame"), QWebEngineScript::MainWorld));
    scripts.insert(
        script(QStringLiteral("record-activated-link"), QWebEngineScript::ApplicationWorld));
    scripts.insert(
        script(QStringLiteral("refuse-engine-copy"), QWebEngineScript::ApplicationWorld));
    scripts.insert(script(QStringLiteral("find-text"), QWebEngineScript::ApplicationWorld));
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
