#include "platform/speech/Speaker.h"

#include <QLoggingCategory>
#include <QTextToSpeech>

#include <algorithm>
#include <cmath>

namespace platform {

namespace {

Q_LOGGING_CATEGORY(lcSpeech, "da1011.speech")

QString& chosenEngine()
{
    static QString name;
    return name;
}

}  // namespace

Speaker::Speaker(QObject* parent) : QObject(parent)
{
}

Speaker::~Speaker()
{
    // A voice still speaking when the window closes is silenced with it.
    if (engine_ && speaking_)
        engine_->stop();
}

void Speaker::useEngine(const QString& name)
{
    chosenEngine() = name;
}

bool Speaker::isAvailable()
{
    if (!started_) {
        started_ = true;
        const QStringList engines = QTextToSpeech::availableEngines();
        const QString& wanted = chosenEngine();
        if (engines.isEmpty() || (!wanted.isEmpty() && !engines.contains(wanted))) {
            qCInfo(lcSpeech) << "no text-to-speech engine; found:" << engines;
            return false;
        }
        engine_ = wanted.isEmpty() ? new QTextToSpeech(this) : new QTextToSpeech(wanted, this);
        connect(engine_, &QTextToSpeech::stateChanged, this,
                [this](QTextToSpeech::State state) { onStateChanged(state); });
        connect(engine_, &QTextToSpeech::errorOccurred, this,
                [](QTextToSpeech::ErrorReason, const QString& message) {
                    qCInfo(lcSpeech) << "speech service:" << message;
                });
        engine_->setRate(rateFor(speed_));
    }
    return engine_ && engine_->state() != QTextToSpeech::Error;
}

void Speaker::say(const QString& sentence)
{
    if (!isAvailable())
        return;
    speaking_ = false;
    if (engine_->state() != QTextToSpeech::Ready)
        engine_->stop();
    speaking_ = true;
    begun_ = false;
    engine_->say(sentence);
}

void Speaker::pause()
{
    if (engine_ && speaking_)
        engine_->pause();
}

void Speaker::resume()
{
    if (engine_ && speaking_)
        engine_->resume();
}

void Speaker::stop()
{
    if (!engine_ || !speaking_)
        return;
    speaking_ = false;
    engine_->stop();
}

void Speaker::setSpeed(double speed)
{
    speed_ = std::clamp(speed, kSlowest, kFastest);
    if (engine_)
        engine_->setRate(rateFor(speed_));
}

double Speaker::rateFor(double speed)
{
    return std::clamp(std::log2(std::clamp(speed, kSlowest, kFastest)), -1.0, 1.0);
}

void Speaker::onStateChanged(int state)
{
    switch (state) {
    case QTextToSpeech::Ready:
        // Ready again after our sentence began: it was spoken to its end. The Ready of a
        // sentence cut off by a stop or by the next one comes before that one begins.
        if (speaking_ && begun_) {
            speaking_ = false;
            emit sentenceSpoken();
        }
        break;
    case QTextToSpeech::Speaking:
        begun_ = speaking_;
        break;
    case QTextToSpeech::Error:
        speaking_ = false;
        emit failed();
        break;
    default:
        break;
    }
}

}  // namespace platform
