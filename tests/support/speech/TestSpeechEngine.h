#pragma once

// A text-to-speech engine for the tests, offered to Qt's text-to-speech module as the engine
// "da1011-test": it records every text it is asked to say and reports the states a voice
// would, without a sound device. A sentence is spoken until the test finishes it, or at
// once while sentences are not held.

#include <QPointer>
#include <QStringList>
#include <QTextToSpeechEngine>

class TestSpeechEngine : public QTextToSpeechEngine {
    Q_OBJECT
public:
    static constexpr const char* kName = "da1011-test";

    explicit TestSpeechEngine(QObject* parent);
    ~TestSpeechEngine() override;

    // The engine made last, while it lives.
    static TestSpeechEngine* last();
    // Whether engines hold each sentence until finishSentence() (the default) or end it at
    // once.
    static void holdSentences(bool hold);

    QStringList said;
    // Ends the sentence being spoken, as a voice does at its end.
    void finishSentence();

    QList<QLocale> availableLocales() const override;
    QList<QVoice> availableVoices() const override;
    void say(const QString& text) override;
    void stop(QTextToSpeech::BoundaryHint hint) override;
    void pause(QTextToSpeech::BoundaryHint hint) override;
    void resume() override;
    double rate() const override { return rate_; }
    bool setRate(double rate) override;
    double pitch() const override { return 0.0; }
    bool setPitch(double) override { return false; }
    QLocale locale() const override;
    bool setLocale(const QLocale&) override { return false; }
    double volume() const override { return 1.0; }
    bool setVolume(double) override { return false; }
    QVoice voice() const override;
    bool setVoice(const QVoice&) override { return false; }
    QTextToSpeech::State state() const override { return state_; }
    QTextToSpeech::ErrorReason errorReason() const override
    {
        return QTextToSpeech::ErrorReason::NoError;
    }
    QString errorString() const override { return {}; }

private:
    void setState(QTextToSpeech::State state);

    QTextToSpeech::State state_ = QTextToSpeech::Ready;
    double rate_ = 0.0;
};
