#pragma once

#include <QObject>
#include <QString>

class QTextToSpeech;

namespace platform {

// One sentence at a time spoken with the desktop's voices, through Qt's text-to-speech
// module and the desktop's speech service. The engine is started on the first sentence, so
// that a reader who never listens never starts the speech service.
class Speaker : public QObject {
    Q_OBJECT
public:
    // The slowest and fastest speeds a reader may choose, as a multiple of the voice's own.
    static constexpr double kSlowest = 0.5;
    static constexpr double kFastest = 2.0;

    explicit Speaker(QObject* parent);
    ~Speaker() override;

    // The text-to-speech engine speakers use from now on, by the name Qt's module knows it
    // by (a test chooses its own); empty for the desktop's default.
    static void useEngine(const QString& name);

    // Whether there is a speech service to speak with; starts the engine when first asked.
    bool isAvailable();
    // Speaks the sentence, cutting off the one being spoken.
    void say(const QString& sentence);
    void pause();
    void resume();
    // Stops speaking; no sentenceSpoken() follows for the sentence cut off.
    void stop();
    // The speed, a multiple of the voice's own between kSlowest and kFastest.
    void setSpeed(double speed);
    // The engine's rate (-1 to 1) for a speed: a doubling of the speed is one step of 1.
    static double rateFor(double speed);

signals:
    // The sentence last given to say() has been spoken to its end.
    void sentenceSpoken();
    // The speech service stopped working.
    void failed();

private:
    void onStateChanged(int state);

    QTextToSpeech* engine_ = nullptr;
    bool started_ = false;
    bool speaking_ = false;  // a sentence of ours is under way (or paused)
    // The engine has begun our sentence: a Ready before that ends the one cut off.
    bool begun_ = false;
    double speed_ = 1.0;
};

}  // namespace platform
