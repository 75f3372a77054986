// The smallest Qt Widgets program that shows a window: the yardstick for how long the
// welcome window takes to appear. With --controls it also holds the kinds of standard
// controls the welcome window has. It logs "shown" on stderr the same way the reader logs
// its milestones: from a zero-timer queued right after the window's first show event.
#include <QApplication>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
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

// The kinds of standard controls the welcome window holds, and nothing of the program: how
// much of the welcome window's start is the toolkit's own cost for such a window.
void addStandardControls(QWidget& window)
{
    auto* group = new QGroupBox(&window);
    group->setGeometry(8, 232, 377, 129);
    new QLabel(QStringLiteral("Free Gift For You"), &window);
    for (int row = 0; row < 2; ++row)
        (new QLineEdit(group))->setGeometry(128, 24 + 32 * row, 185, 19);
    (new QPushButton(QStringLiteral("Subscribe For Free"), group))->setGeometry(128, 88, 185, 25);
    (new QPushButton(QStringLiteral("Start Book"), &window))->setGeometry(312, 392, 73, 25);
    (new QCheckBox(QStringLiteral("Don't Show This Screen Again."), &window))
        ->setGeometry(8, 400, 169, 17);
}

int main(int argc, char* argv[])
{
    QApplication application(argc, argv);
    PlainWindow window;
    window.resize(390, 421);  // about the welcome window's client size
    if (QApplication::arguments().contains(QStringLiteral("--controls")))
        addStandardControls(window);
    window.show();
    return QApplication::exec();
}
