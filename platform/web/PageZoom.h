#pragma once

#include <QObject>
#include <QPointer>

class QWebEngineView;

namespace platform {

// The zoom of a web view in fixed steps from 25 % to 500 %, kept across pages for as long as
// the view lives. Ctrl with the mouse wheel takes the same steps as the keys.
class PageZoom : public QObject {
    Q_OBJECT
public:
    explicit PageZoom(QWebEngineView* view);

    static constexpr double kMinimum = 0.25;
    static constexpr double kMaximum = 5.0;

    double factor() const { return factor_; }
    void zoomIn();
    void zoomOut();
    void reset();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void setFactor(double factor);
    void apply();
    void watchChild(QObject* child);

    QPointer<QWebEngineView> view_;
    double factor_ = 1.0;
    int wheelTravel_ = 0;
};

}  // namespace platform
