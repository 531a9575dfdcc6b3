#include "app/textbox.h"
#include "app/windows.h"
#include "fuzzsupport.h"
#include "mailcheck/form1.h"
#include "mailcheck/pop3.h"
#include "mailcheck/winsock.h"
#include "notifier/form2.h"
#include "notifier/form3.h"

#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QRegularExpression>

#include <cstddef>
#include <cstdint>
#include <fuzzer/FuzzedDataProvider.h>

// What a server says, in any pieces, through the line framing and the reply handling the socket
// feeds, interleaved with check ticks and socket errors. The notifier must only ever show one of
// its result lines and the conversation must stay in one of its resting states.
namespace {

void checkFraming(FuzzedDataProvider& input)
{
    const qsizetype maxLine = input.ConsumeIntegralInRange<qsizetype>(1, 2 * mailcheck::LineFramer::kMaxLine);
    mailcheck::LineFramer framer(maxLine);
    QByteArray fed, taken;
    while (input.remaining_bytes() > 0) {
        const QByteArray chunk = QByteArray::fromStdString(
            input.ConsumeRandomLengthString(input.ConsumeIntegralInRange<std::size_t>(1, 3 * 4096)));
        const bool fits = framer.append(chunk);
        fed += chunk;
        while (framer.hasLine()) {
            const QByteArray line = framer.takeLine();
            FUZZ_REQUIRE(line.endsWith('\n') && line.count('\n') == 1 && line.size() <= maxLine + 1,
                         "line of %lld bytes", static_cast<long long>(line.size()));
            taken += line;
        }
        FUZZ_REQUIRE(fits == !framer.overflowed(), "append result");
        FUZZ_REQUIRE(framer.pendingBytes() <= maxLine, "pending %lld",
                     static_cast<long long>(framer.pendingBytes()));
        if (!framer.overflowed())
            FUZZ_REQUIRE(taken.size() + framer.pendingBytes() == fed.size() && fed.startsWith(taken),
                         "bytes lost or invented");
    }
}

bool isRestingState(const QString& state)
{
    static const QStringList states = {QStringLiteral("connect"), QStringLiteral("pass"),
                                       QStringLiteral("stat"), QStringLiteral("allOK"),
                                       QStringLiteral("connectQQQQ")};
    return states.contains(state);
}

bool isResultLine(const QString& text)
{
    static const QStringList fixed = {QString(),
                                      QStringLiteral("Not Found e-Mail"),
                                      QStringLiteral("Please check a account"),
                                      QStringLiteral("Login failed"),
                                      QStringLiteral("Server busy"),
                                      QStringLiteral("Server error"),
                                      QStringLiteral("Connection failed")};
    static const QRegularExpression found(QStringLiteral("\\AYou have [1-9][0-9]* e-Mail\r\n\\z"));
    return fixed.contains(text) || found.match(text).hasMatch();
}

void checkConversation(FuzzedDataProvider& input)
{
    Form1& f1 = form1();
    Form2& f2 = form2();
    popState = QStringLiteral("connect");
    f1.Winsock1->Close();
    f1.recvData.clear();
    f1.replyHead.clear();
    f1.mailCount.clear();
    f1.lastCount.clear();
    f2.Label1->clear();
    form3().checkbeep->setChecked(input.ConsumeBool());

    for (int step = 0; step < 64 && input.remaining_bytes() > 0; ++step) {
        switch (input.ConsumeIntegralInRange(0, 9)) {
        case 0:
            f1.Timer1_Timer(); // no server is set: this resets the conversation and asks for one
            break;
        case 1:
            f1.Winsock1_Error(QStringLiteral("fuzzed socket error"));
            break;
        default:
            f1.Winsock1->feedForTest(QByteArray::fromStdString(
                input.ConsumeRandomLengthString(input.ConsumeIntegralInRange<std::size_t>(1, 3 * 4096))));
            break;
        }
        FUZZ_REQUIRE(isRestingState(popState), "state \"%s\"", qPrintable(popState));
        FUZZ_REQUIRE(isResultLine(f2.Label1->text()), "result line \"%s\"", qPrintable(f2.Label1->text()));
        FUZZ_REQUIRE(
            f1.mailCount.isEmpty() ||
                QRegularExpression(QStringLiteral("\\A(0|[1-9][0-9]*)\\z")).match(f1.mailCount).hasMatch(),
            "count \"%s\"", qPrintable(f1.mailCount));
        FUZZ_REQUIRE(f2.toolTip().size() < 1024, "tooltip of %lld characters",
                     static_cast<long long>(f2.toolTip().size()));
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    fuzzsupport::startApplication(true);
    Form1& f1 = form1();
    f1.Text2->setText(QStringLiteral("fuzz"));
    f1.Text3->setText(QStringLiteral("secret"));
    form3().shindou->setChecked(false);
    form2();
    // The blink's waits would cost two seconds an input; with the application told to quit, every
    // wait returns at once while the blink still runs through its colours.
    QCoreApplication::exit(0);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    FuzzedDataProvider input(data, size);
    if (input.ConsumeIntegralInRange(0, 3) == 0)
        checkFraming(input);
    else
        checkConversation(input);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    return 0;
}
