#pragma once

#include "platform/PdfFinisher.h"

#include <QByteArray>
#include <QObject>
#include <QPageLayout>
#include <QString>
#include <QTemporaryDir>

#include <functional>

class QWebEnginePage;
class QWebEngineProfile;

#include "platform/PdfFinisher.h"

namespace platform {

// Prints the page furniture of a document (see PageFurniture) with the web engine.
class PrintDecorations : public QObject {
    Q_OBJECT
public:
    PrintDecorations(QWebEngineProfile* profile, QObject* parent);
    ~PrintDecorations() override;

    // Prints the furniture for pages of the given layout and calls done with it, or with an
    // empty pdf if it could not be made. Once per object; done is not called once this
    // object is gone.
    void render(const QString& title, const QPageLayout& layout,
                std::function<void(const PageFurniture&)> done);

    static QByteArray sheetsHtml(const QString& title, const QPageLayout& layout);

private:
    void measure(const QPageLayout& layout);
    void fail();

    QWebEnginePage* page_;
    QTemporaryDir folder_;
    PageFurniture furniture_;
    std::function<void(const PageFurniture&)> done_;
};

}  // namespace platform
