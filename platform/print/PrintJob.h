#pragma once

#include <QObject>
#include <QString>

namespace platform {

// One print, from the click to the file or the printer queue: "Print Current Page" from the
// confirmed prompt on, "Print Entire Book" from the click on, the book's load included. Its
// runner moves it through the phases; anyone may watch it or cancel it. Ends exactly once,
// in Done, Failed or Cancelled, and stays there.
class PrintJob : public QObject {
    Q_OBJECT
public:
    enum class State { WaitingForBook, LayingOut, Finishing, Sending, Done, Failed, Cancelled };
    Q_ENUM(State)

    explicit PrintJob(QObject* parent = nullptr, State first = State::WaitingForBook);

    State state() const { return state_; }
    bool isFinished() const;
    // How far the phase is, as done of total; a total of 0 means no count is known.
    qint64 done() const { return done_; }
    qint64 total() const { return total_; }
    // The title of the book or page printed, and where it goes: a printer's name or a file.
    QString title() const { return title_; }
    QString destination() const { return destination_; }
    bool toFile() const { return toFile_; }
    // Why a failed job failed, in a user's words.
    QString failure() const { return failure_; }

    // Ends the job at once as Cancelled; its runner drops whatever it was doing.
    void cancel();

    // For the job's runner.
    void setTitle(const QString& title);
    void setDestination(const QString& destination, bool toFile);
    void enter(State phase);
    void setProgress(qint64 done, qint64 total);
    void succeed();
    void fail(const QString& failure);

signals:
    void stateChanged(platform::PrintJob::State state);
    void progressChanged(qint64 done, qint64 total);
    void detailsChanged();

private:
    void move(State next);

    State state_;
    qint64 done_ = 0;
    qint64 total_ = 0;
    QString title_;
    QString destination_;
    bool toFile_ = false;
    QString failure_;
};

}  // namespace platform
