#include "app/settingskeys.h"
#include "scramble/encrypt.h"

#include <QSet>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <cstring>

using namespace Encrypt;

namespace {

QString codeOf(QChar plain)
{
    for (const CodeEntry& entry : codeTable()) {
        if (entry.plain == plain.unicode())
            return QString::fromLatin1(entry.code);
    }
    return {};
}

QString tableInOrder()
{
    QString text;
    for (const CodeEntry& entry : codeTable())
        text += QChar(entry.plain);
    return text;
}

QString allCodesInOrder()
{
    QString text;
    for (const CodeEntry& entry : codeTable())
        text += QString::fromLatin1(entry.code);
    return text;
}

bool isCode(const QString& chunk)
{
    for (const CodeEntry& entry : codeTable()) {
        if (chunk == QLatin1String(entry.code))
            return true;
    }
    return false;
}

QString swappedCase(const QString& text)
{
    QString swapped = text;
    for (QChar& c : swapped)
        c = c.isUpper() ? c.toLower() : c.toUpper();
    return swapped;
}

// A text of the given length made of table characters only, so it must survive storage unchanged.
QString tableText(qsizetype length)
{
    const QString table = tableInOrder();
    QString text;
    text.reserve(length);
    for (qsizetype i = 0; i < length; ++i)
        text += table.at((i * 7) % table.size());
    return text;
}

const QString grinning = QString::fromUcs4(U"\U0001F600");

} // namespace

class TestScramble : public QObject {
    Q_OBJECT

private slots:
    void tableHasTheFixedPlainCharactersInOrder();
    void tableCodesArePrintableAndDistinct();
    void everyTableCharacterRoundTrips_data();
    void everyTableCharacterRoundTrips();
    void wholeTableEncodesToItsCodesInOrder();
    void emptyText();
    void abcTakesNineCharacters();
    void letterCaseMatters();
    void chunkDifferingOnlyInCaseDecodesToItself();
    void roundTrip_data();
    void roundTrip();
    void characterWithoutCodeIsEscaped_data();
    void characterWithoutCodeIsEscaped();
    void tailShorterThanAChunkPassesThrough_data();
    void tailShorterThanAChunkPassesThrough();
    void chunkThatIsNoCodeDecodesToItself_data();
    void chunkThatIsNoCodeDecodesToItself();
    void decodingNeverResynchronises();
    void passwordBeyondSixteenBitPositionsRoundTrips();
    void storedFormSurvivesTheSettingsFile();
    void staysCorrectWhenReenteredThroughThePump();
    void callerChangingTheInputMidwayDoesNotDisturbTheConversion();
};

void TestScramble::tableHasTheFixedPlainCharactersInOrder()
{
    const QString expected = QStringLiteral("abcdefghijklmnopqrstuvwxyz1234567890ABCDEFGHIJKLMNOPQRSTUVWXYZ"
                                            "!@#$%^&*()_-=+[]{}:;'\",.<>/?\\| ");
    QCOMPARE(expected.size(), 93);
    QCOMPARE(tableInOrder(), expected);
}

void TestScramble::tableCodesArePrintableAndDistinct()
{
    QSet<QString> folded;
    int withQuote = 0;
    for (const CodeEntry& entry : codeTable()) {
        const QString code = QString::fromLatin1(entry.code);
        QCOMPARE(std::strlen(entry.code), size_t(3));
        for (QChar c : code)
            QVERIFY2(c.unicode() > 0x20 && c.unicode() < 0x7f, qPrintable(code));
        QVERIFY2(code.front() != u'`', qPrintable(code));
        const int quotes = int(code.count(u'"'));
        QVERIFY(quotes <= 1);
        withQuote += quotes;
        folded.insert(code.toLower());
    }
    QCOMPARE(folded.size(), 93);
    QCOMPARE(withQuote, 3);
}

void TestScramble::everyTableCharacterRoundTrips_data()
{
    QTest::addColumn<QString>("plain");
    for (const CodeEntry& entry : codeTable()) {
        const QString plain(QChar(entry.plain));
        QTest::addRow("U+%04X %s", entry.plain, qPrintable(plain)) << plain;
    }
}

void TestScramble::everyTableCharacterRoundTrips()
{
    QFETCH(QString, plain);
    const QString stored = EncodePassword(plain);
    QCOMPARE(stored, codeOf(plain.front()));
    QCOMPARE(DecodePassword(stored), plain);
}

void TestScramble::wholeTableEncodesToItsCodesInOrder()
{
    const QString stored = EncodePassword(tableInOrder());
    QCOMPARE(stored.size(), 279);
    QCOMPARE(stored, allCodesInOrder());
    QCOMPARE(DecodePassword(stored), tableInOrder());
}

void TestScramble::emptyText()
{
    QCOMPARE(EncodePassword(QString()), QString());
    QCOMPARE(DecodePassword(QString()), QString());
    QCOMPARE(EncodePassword(QStringLiteral("")), QString());
    QCOMPARE(DecodePassword(QStringLiteral("")), QString());
}

void TestScramble::abcTakesNineCharacters()
{
    const QString stored = EncodePassword(QStringLiteral("abc"));
    QCOMPARE(stored.size(), 9);
    QCOMPARE(stored, codeOf(u'a') + codeOf(u'b') + codeOf(u'c'));
    QCOMPARE(DecodePassword(stored), QStringLiteral("abc"));
}

void TestScramble::letterCaseMatters()
{
    QVERIFY(EncodePassword(QStringLiteral("a")) != EncodePassword(QStringLiteral("A")));
    QCOMPARE(DecodePassword(EncodePassword(QStringLiteral("aA"))), QStringLiteral("aA"));
}

void TestScramble::chunkDifferingOnlyInCaseDecodesToItself()
{
    int checked = 0;
    for (const CodeEntry& entry : codeTable()) {
        const QString variant = swappedCase(QString::fromLatin1(entry.code));
        if (variant == QLatin1String(entry.code))
            continue;
        QCOMPARE(DecodePassword(variant), variant);
        ++checked;
    }
    QVERIFY(checked > 0);
}

void TestScramble::roundTrip_data()
{
    QTest::addColumn<QString>("plain");
    QTest::addColumn<qsizetype>("storedLength");
    QTest::newRow("tilde") << QStringLiteral("~") << qsizetype(3);
    QTest::newRow("grave accent") << QStringLiteral("`") << qsizetype(3);
    QTest::newRow("grave accents only") << QStringLiteral("```") << qsizetype(9);
    QTest::newRow("japanese") << QStringLiteral("パスワード") << qsizetype(15);
    QTest::newRow("outside the basic plane") << grinning << qsizetype(4);
    QTest::newRow("mixed") << QStringLiteral("a~b`c日本 ") + grinning + QStringLiteral("Z`") << qsizetype(34);
    QTest::newRow("two in a row outside the basic plane") << grinning + grinning << qsizetype(8);
    QTest::newRow("control characters") << QStringLiteral("\t\n\r") << qsizetype(9);
    QTest::newRow("nul") << QString(QChar(0)) << qsizetype(3);
    QTest::newRow("lone high surrogate") << QString(QChar(0xD83D)) + QStringLiteral("a`") << qsizetype(9);
    QTest::newRow("lone low surrogate") << QString(QChar(0xDE00)) << qsizetype(3);
    QTest::newRow("swapped surrogates") << QString(QChar(0xDE00)) + QChar(0xD83D) << qsizetype(6);
    QTest::newRow("latin-1") << QStringLiteral("é\u00a0ß") << qsizetype(9);
}

void TestScramble::roundTrip()
{
    QFETCH(QString, plain);
    QFETCH(qsizetype, storedLength);
    const QString stored = EncodePassword(plain);
    QCOMPARE(stored.size(), storedLength);
    QCOMPARE(DecodePassword(stored), plain);
}

void TestScramble::characterWithoutCodeIsEscaped_data()
{
    QTest::addColumn<QString>("plain");
    QTest::addColumn<QString>("stored");
    QTest::newRow("tilde") << QStringLiteral("~") << QStringLiteral("`~`");
    QTest::newRow("grave accent") << QStringLiteral("`") << QStringLiteral("```");
    QTest::newRow("japanese") << QStringLiteral("日") << QStringLiteral("`日`");
    QTest::newRow("outside the basic plane")
        << grinning << QStringLiteral("`") + grinning + QStringLiteral("`");
    QTest::newRow("between codes") << QStringLiteral("a~b")
                                   << codeOf(u'a') + QStringLiteral("`~`") + codeOf(u'b');
}

void TestScramble::characterWithoutCodeIsEscaped()
{
    QFETCH(QString, plain);
    QFETCH(QString, stored);
    QCOMPARE(EncodePassword(plain), stored);
    QCOMPARE(DecodePassword(stored), plain);
}

void TestScramble::tailShorterThanAChunkPassesThrough_data()
{
    QTest::addColumn<QString>("stored");
    QTest::addColumn<QString>("plain");
    QTest::newRow("one alone") << QStringLiteral("x") << QStringLiteral("x");
    QTest::newRow("two alone") << QStringLiteral("xy") << QStringLiteral("xy");
    QTest::newRow("one after a code") << codeOf(u'a') + QStringLiteral("x") << QStringLiteral("ax");
    QTest::newRow("two after a code") << codeOf(u'a') + QStringLiteral("xy") << QStringLiteral("axy");
    QTest::newRow("code cut short") << codeOf(u'a') + codeOf(u'b').left(2)
                                    << QStringLiteral("a") + codeOf(u'b').left(2);
    QTest::newRow("unclosed escape") << QStringLiteral("`~") << QStringLiteral("`~");
    QTest::newRow("grave accent alone") << QStringLiteral("`") << QStringLiteral("`");
    QTest::newRow("unclosed escape of a pair")
        << codeOf(u'a') + QStringLiteral("`") + grinning << QStringLiteral("a`") + grinning;
}

void TestScramble::tailShorterThanAChunkPassesThrough()
{
    QFETCH(QString, stored);
    QFETCH(QString, plain);
    QCOMPARE(DecodePassword(stored), plain);
}

void TestScramble::chunkThatIsNoCodeDecodesToItself_data()
{
    QTest::addColumn<QString>("chunk");
    for (const char *text : {"@@@", "aaa", "000", "~~~", "`a`", "`!`", "` `", "`~x", "x~`", "```x"}) {
        const QString chunk = QString::fromLatin1(text);
        if (chunk.size() == 3)
            QVERIFY(!isCode(chunk));
        QTest::newRow(text) << chunk;
    }
    QTest::newRow("japanese") << QStringLiteral("日本語");
    QTest::newRow("escape with two characters") << QStringLiteral("`ab`");
}

void TestScramble::chunkThatIsNoCodeDecodesToItself()
{
    QFETCH(QString, chunk);
    // "```x" is one escape followed by a tail; everything else is passed through whole.
    const QString expected = chunk == QLatin1String("```x") ? QStringLiteral("`x") : chunk;
    QCOMPARE(DecodePassword(chunk), expected);
}

void TestScramble::decodingNeverResynchronises()
{
    // One stray character in front shifts every chunk off the codes; none of them is decoded.
    const QString shifted = QStringLiteral("x") + EncodePassword(QStringLiteral("abcdef"));
    bool anyChunkIsCode = false;
    for (qsizetype pos = 0; pos + 3 <= shifted.size(); pos += 3)
        anyChunkIsCode = anyChunkIsCode || isCode(shifted.mid(pos, 3));
    QVERIFY(!anyChunkIsCode);
    QCOMPARE(DecodePassword(shifted), shifted);
}

void TestScramble::passwordBeyondSixteenBitPositionsRoundTrips()
{
    // 11,000 characters store as 33,000, past what signed 16-bit positions could count.
    const QString plain = tableText(11000) + grinning + QStringLiteral("~");
    const QString stored = EncodePassword(plain);
    QCOMPARE(stored.size(), 33000 + 4 + 3);
    QCOMPARE(DecodePassword(stored), plain);
}

void TestScramble::storedFormSurvivesTheSettingsFile()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("scramble.ini"));
    const QString plain = tableInOrder() + QStringLiteral("~`日") + grinning;
    {
        QSettings settings(path, QSettings::IniFormat);
        settings.setValue(Store::Key::path(Store::Key::pass), EncodePassword(plain));
        settings.sync();
        QCOMPARE(settings.status(), QSettings::NoError);
    }
    QSettings settings(path, QSettings::IniFormat);
    const QVariant value = settings.value(Store::Key::path(Store::Key::pass));
    QCOMPARE(value.typeId(), int(QMetaType::QString));
    QCOMPARE(DecodePassword(value.toString()), plain);
}

void TestScramble::staysCorrectWhenReenteredThroughThePump()
{
    const QString outerPlain = tableText(200) + QStringLiteral("~日") + grinning;
    const QString innerPlain = QStringLiteral("inner`~") + grinning;
    const QString innerStored = EncodePassword(innerPlain);

    bool firstRan = false;
    bool secondRan = false;
    QString firstEncoded, firstDecoded, secondDecoded;
    // Posted before the outer call, so the outer call's pump runs it, and it runs the second one.
    QTimer::singleShot(0, [&] {
        QTimer::singleShot(0, [&] {
            secondDecoded = DecodePassword(innerStored);
            secondRan = true;
        });
        firstEncoded = EncodePassword(innerPlain);
        firstDecoded = DecodePassword(innerStored);
        firstRan = true;
    });
    const QString outerStored = EncodePassword(outerPlain);
    QVERIFY(firstRan);
    QVERIFY(secondRan);
    QCOMPARE(firstEncoded, innerStored);
    QCOMPARE(firstDecoded, innerPlain);
    QCOMPARE(secondDecoded, innerPlain);
    QCOMPARE(outerStored.size(), 200 * 3 + 3 + 3 + 4);

    firstRan = false;
    secondRan = false;
    firstEncoded.clear();
    firstDecoded.clear();
    secondDecoded.clear();
    QTimer::singleShot(0, [&] {
        QTimer::singleShot(0, [&] {
            secondDecoded = DecodePassword(innerStored);
            secondRan = true;
        });
        firstEncoded = EncodePassword(innerPlain);
        firstDecoded = DecodePassword(innerStored);
        firstRan = true;
    });
    QCOMPARE(DecodePassword(outerStored), outerPlain);
    QVERIFY(firstRan);
    QVERIFY(secondRan);
    QCOMPARE(firstEncoded, innerStored);
    QCOMPARE(firstDecoded, innerPlain);
    QCOMPARE(secondDecoded, innerPlain);
}

void TestScramble::callerChangingTheInputMidwayDoesNotDisturbTheConversion()
{
    // The caller may hand in a string that a handler run by the pump replaces, even shortens.
    QString input = tableText(50);
    const QString original = input;
    QTimer::singleShot(0, [&] { input = QStringLiteral("x"); });
    const QString stored = EncodePassword(input);
    QCOMPARE(input, QStringLiteral("x"));
    QCOMPARE(DecodePassword(stored), original);

    QString storedInput = stored;
    QTimer::singleShot(0, [&] { storedInput.clear(); });
    QCOMPARE(DecodePassword(storedInput), original);
    QVERIFY(storedInput.isEmpty());
}

QTEST_GUILESS_MAIN(TestScramble)
#include "tst_scramble.moc"
