#pragma once

#include <QFrame>
#include <QPointer>

class QLabel;
class QLineEdit;
class QPushButton;
class QWebEngineFindTextResult;
class QWebEngineView;

namespace platform {

// Finding text in the page a web view shows. The bar floats over the bottom edge of the
// widget it is placed in and is there only while in use, so it moves no other control.
// Return or the next button goes to the next match, Shift+Return or the previous button to
// the one before; Escape closes the bar and takes the highlight off the page.
class FindBar : public QFrame {
    Q_OBJECT
public:
    FindBar(QWebEngineView* view, QWidget* over);

    // Shows the bar with the focus in its text box, the text selected.
    void open();
    // Hides the bar, clears the highlight and gives the focus back to the page.
    void close();
    void findNext();
    void findPrevious();

    QString text() const;
    // "N of M" for the latest search; empty while nothing is searched for.
    QString resultText() const;

signals:
    void resultShown(const QString& result);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void search(bool backward);
    void showResult(int serial, const QWebEngineFindTextResult& result);
    void place();

    QPointer<QWebEngineView> view_;
    QWidget* over_;
    QLineEdit* field_;
    QPushButton* previous_;
    QPushButton* next_;
    QLabel* result_;
    QPushButton* close_;
    int serial_ = 0;
    int matches_ = 0;
    QMetaObject::Connection unselect_;
};

}  // namespace platform
