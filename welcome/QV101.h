#pragma once

#include "platform/Form.h"
#include "platform/Transfer.h"

class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace platform {
class PictureBox;
}

// The welcome window: the offer of the free weekly mailing list, the skip box and the way
// on to the book.
class QV101 : public platform::Form {
    Q_OBJECT
public:
    static QV101& instance();
    static QV101* loadedInstance();

    QV101();

    QLabel* Label1;
    platform::PictureBox* Picture1;
    QCheckBox* Check1;
    QLabel* Label2;
    QLabel* Label3;
    QLabel* Label4;
    QLabel* Label5;
    QGroupBox* Frame1;
    QLabel* Label6;
    QLabel* Label7;
    QLineEdit* Text1;
    QLineEdit* Text2;
    QPushButton* Command1;
    QPushButton* Command2;
    platform::HttpTransfer Inet1;

    static const QString kLabel2Text;
    static const QString kLabel5Text;

protected:
    void Form_Load() override;
    void showEvent(QShowEvent* event) override;

private:
    void Command1_Click();
    void Command2_Click();
    void ShowBook();
    void StartBook();
    void buildControls();

    bool focusPlaced_ = false;
};
