#include "platform/web/PageReader.h"

#include "platform/runtime/Errors.h"
#include "platform/runtime/MessageBox.h"
#include "platform/runtime/ResourceText.h"
#include "platform/search/BookSearch.h"
#include "platform/speech/Sentences.h"
#include "platform/speech/Speaker.h"
#include "platform/web/BrowserView.h"

#include <QFuture>
#include <QLoggingCategory>
#include <QWebEnginePage>
#include <QWebEngineScript>
#include <QWebEngineView>
#include <QtConcurrentRun>

#include <algorithm>
#include <climits>
#include <cmath>

namespace platform {

namespace {

Q_LOGGING_CATEGORY(lcReading, "da1011.speech")

// When this few sentences are left, the page is asked for the next batch, so that the voice
// never waits for the page and no more than two batches are held.
constexpr std::size_t kLowWater = 8;
// What one batch may hold at most, whatever the page hands over (the script keeps below it).
constexpr int kMaxBatchBlocks = 64;
constexpr qsizetype kMaxBlockChars = 4096;

double& chosenSpeed()
{
    static double speed = 1.0;
    return speed;
}

bool samePage(const QUrl& a, const QUrl& b)
{
    const auto page = [](const QUrl& url) {
        return url.adjusted(QUrl::RemoveFragment | QUrl::RemoveQuery).toLocalFile();
    };
    return !a.isEmpty() && page(a) == page(b);
}

void tellNoSpeechService()
{
    // Said once: a reader without a speech service learns it, and is not told again.
    static bool told = false;
    if (std::exchange(told, true))
        return;
    MsgBox(QStringLiteral("Reading aloud needs a speech service (speech-dispatcher)."));
}

}  // namespace

PageReader::PageReader(BrowserView* browser)
    : QObject(browser), browser_(browser), view_(browser->webView()), speaker_(new Speaker(this))
{
    speaker_->setSpeed(chosenSpeed());
    connect(speaker_, &Speaker::sentenceSpoken, this, [this] {
        current_ = {};
        speakNext();
    });
    connect(speaker_, &Speaker::failed, this, [this] {
        qCInfo(lcReading) << "the speech service failed; reading stopped";
        stop();
    });
    // A page the reader asks for, or one the page goes to itself, ends the reading.
    connect(view_, &QWebEngineView::loadStarted, this, [this] {
        if (state_ != State::Stopped && !goingOn_)
            stop();
    });
    connect(view_, &QWebEngineView::urlChanged, this, &PageReader::onUrlChanged);
    connect(view_, &QWebEngineView::loadFinished, this, &PageReader::onLoadFinished);
}

PageReader::~PageReader() = default;

void PageReader::readBook(const QString& folder, const QString& startPage,
                          const QStringList& leftOut)
{
    book_ = std::make_shared<BookIndex>(folder, startPage, leftOut);
}

double PageReader::speed()
{
    return chosenSpeed();
}

void PageReader::toggle()
{
    switch (state_) {
    case State::Stopped:
        start();
        break;
    case State::Reading:
        pause();
        break;
    case State::Paused:
        resume();
        break;
    }
}

void PageReader::start()
{
    if (!view_ || view_->url().isEmpty())
        return;
    if (!speaker_->isAvailable()) {
        tellNoSpeechService();
        return;
    }
    page_ = view_->url();
    setState(State::Reading);
    beginPage(true);
}

void PageReader::pause()
{
    setState(State::Paused);
    speaker_->pause();
}

void PageReader::resume()
{
    setState(State::Reading);
    if (current_.text.isEmpty())
        speakNext();
    else
        speaker_->resume();
}

void PageReader::stop()
{
    if (state_ == State::Stopped)
        return;
    ++generation_;
    goingOn_ = false;
    queue_.clear();
    current_ = {};
    speaker_->stop();
    runScript(QStringLiteral("window.__da1011Aloud && __da1011Aloud.end()"));
    setState(State::Stopped);
}

void PageReader::setState(State state)
{
    if (state_ == state)
        return;
    state_ = state;
    emit stateChanged(state);
}

void PageReader::beginPage(bool fromSelection)
{
    const int generation = ++generation_;
    queue_.clear();
    current_ = {};
    asking_ = false;
    pageDone_ = false;
    runScript(resourceText(QStringLiteral(":/web/read-aloud.js"))
                  + QStringLiteral("\n;__da1011Aloud.begin(%1)")
                        .arg(fromSelection ? QStringLiteral("true") : QStringLiteral("false")),
              [this, generation](const QVariant& begun) {
                  if (generation != generation_)
                      return;
                  if (!begun.toBool())
                      pageDone_ = true;
                  askForText();
                  speakNext();
              });
}

void PageReader::askForText()
{
    if (asking_ || pageDone_)
        return;
    asking_ = true;
    const int generation = generation_;
    const int keepFrom
        = current_.block >= 0 ? current_.block : (queue_.empty() ? INT_MAX : queue_.front().block);
    runScript(
        QStringLiteral("window.__da1011Aloud ? __da1011Aloud.take(%1) : null")
            .arg(keepFrom == INT_MAX ? QStringLiteral("Infinity") : QString::number(keepFrom)),
        [this, generation](const QVariant& batch) {
            if (generation != generation_)
                return;
            asking_ = false;
            addText(batch);
        });
}

void PageReader::addText(const QVariant& batch)
{
    const QVariantMap answer = batch.toMap();
    const QVariantList blocks = answer.value(QStringLiteral("blocks")).toList();
    pageDone_ = answer.isEmpty() || answer.value(QStringLiteral("done")).toBool();
    for (const QVariant& item : blocks.mid(0, kMaxBatchBlocks)) {
        const QVariantMap block = item.toMap();
        const int id = block.value(QStringLiteral("id")).toInt();
        const QString text = block.value(QStringLiteral("text")).toString().left(kMaxBlockChars);
        const qsizetype start = block.value(QStringLiteral("start")).toLongLong();
        for (const SentenceSpan& span : splitSentences(text)) {
            if (span.end() <= start)
                continue;  // before where the reader asked to start
            queue_.push_back(
                {id, span.start, span.end(), text.sliced(span.start, span.length).simplified()});
        }
    }
    if (current_.text.isEmpty())
        speakNext();
    else if (queue_.size() < kLowWater)
        askForText();
}

void PageReader::speakNext()
{
    if (state_ != State::Reading || !current_.text.isEmpty())
        return;
    if (queue_.empty()) {
        if (pageDone_ && !asking_)
            goOn();
        else
            askForText();  // an empty batch: the page had only nodes without text so far
        return;
    }
    current_ = std::move(queue_.front());
    queue_.pop_front();
    const double zoom = view_ ? view_->zoomFactor() : 1.0;
    runScript(QStringLiteral("window.__da1011Aloud && __da1011Aloud.show(%1, %2, %3, %4)")
                  .arg(current_.block)
                  .arg(current_.from)
                  .arg(current_.to)
                  .arg(std::ceil(coveredHeight_ / std::max(zoom, 0.01))));
    speaker_->say(current_.text);
    if (queue_.size() < kLowWater)
        askForText();
}

void PageReader::goOn()
{
    if (!book_ || !view_) {
        stop();
        return;
    }
    goingOn_ = true;
    const int generation = generation_;
    const QString shown = view_->url().toLocalFile();
    QtConcurrent::run([book = book_, shown] {
        return book->pageAfter(shown);
    }).then(this, [this, generation](const QString& next) {
        if (generation != generation_ || state_ == State::Stopped)
            return;
        if (next.isEmpty()) {
            stop();  // the end of the book
            return;
        }
        next_ = BrowserView::locationToUrl(next);
        try {
            browser_->Navigate(next);
        } catch (const PlatformError&) {
            stop();
        }
    });
}

void PageReader::onUrlChanged(const QUrl& url)
{
    if (state_ == State::Stopped)
        return;
    if (goingOn_ ? !samePage(url, next_) : url != page_)
        stop();
}

void PageReader::onLoadFinished(bool ok)
{
    if (state_ == State::Stopped || !goingOn_ || !view_ || !samePage(view_->url(), next_))
        return;
    goingOn_ = false;
    if (!ok) {
        stop();
        return;
    }
    page_ = view_->url();
    beginPage(false);
}

void PageReader::slower()
{
    setSpeed(chosenSpeed() - kSpeedStep);
}

void PageReader::faster()
{
    setSpeed(chosenSpeed() + kSpeedStep);
}

void PageReader::setSpeed(double speed)
{
    speed = std::clamp(std::round(speed / kSpeedStep) * kSpeedStep, Speaker::kSlowest,
                       Speaker::kFastest);
    if (speed == chosenSpeed())
        return;
    chosenSpeed() = speed;
    speaker_->setSpeed(speed);
    emit speedChanged(speed);
}

void PageReader::runScript(const QString& script, std::function<void(const QVariant&)> done)
{
    if (!view_)
        return;
    QPointer<PageReader> self(this);
    view_->page()->runJavaScript(script, QWebEngineScript::ApplicationWorld,
                                 [self, done = std::move(done)](const QVariant& result) {
                                     if (self && done)
                                         done(result);
                                 });
}

}  // namespace platform
