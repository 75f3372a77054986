#include "platform/print/PrintProgress.h"

#include "platform/print/PrintJob.h"
#include "platform/runtime/AppInfo.h"
#include "platform/runtime/Limits.h"

#include <QDialogButtonBox>
#include <QEvent>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

namespace platform {

PrintProgress::PrintProgress(PrintJob* job, QWidget* owner)
    : QDialog(owner),
      job_(job),
      title_(new QLabel(this)),
      phase_(new QLabel(this)),
      bar_(new QProgressBar(this)),
      cancel_(new QPushButton(tr("Cancel"), this))
{
    setWindowTitle(tr("Printing - %1").arg(Application::title()));
    setObjectName(QStringLiteral("PrintProgress"));
    setModal(false);
    setAttribute(Qt::WA_DeleteOnClose);
    title_->setTextFormat(Qt::PlainText);
    phase_->setTextFormat(Qt::PlainText);
    QFont bold = title_->font();
    bold.setBold(true);
    title_->setFont(bold);
    bar_->setTextVisible(false);
    bar_->setAccessibleName(tr("Printing progress"));
    bar_->setMinimumWidth(320);
    cancel_->setAutoDefault(false);
    auto* buttons = new QDialogButtonBox(this);
    buttons->addButton(cancel_, QDialogButtonBox::RejectRole);
    connect(cancel_, &QPushButton::clicked, this, &PrintProgress::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(title_);
    layout->addWidget(phase_);
    layout->addWidget(bar_);
    layout->addWidget(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    connect(job, &PrintJob::stateChanged, this, &PrintProgress::update);
    connect(job, &PrintJob::progressChanged, this, &PrintProgress::update);
    connect(job, &PrintJob::detailsChanged, this, &PrintProgress::update);
    connect(job, &QObject::destroyed, this, &QWidget::close);
    update();
    if (owner)
        owner->installEventFilter(this);
    QTimer::singleShot(Limits::current().printProgressAfterMs, this, [this] {
        if (job_ && !job_->isFinished() && (!parentWidget() || parentWidget()->isVisible()))
            show();
    });
}

bool PrintProgress::eventFilter(QObject* watched, QEvent* event)
{
    // A closed reader window takes its "Printing" window along; the job itself ends as a
    // closed window's job does.
    if (watched == parentWidget() && event->type() == QEvent::Hide)
        hide();
    return QDialog::eventFilter(watched, event);
}

QString PrintProgress::phaseText(const PrintJob& job)
{
    switch (job.state()) {
    case PrintJob::State::WaitingForBook:
        return tr("Loading the book\u2026");
    case PrintJob::State::LayingOut:
        return tr("Laying out pages\u2026");
    case PrintJob::State::Finishing:
        return tr("Adding page numbers\u2026");
    case PrintJob::State::Sending:
        if (job.toFile())
            return tr("Saving %1\u2026").arg(job.destination());
        if (job.destination().isEmpty())
            return tr("Sending to the printer\u2026");
        return tr("Sending to %1\u2026").arg(job.destination());
    case PrintJob::State::Done:
    case PrintJob::State::Failed:
    case PrintJob::State::Cancelled:
        break;
    }
    return {};
}

void PrintProgress::update()
{
    if (!job_ || job_->isFinished()) {
        close();
        return;
    }
    title_->setText(job_->title());
    phase_->setText(phaseText(*job_));
    const qint64 total = job_->total();
    // Progress bars count in int; a count too large for them is shown in proportion.
    constexpr int kSteps = 1000;
    bar_->setRange(0, total > 0 ? kSteps : 0);
    if (total > 0)
        bar_->setValue(
            static_cast<int>(qBound(qint64{0}, job_->done() * kSteps / total, qint64{kSteps})));
}

void PrintProgress::reject()
{
    // Closing the window or pressing Escape is the user's "Cancel".
    if (job_)
        job_->cancel();
    QDialog::reject();
}

}  // namespace platform
