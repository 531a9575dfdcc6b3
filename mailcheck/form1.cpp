#include "mailcheck/form1.h"

#include "app/clock.h"
#include "app/lifecycle.h"
#include "app/log.h"
#include "app/module1.h"
#include "app/onlineaccounts.h"
#include "app/password.h"
#include "app/testseams.h"
#include "app/textbox.h"
#include "app/tokencommand.h"
#include "app/twips.h"
#include "app/wait.h"
#include "app/windows.h"
#include "dialogs/dialogwindow.h"
#include "dialogs/form4.h"
#include "mailcheck/conversation.h"
#include "mailcheck/headerfetch.h"
#include "mailcheck/headers.h"
#include "mailcheck/pop3.h"
#include "mailcheck/seenids.h"
#include "mailcheck/timer.h"
#include "mailcheck/winsock.h"
#include "notifier/alerts.h"
#include "notifier/form2.h"
#include "notifier/form3.h"
#include "notifier/rules.h"

#include <QAction>
#include <QCloseEvent>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <cmath>

QString popState;

namespace {

QLabel *makeLabel(QWidget *parent, const char *name, const QString& caption, int l, int t, int w, int h)
{
    auto *label = new QLabel(caption, parent);
    label->setObjectName(QLatin1String(name));
    app::placeTwips(label, l, t, w, h);
    return label;
}

TextBox *makeField(QWidget *parent, const char *name, int l, int t, int w, int h)
{
    return new TextBox(parent, QLatin1String(name), QRect(l, t, w, h));
}

QPushButton *makeButton(QWidget *parent, const char *name, const QString& caption, int l, int t, int w, int h)
{
    auto *button = new QPushButton(caption, parent);
    button->setObjectName(QLatin1String(name));
    button->setAutoDefault(false);
    app::placeTwips(button, l, t, w, h);
    return button;
}

QString authCaption(const mailcheck::Auth& auth, const QString& address = QString())
{
    switch (auth.kind) {
    case mailcheck::Auth::Kind::Password:
        break;
    case mailcheck::Auth::Kind::Command:
        return QStringLiteral("OAuth2 (command)");
    case mailcheck::Auth::Kind::OnlineAccount:
        return QStringLiteral("Google アカウント: ") + (address.isEmpty() ? auth.accountId : address) +
               QStringLiteral(" (オンラインアカウント)");
    }
    return QStringLiteral("パスワード");
}

// Where an account of the desktop's Online Accounts is shown: its address, kept beside the choice.
constexpr int kAddressRole = Qt::UserRole + 1;

const QString kSignInAgain = QStringLiteral("sign in to the account again in Online Accounts");

using mailcheck::popstate::kConnect;
using mailcheck::popstate::kQuitSent;

const QString kCrLf = QStringLiteral("\r\n");

// The longest wait anyone may ask for; a bad argument must not hang the program.
constexpr double kLongestWait = 3600.0;

} // namespace

Form1::Form1()
{
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("アカウント設定"));
    app::sizeTwips(this, 4815, 2850);
    dialogs::applyFontsOnFirstShow(this);
    makeFields();
    makeSocketAndTimers();
    connectHandlers();
}

Form1::~Form1() = default;

void Form1::makeFields()
{
    Label1 = makeLabel(this, "Label1", QStringLiteral("サーバー名"), 120, 120, 1200, 255);
    Text1 = makeField(this, "Text1", 1350, 120, 3345, 270);
    Label2 = makeLabel(this, "Label2", QStringLiteral("アカウント名"), 120, 480, 1185, 255);
    Text2 = makeField(this, "Text2", 1350, 480, 1575, 270);
    Label3 = makeLabel(this, "Label3", QStringLiteral("パスワード"), 120, 840, 1095, 255);
    Text7 = makeField(this, "Text7", 1350, 840, 1575, 270);
    Text7->setEchoMode(QLineEdit::Password);
    Label4 = makeLabel(this, "Label4", QStringLiteral("ポート番号"), 120, 1200, 1230, 420);
    Label4->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    Text4 = makeField(this, "Text4", 1350, 1200, 525, 270);
    Label5 = makeLabel(this, "Label5", QStringLiteral("標準(110)"), 1920, 1320, 735, 285);
    Label5->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    Label6 = makeLabel(this, "Label6", QStringLiteral("接続の保護"), 120, 1680, 1230, 255);
    Combo1 = new QComboBox(this);
    Combo1->setObjectName(QStringLiteral("Combo1"));
    Combo1->addItems({QStringLiteral("SSL/TLS"), QStringLiteral("STARTTLS"),
                      QStringLiteral("暗号化なし（パスワードも平文）")});
    Combo1->setCurrentIndex(int(mailcheck::Security::None));
    app::placeTwips(Combo1, 1350, 1650, 3345, 300);
    Label7 = makeLabel(this, "Label7", QStringLiteral("認証方式"), 120, 2040, 1230, 255);
    Combo2 = new QComboBox(this);
    Combo2->setObjectName(QStringLiteral("Combo2"));
    app::placeTwips(Combo2, 1350, 2010, 3345, 300);
    showAuthChoice();
    Command1 = makeButton(this, "Command1", QStringLiteral("OK"), 3150, 2430, 615, 300);
    Command2 = makeButton(this, "Command2", QStringLiteral("キャンセル"), 3795, 2430, 900, 300);

    // Hidden fields: never shown.
    Text3 = TextBox::hidden(this, QStringLiteral("Text3"));
    Text3->setEchoMode(QLineEdit::Password);
    Text5 = TextBox::hidden(this, QStringLiteral("Text5"));
    Text6 = TextBox::hidden(this, QStringLiteral("Text6"));
}

void Form1::makeSocketAndTimers()
{
    Winsock1 = new Winsock(this);
    Winsock1->setObjectName(QStringLiteral("Winsock1"));
    Timer1 = new Timer(app::seams::checkIntervalMs(), true, this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer2 = new Timer(1, false, this);
    Timer2->setObjectName(QStringLiteral("Timer2"));
    Timer3 = new Timer(1000, true, this);
    Timer3->setObjectName(QStringLiteral("Timer3"));
    Timer3->setAlignedToSeconds(true);
}

void Form1::connectHandlers()
{
    connect(Command1, &QPushButton::clicked, this, &Form1::Command1_Click);
    connect(Command2, &QPushButton::clicked, this, &Form1::Command2_Click);
    connect(Winsock1, &Winsock::DataArrival, this, &Form1::Winsock1_DataArrival);
    connect(Winsock1, &Winsock::Error, this, &Form1::Winsock1_Error);
    connect(Winsock1, &Winsock::LineTooLong, this, &Form1::Winsock1_LineTooLong);
    connect(Winsock1, &Winsock::Encrypted, this, &Form1::Winsock1_Encrypted);
    connect(Combo1, &QComboBox::activated, this, &Form1::Combo1_Activated);
    connect(Combo2, &QComboBox::activated, this, &Form1::Combo2_Activated);
    connect(Timer1, &Timer::tick, this, &Form1::Timer1_Timer);
    connect(Timer2, &Timer::tick, this, &Form1::Timer2_Timer);
    connect(Timer3, &Timer::tick, this, &Form1::Timer3_Timer);
}

void Form1::Command1_Click()
{
    // A save still waiting for the keyring: the window is not confirmed twice.
    if (!isEnabled())
        return;
    setChecking(false);
    Timer3->setInterval(0);
    // The entry never shows the password in use, so leaving it empty keeps that password.
    if (!Text7->text().isEmpty())
        Text3->setText(Text7->text());
    Text7->clear();

    form4().showPreviews();
    form4().applyToNotifier();
    Form2& f2 = form2();
    f2.show();
    f2.activateWindow();
    f2.showClock();

    f2.showResult(QStringLiteral("Not Found e-Mail"));
    if (!accountComplete())
        f2.showResult(QStringLiteral("Please check a account"));
    setChecking(true);
    Timer3->setInterval(1000);
    // The save takes the fields before it may wait for the keyring; meanwhile nobody edits them.
    setEnabled(false);
    Module1::SaveSettings();
    setEnabled(true);
    hide();
}

Password& Form1::password()
{
    if (!m_password)
        m_password = new Password(Text3, &Form1::whenNotifierOnScreen, this);
    return *m_password;
}

void Form1::whenNotifierOnScreen(QObject *context, std::function<void()> run)
{
    Form2& notifier = form2();
    if (notifier.isOnScreen())
        run();
    else
        connect(&notifier, &Form2::firstExposed, context, std::move(run), Qt::SingleShotConnection);
}

mailcheck::Security Form1::security() const
{
    return m_security;
}

void Form1::setSecurity(mailcheck::Security security)
{
    m_security = security;
    Combo1->setCurrentIndex(int(security));
    Label5->setText(QStringLiteral("標準(%1)").arg(mailcheck::standardPort(security)));
}

void Form1::Combo1_Activated(int index)
{
    // The port follows the choice only from one standard port to the other; a port the user typed
    // stays as it is.
    const int before = mailcheck::standardPort(m_security);
    const auto choice = mailcheck::Security(index);
    const int after = mailcheck::standardPort(choice);
    if (mailcheck::portFromText(Text4->text()) == before && before != after)
        Text4->setText(QString::number(after));
    setSecurity(choice);
}

void Form1::setAuth(const mailcheck::Auth& auth, const QString& tokenCommand)
{
    m_auth = auth;
    m_tokenCommand = tokenCommand;
    showAuthChoice();
}

// The choices known without asking anyone: the password, the token command when one is set, and the
// chosen account of Online Accounts.
void Form1::showAuthChoice()
{
    Combo2->clear();
    Combo2->addItem(authCaption({}), mailcheck::authWord({}));
    const mailcheck::Auth command{mailcheck::Auth::Kind::Command, {}};
    if (!m_tokenCommand.trimmed().isEmpty() || m_auth == command)
        Combo2->addItem(authCaption(command), mailcheck::authWord(command));
    if (m_auth.kind == mailcheck::Auth::Kind::OnlineAccount)
        Combo2->addItem(authCaption(m_auth), mailcheck::authWord(m_auth));
    Combo2->setCurrentIndex(Combo2->findData(mailcheck::authWord(m_auth)));
    showPasswordInUse();
}

// Online Accounts' mail accounts, asked for when the window opens; what it says is shown as text.
void Form1::listAuthChoices()
{
    OnlineAccounts::mailAccounts(this, [this](const OnlineAccounts::AccountList& list) {
        for (const OnlineAccounts::Account& account : list.accounts) {
            const mailcheck::Auth goa{mailcheck::Auth::Kind::OnlineAccount, account.id};
            const QString caption =
                authCaption(goa, account.email.isEmpty() ? account.identity : account.email);
            int at = Combo2->findData(mailcheck::authWord(goa));
            if (at < 0) {
                Combo2->addItem(caption, mailcheck::authWord(goa));
                at = Combo2->count() - 1;
            }
            Combo2->setItemText(at, caption);
            Combo2->setItemData(at, account.email, kAddressRole);
        }
    });
}

void Form1::Combo2_Activated(int index)
{
    m_auth = mailcheck::authFromWord(Combo2->itemData(index).toString(), m_tokenCommand);
    if (m_auth.kind == mailcheck::Auth::Kind::OnlineAccount) {
        // The desktop's Google account reads its mail at Gmail's POP3 server, over TLS.
        Text1->setText(QStringLiteral("pop.gmail.com"));
        Text4->setText(QStringLiteral("995"));
        setSecurity(mailcheck::Security::Ssl);
        const QString address = Combo2->itemData(index, kAddressRole).toString();
        if (!address.isEmpty())
            Text2->setText(address);
    }
    showPasswordInUse();
}

// The password entry is greyed out while a token signs in.
void Form1::showPasswordInUse()
{
    Label3->setEnabled(!m_auth.usesToken());
    if (Text7->hasWidget())
        Text7->widget()->setEnabled(!m_auth.usesToken());
}

void Form1::setChecking(bool on)
{
    Timer1->setInterval(on ? app::seams::checkIntervalMs() : 0);
}

void Form1::showForEditing()
{
    show();
    raise();
    activateWindow();
    Text1->widget()->setFocus(Qt::OtherFocusReason);
}

bool Form1::accountComplete() const
{
    return missingField().isEmpty();
}

QString Form1::missingField() const
{
    const std::pair<const TextBox *, QString> fields[] = {
        {Text1, tr("server")}, {Text2, tr("account name")}, {Text3, tr("password")}, {Text4, tr("port")}};
    for (const auto& [field, name] : fields) {
        // A token signs in without the password.
        if (field == Text3 && (m_auth.usesToken() || (m_password && m_password->awaited())))
            continue;
        if (field->text().isEmpty())
            return name;
    }
    return {};
}

void Form1::Command2_Click()
{
    hide();
}

void Form1::Winsock1_DataArrival(qint64)
{
    Winsock1->GetData(recvData);
    replyHead = recvData.left(4);
    carryOut(conversation().next(popState, recvData, Winsock1->holdsUnreadData()));
}

void Form1::Winsock1_Encrypted()
{
    carryOut(conversation().tlsReady(popState, Winsock1->holdsUnreadData()));
}

mailcheck::Conversation Form1::conversation() const
{
    return mailcheck::Conversation({Text2->text(), Text3->text(), m_token}, m_checkSecurity, m_checkLogin,
                                   m_fetch.get());
}

void Form1::carryOut(const mailcheck::Step& step)
{
    switch (step.kind) {
    case mailcheck::Step::Kind::Ignore:
        return;
    case mailcheck::Step::Kind::Send:
        Winsock1->SendData(step.command + kCrLf);
        popState = step.state;
        return;
    case mailcheck::Step::Kind::Advance:
        popState = step.state;
        return;
    case mailcheck::Step::Kind::StartTls:
        popState = step.state;
        if (!Winsock1->startTls())
            endCheck(QStringLiteral("Connection failed"), tr("the server sent data before TLS began"));
        return;
    case mailcheck::Step::Kind::Finish:
        if (step.tokenRefused && m_auth.kind == mailcheck::Auth::Kind::OnlineAccount) {
            if (!m_refreshed) {
                refreshToken();
                return;
            }
            endCheck(step.result, step.detail, step.hint + QStringLiteral("; ") + kSignInAgain);
            return;
        }
        endCheck(step.result, step.detail, step.hint);
        return;
    case mailcheck::Step::Kind::CountRead:
        m_token.clear();
        popState = step.state;
        mailCount = step.count;
        showMailCount(step.command, step.commandState);
        return;
    case mailcheck::Step::Kind::HeadersRead:
        Winsock1->SendData(step.command + kCrLf);
        popState = step.state;
        showHeaders(step.detail);
        return;
    }
}

void Form1::Winsock1_Error(const QString& description)
{
    Winsock1->Close();
    // The count is shown already: only the reading of the headers ends.
    if (mailcheck::isHeaderState(popState)) {
        popState = kConnect;
        showHeaders(description);
        return;
    }
    // After QUIT the server hangs up, or the conversation's time runs out: both are normal.
    if (popState == kQuitSent)
        return;
    endCheck(QStringLiteral("Connection failed"), description);
}

void Form1::Winsock1_LineTooLong()
{
    if (mailcheck::isHeaderState(popState)) {
        Winsock1->Close();
        popState = kConnect;
        showHeaders(tr("reply line too long"));
        return;
    }
    if (popState == kQuitSent) {
        Winsock1->Close();
        return;
    }
    endCheck(QStringLiteral("Server error"), tr("reply line too long"));
}

void Form1::Timer1_Timer()
{
    // The fields may be half typed while the account window is open: nothing goes out with them.
    if (isVisible())
        return;
    startCheck();
}

void Form1::Timer2_Timer()
{
    if (m_shaking) {
        // Armed again while shaking: one more shake follows this one.
        if (Timer2->isEnabled())
            m_shakeAgain = true;
        Timer2->setEnabled(false);
        return;
    }
    // This enable is used up; a new one while the window shakes asks for another shake.
    Timer2->setEnabled(false);
    if (!form3().shindou->isChecked())
        return;
    m_shaking = true;
    do {
        m_shakeAgain = false;
        notifier::shake(form2(), [this](double s) { WaitSeconds(s); });
        emit shakeFinished();
    } while (m_shakeAgain && form3().shindou->isChecked() && !app::isEnding());
    m_shaking = false;
}

void Form1::Timer3_Timer()
{
    form2().showClock();
}

void Form1::startCheck()
{
    popState = kConnect;
    Winsock1->Close();
    m_token.clear();
    if (m_auth.usesToken()) {
        fetchToken();
        return;
    }
    if (!missingField().isEmpty() || !password().awaited()) {
        connectOrSayWhy(QString());
        return;
    }
    // One check waits for the keyring at a time; ticks meanwhile leave it to that one.
    if (m_passwordWait)
        return;
    m_passwordWait = new QObject(this);
    password().fetch(m_passwordWait, [this](const QString& unknownWhy) {
        m_passwordWait->deleteLater();
        m_passwordWait.clear();
        connectOrSayWhy(unknownWhy);
    });
}

// The access token first, fresh for every check (Online Accounts refreshes its own); nothing is asked
// of another process before the notifier is on screen, nor for an account that cannot use it.
void Form1::fetchToken()
{
    QString why;
    if (m_security == mailcheck::Security::None)
        why = tr("OAuth2 sign-in needs SSL/TLS or STARTTLS");
    else if (m_auth.kind == mailcheck::Auth::Kind::Command && m_tokenCommand.trimmed().isEmpty())
        why = tr("the token command is empty");
    if (!why.isEmpty() || !missingField().isEmpty() || !mailcheck::portFromText(Text4->text())) {
        connectOrSayWhy(why);
        return;
    }
    if (m_tokenWait)
        return;
    m_refreshed = false;
    m_checkSecurity = m_security;
    m_tokenWait = new QObject(this);
    whenNotifierOnScreen(m_tokenWait, [this] {
        if (m_auth.kind == mailcheck::Auth::Kind::OnlineAccount) {
            OnlineAccounts::accessToken(
                m_auth.accountId, m_tokenWait,
                [this](const OnlineAccounts::Token& token) { tokenArrived(token.token, token.error); });
            return;
        }
        if (!m_tokenRunner) {
            m_tokenRunner = new app::TokenCommand(this);
            connect(m_tokenRunner, &app::TokenCommand::finished, this, &Form1::tokenArrived);
        }
        m_tokenRunner->start(m_tokenCommand);
    });
}

void Form1::tokenArrived(const QString& token, const QString& error)
{
    if (!m_tokenWait)
        return;
    m_tokenWait->deleteLater();
    m_tokenWait.clear();
    if (error.isEmpty()) {
        m_token = token;
        connectOrSayWhy(QString());
        return;
    }
    // Without a token there is no login, and never the password instead. Only a refresh that failed
    // after the server refused the token asks the user to sign in again.
    endCheck(QStringLiteral("Login failed"), error, m_refreshed ? kSignInAgain : QString());
}

// A refused token, once per check: Online Accounts refreshes it, and a new connection tries again.
void Form1::refreshToken()
{
    m_refreshed = true;
    Winsock1->Close();
    popState = kConnect;
    m_token.clear();
    m_tokenWait = new QObject(this);
    const QString id = m_auth.accountId;
    OnlineAccounts::ensureCredentials(id, m_tokenWait, [this, id](const QString& error) {
        if (!error.isEmpty()) {
            tokenArrived(QString(), error);
            return;
        }
        OnlineAccounts::accessToken(id, m_tokenWait, [this](const OnlineAccounts::Token& token) {
            tokenArrived(token.token, token.error);
        });
    });
}

void Form1::connectOrSayWhy(const QString& passwordUnknown)
{
    // Nothing goes out for an account that is not filled in, and no password to a port nobody
    // meant: an unreadable port must not quietly become plain 110.
    const QString missing = missingField();
    const std::optional<int> port = mailcheck::portFromText(Text4->text());
    QString why = passwordUnknown;
    if (why.isEmpty() && !missing.isEmpty())
        why = tr("the %1 is empty").arg(missing);
    else if (why.isEmpty() && !port)
        why = tr("the port \"%1\" is not a number from 1 to 65535").arg(Text4->text());
    if (!why.isEmpty()) {
        form2().showResult(QStringLiteral("Please check a account"),
                           QStringLiteral("Please check a account: ") + notifier::detailText(why));
        return;
    }
    m_checkSecurity = m_security;
    // Chosen once per check: a token sign-in never falls back to the password.
    m_checkLogin = m_auth.usesToken() ? mailcheck::Login::Xoauth2 : mailcheck::Login::Password;
    m_fetch.reset();
    if (form3().checkpreview->isChecked()) {
        const QByteArray key = mailcheck::SeenIds::accountKey(Text1->text(), Text2->text());
        m_fetch = std::make_unique<mailcheck::HeaderFetch>(
            [key] { return mailcheck::SeenIds::load(key); },
            [key](const QSet<QByteArray>& ids) {
                const QString problem = mailcheck::SeenIds::save(key, ids);
                if (!problem.isEmpty())
                    app::tell(QStringLiteral("the seen messages were not saved: ") + problem);
            });
    }
    Winsock1->Connect(mailcheck::hostFromText(Text1->text()), *port, m_checkSecurity);
}

void Form1::stopCheck()
{
    // Stopped while waiting for the keyring or a token: the answer connects nowhere, and a restart
    // may check.
    delete m_passwordWait;
    delete m_tokenWait;
    if (m_tokenRunner)
        m_tokenRunner->stop();
    m_token.clear();
    Winsock1->Close();
    popState = kConnect;
}

void Form1::recheck()
{
    Timer1->setInterval(Timer1->interval());
    Timer1_Timer();
}

void Form1::WaitSeconds(double seconds)
{
    if (!(seconds > 0))
        return;
    // A monotonic clock: neither midnight nor a change of the system time stretches the wait.
    const qint64 total = qint64(std::ceil(std::min(seconds, kLongestWait) * 1000.0));
    app::sleepWhileEventsRun(QDeadlineTimer(total, Qt::PreciseTimer));
}

void Form1::setVisible(bool visible)
{
    // The line edits are made in tab order, after the buttons: OK has the focus when it first shows.
    if (visible && !Text1->hasWidget()) {
        QWidget *previous = Command2;
        for (TextBox *field : {Text1, Text2, Text7, Text4}) {
            setTabOrder(previous, field->widget());
            previous = field->widget();
        }
        setTabOrder(previous, Combo1);
        setTabOrder(Combo1, Combo2);
    }
    QWidget::setVisible(visible);
    if (visible) {
        showPasswordInUse();
        listAuthChoices();
    }
}

void Form1::closeEvent(QCloseEvent *event)
{
    // The socket and the timers live on this window: closing only hides it.
    event->ignore();
    hide();
}

void Form1::showMailCount(const QString& command, const QString& commandState)
{
    if (mailCount == QLatin1String("0")) {
        popState = kConnect;
        Winsock1->Close();
        // The messages listed are gone.
        form2().showPreview({});
        const QString outcome = notifier::messagesText(mailCount);
        form2().showResult(QStringLiteral("Not Found e-Mail"), toolTipOutcome(outcome),
                           form4().Colour[1]->text());
        emit countRead(mailCount);
        emit checkFinished(outcome);
        return;
    }
    if (popState == kQuitSent)
        return;
    // The socket stays open: the server closes it after QUIT, or the next check does. When the
    // headers are wanted, UIDL goes out instead and QUIT after them.
    if (command.isEmpty()) {
        Winsock1->SendData(QStringLiteral("quit") + kCrLf);
        popState = kQuitSent;
    } else {
        Winsock1->SendData(command + kCrLf);
        popState = commandState;
    }
    emit countRead(mailCount);
    const bool shake = form3().shindou->isChecked();
    Timer2->setEnabled(shake);
    if (!shake)
        m_shakeAgain = false;
    const QString outcome = notifier::messagesText(mailCount);
    form2().showResult(QStringLiteral("You have ") + mailCount + QStringLiteral(" e-Mail") + kCrLf,
                       toolTipOutcome(outcome));
    notifier::blink(
        form2(), [](int slot) { return form4().Colour[slot]->text(); }, [this](double s) { WaitSeconds(s); });
    emit checkFinished(outcome);
}

// The new messages' senders and subjects in the tooltip, and to whoever announces them. A list with
// nothing new in it keeps the one before; why the reading ended early is said after what was read.
void Form1::showHeaders(const QString& why)
{
    QList<mailcheck::MessageHeaders> messages;
    if (m_fetch) {
        m_fetch->cutOff();
        for (const QByteArray& block : m_fetch->headers())
            messages << mailcheck::decodeHeaders(block);
    }
    const QStringList lines = notifier::previewLines(messages);
    QStringList shown = lines;
    if (!why.isEmpty())
        shown << tr("headers not read: %1").arg(notifier::detailText(why));
    if (!shown.isEmpty())
        form2().showPreview(shown);
    if (!lines.isEmpty())
        emit newMessages(lines);
}

void Form1::endCheck(const QString& result, const QString& detail, const QString& hint)
{
    Winsock1->Close();
    popState = kConnect;
    m_token.clear();
    const QString why = notifier::detailText(detail);
    form2().showResult(result,
                       toolTipOutcome(why.isEmpty() ? result : result + QStringLiteral(": ") + why, hint),
                       form4().Colour[1]->text());
    emit checkFinished(result);
}

QString Form1::toolTipOutcome(const QString& outcome, const QString& hint) const
{
    QStringList notes;
    if (m_checkSecurity == mailcheck::Security::None)
        notes << tr("not encrypted");
    if (!hint.isEmpty())
        notes << hint;
    return notes.isEmpty()
               ? outcome
               : outcome + QStringLiteral(" (") + notes.join(QStringLiteral("; ")) + QLatin1Char(')');
}
