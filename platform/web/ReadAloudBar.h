#pragma once

#include <QFrame>

class QLabel;
class QPushButton;

namespace platform {

class PageReader;

// The bar that shows "Reading aloud" while a page is read: Pause (Resume), Stop, and the
// speed, slower and faster. Like the find bar it floats over the bottom edge of the widget
// it is placed in and is there only while reading, so it moves no other control; Escape in
// it stops the reading.
class ReadAloudBar : public QFrame {
    Q_OBJECT
public:
    ReadAloudBar(PageReader* reader, QWidget* over);

    QString speedText() const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void showState();
    void showSpeed(double speed);
    void place();

    PageReader* reader_;
    QWidget* over_;
    QWidget* findBar_ = nullptr;
    QPushButton* pause_;
    QPushButton* stop_;
    QPushButton* slower_;
    QLabel* speed_;
    QPushButton* faster_;
};

}  // namespace platform
