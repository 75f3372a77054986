#pragma once

#include "platform/forms/Form.h"

class QLabel;
class QPushButton;

namespace platform {
class BrowserView;
class PictureBox;
class Timer;
}  // namespace platform

// The reader window: the book's pages in the browser view beside the side panel.
class QV101m : public platform::Form {
    Q_OBJECT
public:
    static QV101m& instance();
    static QV101m* loadedInstance();

    QV101m();

    platform::BrowserView* WebBrowser1;
    QPushButton* Command1;
    platform::PictureBox* Picture1;
    QPushButton* Command2;
    QLabel* Label1;
    QLabel* Label2;
    QLabel* Label3;
    QLabel* Label4;
    QPushButton* Command3;
    platform::Timer* Timer1;

    static QString startPageLocation();
    static QString wholeBookLocation();

    void Command1_Click();
    void Command2_Click();
    void Command3_Click();
    void Timer1_Timer();

protected:
    void Form_Load() override;
    void Form_Resize() override;

private:
    void SizeBrowser();
    void buildControls();
};
