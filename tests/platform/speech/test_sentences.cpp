#include "platform/speech/Sentences.h"
#include "platform/speech/Speaker.h"

#include <QElapsedTimer>
#include <QTest>

// How the text read aloud is cut into the sentences spoken one at a time, and the voice's
// rate for a speed: without a web view or a speech service.
class SentencesTest : public QObject {
    Q_OBJECT

    static QStringList pieces(const QString& text, qsizetype maxLength)
    {
        QStringList out;
        for (const platform::SentenceSpan& span : platform::splitSentences(text, maxLength))
            out << text.mid(span.start, span.length);
        return out;
    }

private slots:
    void textIsCutIntoSentences_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<qsizetype>("maxLength");
        QTest::addColumn<QStringList>("sentences");
        const qsizetype plenty = platform::kMaxSentenceLength;
        QTest::newRow("full stops, questions, exclamations")
            << "Quorvels hum. Do they sing? They do!  And then" << plenty
            << QStringList{"Quorvels hum.", "Do they sing?", "They do!", "And then"};
        QTest::newRow("a sentence runs on across line breaks")
            << "The art of tying\na knot,\r\nand throwing it. Next\u2029one." << plenty
            << QStringList{"The art of tying\na knot,\r\nand throwing it.", "Next\u2029one."};
        QTest::newRow("white space trimmed, nothing empty")
            << "\n   One.\t\n\n  Two.   " << plenty << QStringList{"One.", "Two."};
        QTest::newRow("a full stop inside a number or before lower case")
            << "It weighs 3.5 kg, e.g. a cat. Next." << plenty
            << QStringList{"It weighs 3.5 kg, e.g. a cat.", "Next."};
        QTest::newRow("quotes and brackets stay with their sentence")
            << QString::fromUtf8("\u201CStop.\u201D (She left.) Then") << plenty
            << QStringList{QString::fromUtf8("\u201CStop.\u201D"), "(She left.)", "Then"};
        QTest::newRow("other scripts")
            << QString::fromUtf8("日本語です。次の文。Ελληνικά; ναι. Да? Нет.") << plenty
            << QStringList{QString::fromUtf8("日本語です。"), QString::fromUtf8("次の文。"),
                           QString::fromUtf8("Ελληνικά; ναι."), QString::fromUtf8("Да?"),
                           QString::fromUtf8("Нет.")};
        QTest::newRow("nothing to say is left out")
            << "* * *\n\u2014\n. Real words." << plenty << QStringList{"Real words."};
        QTest::newRow("a long sentence is cut after a space")
            << "aaaa bbbb cccc dddd." << qsizetype(12) << QStringList{"aaaa bbbb", "cccc dddd."};
        QTest::newRow("a long word is cut where it must")
            << "abcdefghijklmnop" << qsizetype(6) << QStringList{"abcdef", "ghijkl", "mnop"};
        QTest::newRow("a character outside the basic plane stays whole")
            << QString::fromUtf8("abcde\U0001F600fgh") << qsizetype(6)
            << QStringList{QString::fromUtf8("abcde\U0001F600"), "fgh"};
        QTest::newRow("empty") << "" << plenty << QStringList{};
    }
    void textIsCutIntoSentences()
    {
        QFETCH(QString, text);
        QFETCH(qsizetype, maxLength);
        QFETCH(QStringList, sentences);
        QCOMPARE(pieces(text, maxLength), sentences);
    }

    // What a page may hand over: one sentence of a megabyte, a million short ones.
    void anyTextIsCutInBoundedPiecesAtOnce()
    {
        QElapsedTimer clock;
        clock.start();
        const QString endless = QString(QStringLiteral("word ")).repeated(200'000);
        const auto spans = platform::splitSentences(endless);
        QVERIFY(spans.size() >= endless.size() / platform::kMaxSentenceLength);
        for (const platform::SentenceSpan& span : spans)
            QVERIFY(span.length <= platform::kMaxSentenceLength);
        QCOMPARE(
            platform::splitSentences(QString(QStringLiteral("Go. ")).repeated(1'000'000)).size(),
            1'000'000);
        QVERIFY2(clock.elapsed() < 30000, qPrintable(QString::number(clock.elapsed())));
    }

    void speedsMapOntoTheVoicesRate_data()
    {
        QTest::addColumn<double>("speed");
        QTest::addColumn<double>("rate");
        QTest::newRow("half") << 0.5 << -1.0;
        QTest::newRow("the voice's own") << 1.0 << 0.0;
        QTest::newRow("double") << 2.0 << 1.0;
        QTest::newRow("too slow") << 0.1 << -1.0;
        QTest::newRow("too fast") << 9.0 << 1.0;
    }
    void speedsMapOntoTheVoicesRate()
    {
        QFETCH(double, speed);
        QFETCH(double, rate);
        QCOMPARE(platform::Speaker::rateFor(speed), rate);
    }
};

QTEST_GUILESS_MAIN(SentencesTest)
#include "test_sentences.moc"
