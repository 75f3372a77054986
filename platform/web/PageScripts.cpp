#include "platform/web/PageScripts.h"

#include "platform/runtime/Limits.h"
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

QString scriptText(const QString& name)
{
    return resourceText(QStringLiteral(":/web/%1.js").arg(name));
}

// A script to run in every frame of a page, named after the file under :/web/ it is made of.
QWebEngineScript script(const QString& name, quint32 world, const QString& source)
{
    QWebEngineScript s;
    s.setName(QStringLiteral("da1011-") + name);
    s.setSourceCode(source);
    s.setInjectionPoint(QWebEngineScript::DocumentCreation);
    s.setWorldId(world);
    s.setRunsOnSubFrames(true);
    return s;
}

QWebEngineScript script(const QString& name, quint32 world)
{
    return script(name, world, scriptText(name));
}

}  // namespace

void addPageScripts(QWebEngineScriptCollection& scripts)
{
    static const bool registered = (registerPageScripts(), true);
    Q_UNUSED(registered);
    // The refusal of the engine's copy is written once, as what puts it on a window: the
    // program's world puts it on its own, the page's world's guard on each frame it guards.
    const QString refuseEngineCopyIn = scriptText(QStringLiteral("refuse-engine-copy"));
    scripts.insert(script(QStringLiteral("hold-print-events"), QWebEngineScript::MainWorld));
    scripts.insert(script(QStringLiteral("guard-every-frame"), QWebEngineScript::MainWorld,
                          QLatin1Char('(') + scriptText(QStringLiteral("guard-every-frame"))
                              + QStringLiteral(")(") + refuseEngineCopyIn + QStringLiteral(");")));
    scripts.insert(
        script(QStringLiteral("record-activated-link"), QWebEngineScript::ApplicationWorld));
    scripts.insert(script(QStringLiteral("refuse-engine-copy"), QWebEngineScript::ApplicationWorld,
                          QLatin1Char('(') + refuseEngineCopyIn + QStringLiteral(")(window)();")));
    scripts.insert(script(QStringLiteral("find-text"), QWebEngineScript::ApplicationWorld));
}

QString takeActivatedLinkScript(const QString& url)
{
    const QString quoted = QString::fromUtf8(
        QJsonDocument::fromVariant(QVariantList{url}).toJson(QJsonDocument::Compact));
    return QStringLiteral(
               "window.__da1011TakeActivatedLink && window.__da1011TakeActivatedLink(%1[0], %2)")
        .arg(quoted, QString::number(Limits::current().userInputValidMs));
}

}  // namespace platform
