// The smallest Qt Widgets program that shows a window: the yardstick for how long the
// welcome window takes to appear. It logs "shown" on stderr the same way the reader logs
// its milestones: from a zero-timer queued right after the window's first show event.
#include <QApplication>
#include <QTimer>
#include <QWidget>

#include <cstdio>

namespace {

class PlainWindow : public QWidget {
protected:
    void showEvent(QShowEvent* event) override
    {
        QWidget::showEvent(event);
        if (logged_)
            return;
        logged_ = true;
        QTimer::singleShot(0, this, [] {
            std::fputs("shown\n", stderr);
            std::fflush(stderr);
        });
    }

private:
    bool logged_ = false;
};

}  // namespace

int main(int argc, char* argv[])
{
    QApplication application(argc, argv);
    PlainWindow window;
    window.resize(390, 421);  // about the welcome window's client size
    window.show();
    return QApplication::exec();
}
