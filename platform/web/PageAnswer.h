#pragma once

#include <QString>
#include <QVariant>

#include <functional>
#include <optional>

class QObject;
class QWebEnginePage;

namespace platform {

// Asks the page for the value of a script run in the program's own script world, where the
// page's scripts cannot answer in its place, and calls `then` once: with the answer, or with
// nothing when none came within `withinMs`. A renderer answers between two of the page's
// scripts, so a page caught in an endless script gives no answer. Once `context` is gone,
// `then` is not called.
void askPage(QWebEnginePage* page, const QString& script, int withinMs, const QObject* context,
             std::function<void(const std::optional<QVariant>&)> then);

}  // namespace platform
