#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QUrl>

#include <deque>
#include <functional>
#include <memory>

class QVariant;
class QWebEngineView;

namespace platform {

class BookIndex;
class BrowserView;
class Speaker;

// Reads the page a browser view shows aloud, sentence by sentence, with the sentence being
// spoken selected and kept in view, and goes on with the next page in the book's reading
// order at the end of a page. The page's text is asked for in the program's own script world
// a bounded batch at a time (see scripts/read-aloud.js), so the page can neither see nor steer
// the reading, and a page of any size costs only a batch of sentences at a time. Any
// navigation but its own (a link, Back, another page, a reload) stops it.
class PageReader : public QObject {
    Q_OBJECT
public:
    enum class State { Stopped, Reading, Paused };
    Q_ENUM(State)

    // The speed steps between Speaker::kSlowest and Speaker::kFastest.
    static constexpr double kSpeedStep = 0.25;

    explicit PageReader(BrowserView* browser);
    ~PageReader() override;

    // The book whose reading order the reading follows from page to page.
    void readBook(const QString& folder, const QString& startPage, const QStringList& leftOut);

    // Starts reading at the selection, or else at the top of the view; while reading, pauses;
    // while paused, resumes.
    void toggle();
    void stop();
    void slower();
    void faster();
    // The speed chosen, kept until the program ends.
    static double speed();

    State state() const { return state_; }
    // The sentence being spoken, as given to the voice.
    QString sentence() const { return current_.text; }
    // The height of what covers the bottom of the view while reading: the sentence shown is
    // kept above it.
    void setCoveredHeight(int pixels) { coveredHeight_ = pixels; }

signals:
    void stateChanged(platform::PageReader::State state);
    void speedChanged(double speed);

private:
    struct Sentence {
        int block = -1;
        qsizetype from = 0;
        qsizetype to = 0;
        QString text;
    };

    void start();
    void pause();
    void resume();
    void setState(State state);
    void beginPage(bool fromSelection);
    void askForText();
    void addText(const QVariant& batch);
    void speakNext();
    void goOn();
    void onUrlChanged(const QUrl& url);
    void onLoadFinished(bool ok);
    void setSpeed(double speed);
    void runScript(const QString& script, std::function<void(const QVariant&)> done = {});

    BrowserView* browser_;
    QPointer<QWebEngineView> view_;
    Speaker* speaker_;
    std::shared_ptr<BookIndex> book_;
    State state_ = State::Stopped;
    int generation_ = 0;  // answers from the page for an earlier reading are dropped
    std::deque<Sentence> queue_;
    Sentence current_;
    bool asking_ = false;
    bool pageDone_ = false;  // the page's text has all been asked for
    bool goingOn_ = false;  // the next page is being found or loaded, by the reading itself
    QUrl page_;  // the page read
    QUrl next_;  // the page the reading goes on with
    int coveredHeight_ = 0;
};

}  // namespace platform
