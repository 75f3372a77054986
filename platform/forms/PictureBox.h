#pragma once

#include <QFrame>
#include <QPixmap>

namespace platform {

// A picture box: a picture drawn at its natural size from the top-left corner inside a
// sunken two-pixel border. It takes the focus like the classic control does, and does not
// resize itself to its picture.
class PictureBox : public QFrame {
    Q_OBJECT
public:
    explicit PictureBox(QWidget* parent);

    void setPicture(const QPixmap& picture);
    const QPixmap& picture() const { return picture_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QPixmap picture_;
};

}  // namespace platform
