#pragma once

#include "mailcheck/conversation.h"
#include "mailcheck/security.h"

#include <QPointer>
#include <QString>
#include <QWidget>
#include <functional>
#include <memory>

class Password;
namespace app {
class TokenCommand;
}
namespace mailcheck {
class HeaderFetch;
}
class QComboBox;
class QLabel;
class QPushButton;
class TextBox;
class Timer;
class Winsock;

// The state of the POP3 conversation, shared by start-up, the check tick and the data handler.
extern QString popState;

// The account window. Besides the fields the user edits, it owns the socket and the three timers
// that drive the mail check, so it is only ever hidden, never destroyed.
class Form1 : public QWidget {
    Q_OBJECT
public:
    Form1();
    ~Form1() override;

    // The first show makes the fields' line edits.
    void setVisible(bool visible) override;

    QLabel *Label1;
    QLabel *Label2;
    QLabel *Label3;
    QLabel *Label4;
    QLabel *Label5;
    QLabel *Label6;
    QLabel *Label7;
    TextBox *Text1;    // server
    TextBox *Text2;    // account name
    TextBox *Text3;    // hidden: the plain password in use
    TextBox *Text4;    // port
    TextBox *Text5;    // hidden: notifier top, twips
    TextBox *Text6;    // hidden: notifier left, twips
    TextBox *Text7;    // masked password entry
    QComboBox *Combo1; // connection security, in the order of mailcheck::Security
    QComboBox *Combo2; // authentication: the password, the token command, Online Accounts' accounts
    QPushButton *Command1;
    QPushButton *Command2;

    Winsock *Winsock1;
    Timer *Timer1; // check
    Timer *Timer2; // shake
    Timer *Timer3; // clock

    // The conversation's texts, kept for the whole run.
    QString recvData;
    QString replyHead;
    QString mailCount;
    QString lastCount;

    void Command1_Click();
    void Command2_Click();
    void Winsock1_DataArrival(qint64 bytesTotal);
    void Winsock1_Error(const QString& description);
    void Winsock1_LineTooLong();
    void Winsock1_Encrypted();
    void Combo1_Activated(int index);
    void Combo2_Activated(int index);
    void Timer1_Timer();
    void Timer2_Timer();
    void Timer3_Timer();

    // The account's password: fills Text3 from the keyring and decides where the saves put it.
    Password& password();

    // The connection security the window holds, for the next check and the saves.
    mailcheck::Security security() const;
    void setSecurity(mailcheck::Security security);
    // Where the credentials come from, and the user's token command (settings only, no field).
    mailcheck::Auth auth() const { return m_auth; }
    void setAuth(const mailcheck::Auth& auth, const QString& tokenCommand);

    // Starts or stops the check timer: ticks every period from now on, or none until started again.
    void setChecking(bool on);
    // Shown from the menu: in front, active, with the server field ready for typing.
    void showForEditing();

    // Server, account name, password and port are all filled in. A password the keyring has not
    // given yet counts as filled in: the check waits for it.
    bool accountComplete() const;
    // The first of them that is empty, by name; empty when none is.
    QString missingField() const;

    // Starts one check: the conversation state back to "connect", the old connection dropped and a
    // new one to the server and port in the fields. Start-up and the check tick both use it. An
    // incomplete account or an unreadable port connects nowhere and says so. A password still in
    // the keyring is waited for first (bounded), without blocking the program.
    void startCheck();
    // A check out of turn (after a resume, when the network is back); the next tick follows a whole
    // period later.
    void recheck();
    // Ends a check under way without a result: nothing more goes out, nothing comes in, and a check
    // waiting for the keyring gives up its wait at once.
    void stopCheck();
    // Returns after at least that many seconds, handling events meanwhile (app/wait.h says what may
    // run inside).
    void WaitSeconds(double seconds);

signals:
    // A check has read the mailbox's count, before its result shows: the beep and the desktop
    // notification follow it (their rules are theirs, wired at start-up).
    void countRead(const QString& count);
    // A check found new messages (by their ids, whatever the count did): their lines, newest first.
    void newMessages(const QStringList& lines);
    // A check has written its result (after the blink when mail was found); outcome as in the tooltip.
    void checkFinished(const QString& outcome);
    // The notifier is back in its place after a shake.
    void shakeFinished();

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void makeFields();
    void makeSocketAndTimers();
    void connectHandlers();
    void connectOrSayWhy(const QString& passwordUnknown);
    void carryOut(const mailcheck::Step& step);
    void fetchToken();
    void tokenArrived(const QString& token, const QString& error);
    void refreshToken();
    void listAuthChoices();
    void showAuthChoice();
    void showPasswordInUse();
    mailcheck::Conversation conversation() const;
    static void whenNotifierOnScreen(QObject *context, std::function<void()> run);
    void showMailCount(const QString& command, const QString& commandState);
    void showHeaders(const QString& why);
    void endCheck(const QString& result, const QString& detail, const QString& hint = QString());
    // What the tooltip says of a check: the outcome, and that it went in clear text when it did.
    QString toolTipOutcome(const QString& outcome, const QString& hint = QString()) const;

    Password *m_password = nullptr;
    mailcheck::Security m_security = mailcheck::Security::None;
    mailcheck::Auth m_auth;
    QString m_tokenCommand;
    // The check's access token, held only while its conversation runs; never shown or stored.
    QString m_token;
    // The check waiting for a token, if any: one at a time; deleting it drops that check.
    QPointer<QObject> m_tokenWait;
    app::TokenCommand *m_tokenRunner = nullptr;
    // This check already had its one refresh of a refused token.
    bool m_refreshed = false;
    // The security of the check under way, taken when it connected.
    mailcheck::Security m_checkSecurity = mailcheck::Security::None;
    mailcheck::Login m_checkLogin = mailcheck::Login::Password;
    // The check waiting for the keyring, if any: one at a time; deleting it drops that check.
    QPointer<QObject> m_passwordWait;
    // The check's reading of the new messages' headers, when the menu's switch asks for them.
    std::unique_ptr<mailcheck::HeaderFetch> m_fetch;
    bool m_shaking = false;
    bool m_shakeAgain = false;
};
