#pragma once

#include "platform/forms/Form.h"
#include "platform/runtime/Transfer.h"

#include <functional>

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

    // The controls exist once the window has loaded to be shown.
    QLabel* Label1 = nullptr;
    platform::PictureBox* Picture1 = nullptr;
    QCheckBox* Check1 = nullptr;
    QLabel* Label2 = nullptr;
    QLabel* Label3 = nullptr;
    QLabel* Label4 = nullptr;
    QLabel* Label5 = nullptr;
    QGroupBox* Frame1 = nullptr;
    QLabel* Label6 = nullptr;
    QLabel* Label7 = nullptr;
    QLineEdit* Text1 = nullptr;
    QLineEdit* Text2 = nullptr;
    QPushButton* Command1 = nullptr;
    QPushButton* Command2 = nullptr;
    platform::HttpTransfer Inet1;

    static const QString kLabel2Text;
    static const QString kLabel5Text;

    // What "Start Book" shows once this window has gone: the reader window, which lives in a
    // plugin above this window. The program sets it when it starts.
    static void setBookOpener(std::function<void()> open);

protected:
    void Form_Load() override;

private:
    void Command1_Click();
    void Command2_Click();
    // Unloads this window and hands over to the reader window.
    void ShowBook();
    // Keeps the box's choice in the flag file, then hands over like ShowBook.
    void StartBook();
    void buildControls();
};
