#include "platform/web/PageAnswer.h"

#include <QPointer>
#include <QTimer>
#include <QWebEnginePage>
#include <QWebEngineScript>

#include <memory>

namespace platform {

void askPage(QWebEnginePage* page, const QString& script, int withinMs, const QObject* context,
             std::function<void(const std::optional<QVariant>&)> then)
{
    // Whichever comes first, the answer or the end of the wait, is the only one passed on.
    auto pending
        = std::make_shared<std::function<void(const std::optional<QVariant>&)>>(std::move(then));
    const auto settle = [pending](const std::optional<QVariant>& answer) {
        if (auto call = std::exchange(*pending, nullptr))
            call(answer);
    };
    QTimer::singleShot(withinMs, context, [settle] { settle(std::nullopt); });
    page->runJavaScript(script, QWebEngineScript::ApplicationWorld,
                        [settle, alive = QPointer<const QObject>(context)](const QVariant& answer) {
                            if (alive)
                                settle(answer);
                        });
}

}  // namespace platform
