#include "mailcheck/sasl.h"

#include <QTest>

using namespace mailcheck;

class TestSasl : public QObject {
    Q_OBJECT

private slots:
    void response_data();
    void response();
    void continuation_data();
    void continuation();
    void refusal_data();
    void refusal();
};

void TestSasl::response_data()
{
    QTest::addColumn<QString>("user");
    QTest::addColumn<QString>("token");
    QTest::addColumn<QByteArray>("decoded"); // empty: refused
    QTest::newRow("address") << "taro@example.test"
                             << "ya29.a0Af-_x"
                             << QByteArray("user=taro@example.test\x01"
                                           "auth=Bearer ya29.a0Af-_x\x01\x01");
    QTest::newRow("non-ascii name") << QString::fromUtf8("太郎@example.test") << "t"
                                    << QByteArray("user=\xe5\xa4\xaa\xe9\x83\x8e@example.test\x01"
                                                  "auth=Bearer t\x01\x01");
    QTest::newRow("empty token") << "taro"
                                 << "" << QByteArray();
    QTest::newRow("empty user") << ""
                                << "ya29.x" << QByteArray();
    QTest::newRow("LF in token") << "taro"
                                 << "ya29.x\nQUIT" << QByteArray();
    QTest::newRow("CR in user") << "taro\r"
                                << "ya29.x" << QByteArray();
    QTest::newRow("separator in user") << "taro\x01"
                                          "auth=Bearer x"
                                       << "ya29.x" << QByteArray();
    QTest::newRow("separator in token") << "taro"
                                        << "ya29.x\x01\x01" << QByteArray();
}

void TestSasl::response()
{
    QFETCH(QString, user);
    QFETCH(QString, token);
    QFETCH(QByteArray, decoded);
    const SaslResponse made = xoauth2Response(user, token);
    QCOMPARE(QByteArray::fromBase64(made.line), decoded);
    QCOMPARE(made.error.isEmpty(), !decoded.isEmpty());
    if (!token.isEmpty())
        QVERIFY(!made.error.contains(token));
}

void TestSasl::continuation_data()
{
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<bool>("continues");
    QTest::newRow("bare") << QByteArray("+\r\n") << true;
    QTest::newRow("bare, no end") << QByteArray("+") << true;
    QTest::newRow("blank") << QByteArray("+ \r\n") << true;
    QTest::newRow("data") << QByteArray("+ eyJ9\r\n") << true;
    QTest::newRow("ok") << QByteArray("+OK\r\n") << false;
    QTest::newRow("err") << QByteArray("-ERR\r\n") << false;
    QTest::newRow("empty") << QByteArray() << false;
}

void TestSasl::continuation()
{
    QFETCH(QByteArray, line);
    QFETCH(bool, continues);
    QCOMPARE(isContinuation(line), continues);
}

void TestSasl::refusal_data()
{
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<QString>("reason");
    const QString refused = QStringLiteral("the server refused the access token");
    const auto encoded = [](const QByteArray& json) { return "+ " + json.toBase64() + "\r\n"; };
    QTest::newRow("google")
        << encoded(R"({"status":"401","schemes":"bearer","scope":"https://mail.google.com/"})")
        << refused + " (401)";
    QTest::newRow("numeric status") << encoded(R"({"status":400})") << refused + " (400)";
    QTest::newRow("word status") << encoded(R"({"status":"invalid_token"})") << refused + " (invalid_token)";
    QTest::newRow("no status") << encoded(R"({"schemes":"bearer"})") << refused;
    QTest::newRow("token echoed") << encoded(R"({"status":"ya29.a0AfB_byC0nfidentialTokenText0123456789"})")
                                  << refused;
    QTest::newRow("markup") << encoded(R"({"status":"<b>x</b>"})") << refused;
    QTest::newRow("line break") << encoded("{\"status\":\"4\\n01\"}") << refused;
    QTest::newRow("not json") << encoded("401 go away") << refused;
    QTest::newRow("not base64") << QByteArray("+ {\"status\":\"401\"}\r\n") << refused;
    QTest::newRow("empty") << QByteArray("+\r\n") << refused;
    QTest::newRow("huge") << encoded(QByteArray(R"({"status":"401","x":")") + QByteArray(8000, 'a') + "\"}")
                          << refused;
}

void TestSasl::refusal()
{
    QFETCH(QByteArray, line);
    QFETCH(QString, reason);
    QCOMPARE(xoauth2Refusal(line), reason);
}

QTEST_APPLESS_MAIN(TestSasl)
#include "tst_sasl.moc"
