#include "TestSpeechEngine.h"

#include <QTextToSpeechPlugin>
#include <QTimer>

namespace {

QPointer<TestSpeechEngine>& lastEngine()
{
    static QPointer<TestSpeechEngine> engine;
    return engine;
}

bool& holding()
{
    static bool hold = true;
    return hold;
}

}  // namespace

TestSpeechEngine::TestSpeechEngine(QObject* parent) : QTextToSpeechEngine(parent)
{
    lastEngine() = this;
}

TestSpeechEngine::~TestSpeechEngine() = default;

TestSpeechEngine* TestSpeechEngine::last()
{
    return lastEngine();
}

void TestSpeechEngine::holdSentences(bool hold)
{
    holding() = hold;
}

void TestSpeechEngine::finishSentence()
{
    if (state_ != QTextToSpeech::Ready)
        setState(QTextToSpeech::Ready);
}

QList<QLocale> TestSpeechEngine::availableLocales() const
{
    return {QLocale(QLocale::English, QLocale::UnitedStates)};
}

QList<QVoice> TestSpeechEngine::availableVoices() const
{
    return {voice()};
}

QLocale TestSpeechEngine::locale() const
{
    return availableLocales().constFirst();
}

QVoice TestSpeechEngine::voice() const
{
    return createVoice(QStringLiteral("test"), locale(), QVoice::Unknown, QVoice::Other, {});
}

void TestSpeechEngine::say(const QString& text)
{
    said << text;
    setState(QTextToSpeech::Speaking);
    if (!holding())
        QTimer::singleShot(0, this, &TestSpeechEngine::finishSentence);
}

void TestSpeechEngine::stop(QTextToSpeech::BoundaryHint)
{
    setState(QTextToSpeech::Ready);
}

void TestSpeechEngine::pause(QTextToSpeech::BoundaryHint)
{
    if (state_ == QTextToSpeech::Speaking)
        setState(QTextToSpeech::Paused);
}

void TestSpeechEngine::resume()
{
    if (state_ == QTextToSpeech::Paused)
        setState(QTextToSpeech::Speaking);
}

bool TestSpeechEngine::setRate(double rate)
{
    rate_ = rate;
    return true;
}

void TestSpeechEngine::setState(QTextToSpeech::State state)
{
    state_ = state;
    emit stateChanged(state);
}

// The plugin by which Qt's text-to-speech module finds the engine.
class TestSpeechPlugin : public QObject, public QTextToSpeechPlugin {
    Q_OBJECT
    Q_PLUGIN_METADATA(IID "org.qt-project.qt.speech.tts.plugin/6.0" FILE "test_speech.json")
    Q_INTERFACES(QTextToSpeechPlugin)
public:
    QTextToSpeechEngine* createTextToSpeechEngine(const QVariantMap&, QObject* parent,
                                                  QString*) const override
    {
        return new TestSpeechEngine(parent);
    }
};

#include "TestSpeechEngine.moc"
