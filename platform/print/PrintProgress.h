#pragma once

#include <QDialog>
#include <QPointer>

class QLabel;
class QProgressBar;
class QPushButton;

namespace platform {

class PrintJob;

// The "Printing" window: the title printed, the job's phase in words with a progress bar
// (busy where no count is known) and "Cancel", which Escape presses too. It watches one job
// and nothing else: it shows itself when the job has run for half a second, does not keep
// the reader from reading on, and goes when the job ends.
class PrintProgress : public QDialog {
    Q_OBJECT
public:
    PrintProgress(PrintJob* job, QWidget* owner);

    // The phase as the window words it.
    static QString phaseText(const PrintJob& job);

public slots:
    void reject() override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void update();

    QPointer<PrintJob> job_;
    QLabel* title_;
    QLabel* phase_;
    QProgressBar* bar_;
    QPushButton* cancel_;
};

}  // namespace platform
