#include "platform/print/PrintJob.h"

namespace platform {

PrintJob::PrintJob(QObject* parent, State first) : QObject(parent), state_(first)
{
}

bool PrintJob::isFinished() const
{
    return state_ == State::Done || state_ == State::Failed || state_ == State::Cancelled;
}

void PrintJob::cancel()
{
    move(State::Cancelled);
}

void PrintJob::setTitle(const QString& title)
{
    if (title == title_)
        return;
    title_ = title;
    emit detailsChanged();
}

void PrintJob::setDestination(const QString& destination, bool toFile)
{
    destination_ = destination;
    toFile_ = toFile;
    emit detailsChanged();
}

void PrintJob::enter(State phase)
{
    if (phase != state_ && !isFinished())
        setProgress(0, 0);
    move(phase);
}

void PrintJob::setProgress(qint64 done, qint64 total)
{
    if (isFinished() || (done == done_ && total == total_))
        return;
    done_ = done;
    total_ = total;
    emit progressChanged(done, total);
}

void PrintJob::succeed()
{
    move(State::Done);
}

void PrintJob::fail(const QString& failure)
{
    if (!isFinished())
        failure_ = failure;
    move(State::Failed);
}

void PrintJob::move(State next)
{
    // An ended job keeps its end: a step that finishes after a cancel changes nothing.
    if (isFinished() || next == state_)
        return;
    state_ = next;
    emit stateChanged(next);
}

}  // namespace platform
