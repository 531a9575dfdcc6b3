#include "app/module1.h"

#include "app/busreach.h"
#include "app/conversions.h"
#include "app/keyring.h"
#include "app/password.h"
#include "app/settingsstore.h"
#include "app/singleinstance.h"
#include "app/textbox.h"
#include "app/windows.h"
#include "dialogs/form4.h"
#include "dialogs/form5.h"
#include "mailcheck/form1.h"
#include "mailcheck/recheck.h"
#include "mailcheck/timer.h"
#include "mailcheck/winsock.h"
#include "notifier/desktopnotice.h"
#include "notifier/eventsound.h"
#include "notifier/form2.h"
#include "notifier/form3.h"
#include "scramble/encrypt.h"

#include <QAction>
#include <QCoreApplication>
#include <QEvent>
#include <QPushButton>
#include <QTimer>

namespace Module1 {

namespace {

// Runs work once, after the window's first paint: what is needed only later must not hold up the
// notifier's first appearance.
class AfterFirstPaint : public QObject {
public:
    AfterFirstPaint(QWidget *window, std::function<void()> work) : QObject(window), m_work(std::move(work))
    {
        window->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Paint) {
            watched->removeEventFilter(this);
            // Queued, so the paint itself and its flush to the screen come first.
            QTimer::singleShot(0, QCoreApplication::instance(), std::move(m_work));
            deleteLater();
        }
        return false;
    }

private:
    std::function<void()> m_work;
};

void readSwitch(const Store::Reader& stored, QLatin1String key, QAction *item)
{
    if (const auto value = app::textToBool(stored.read(key)))
        item->setChecked(*value);
}

// The notification switches and the mail program, the first windows that start-up creates.
void readSwitchesAndMailer(const Store::Reader& stored)
{
    readSwitch(stored, Store::Key::front, form3().mnufont);
    readSwitch(stored, Store::Key::shindou, form3().shindou);
    readSwitch(stored, Store::Key::checkbeep, form3().checkbeep);
    readSwitch(stored, Store::Key::notify, form3().checknotify);
    readSwitch(stored, Store::Key::preview, form3().checkpreview);
    form5().txtAppMail->setText(stored.read(Store::Key::mailer));
}

// The account window's fields: the first of them creates it, and from then on its timers run.
void readAccountAndPosition(const Store::Reader& stored)
{
    Form1& f1 = form1();
    f1.Text1->setText(stored.read(Store::Key::server));
    f1.Text2->setText(stored.read(Store::Key::user));
    f1.Text3->setText(stored.read(Store::Key::pass));
    f1.password().loaded(Keyring::key(f1.Text2->text(), f1.Text1->text()), !f1.Text3->text().isEmpty());
    DecodePasswordField();
    f1.Text4->setText(stored.read(Store::Key::port));
    f1.setSecurity(mailcheck::securityFromWord(stored.read(Store::Key::security), f1.Text4->text()));
    const QString tokenCommand = stored.read(Store::Key::tokencommand);
    f1.setAuth(mailcheck::authFromWord(stored.read(Store::Key::auth), tokenCommand), tokenCommand);
    f1.Text5->setText(stored.read(Store::Key::top));
    f1.Text6->setText(stored.read(Store::Key::left));
}

// The first use of the notifier runs its load step, which places it from Text5 and Text6; placing
// it again here is intended: a tick handled while the password was decoded may have created the
// notifier before the position fields were filled.
void placeNotifier()
{
    Form1& f1 = form1();
    const auto top = app::textToSingle(f1.Text5->text());
    Form2& f2 = form2();
    if (top)
        f2.setTop(*top);
    if (const auto left = app::textToSingle(f1.Text6->text()))
        f2.setLeft(*left);
    // A place from a larger or a second monitor comes back where the whole notifier shows; the next
    // save stores the new place, and a reload of the notifier finds it in the hidden fields.
    if (f2.bringOnScreen()) {
        f1.Text5->setText(app::singleToText(float(f2.Top())));
        f1.Text6->setText(app::singleToText(float(f2.Left())));
    }
}

// Only the text colour's field decides between the stored colours and the colour dialog's
// defaults; the defaults reach the store only when the dialog saves.
void readColours(const Store::Reader& stored)
{
    Form4& f4 = form4();
    for (int i = 0; i < 4; ++i)
        f4.Colour[i]->setText(stored.read(Store::Key::colour[i]));
    if (f4.Colour[0]->text().isEmpty())
        f4.putDefaults();
    else
        f4.showPreviews();
    f4.applyToNotifier();
}

// The exit save runs while the session ends: the keyring gets a few seconds, then the file has it.
constexpr int kExitKeyringWaitMs = 3000;

// The account as the window shows it when a save begins. The save may wait for the keyring while
// events run (app/wait.h): everything it writes comes from this, never from the live fields.
struct Account {
    QString server;
    QString user;
    QString password;
    QString port;
    mailcheck::Security security;
    mailcheck::Auth auth;
};

Account takeAccount()
{
    const Form1& f1 = form1();
    return {f1.Text1->text(), f1.Text2->text(), f1.Text3->text(), f1.Text4->text(), f1.security(), f1.auth()};
}

// Steps shared by both saves, up to the position. The keyring is written before anything else, so
// the file never goes without a password that the keyring does not have.
void saveAccount(const Account& account, Password::Save save, QDeadlineTimer keyringDeadline)
{
    const QString pass = form1().password().storeForSave(Keyring::key(account.user, account.server),
                                                         account.password, save, keyringDeadline);
    Store::write(Store::Key::server, account.server);
    Store::write(Store::Key::user, account.user);
    Store::write(Store::Key::pass, pass);
    Store::write(Store::Key::port, account.port);
    Store::write(Store::Key::security, mailcheck::securityWord(account.security));
    Store::write(Store::Key::auth, mailcheck::authWord(account.auth));
}

void savePositionAndSwitches(QDeadlineTimer keyringDeadline)
{
    Store::write(Store::Key::top, app::singleToText(float(form2().Top())));
    Store::write(Store::Key::left, app::singleToText(float(form2().Left())));
    Store::write(Store::Key::front, app::boolToText(form3().mnufont->isChecked()));
    Store::write(Store::Key::shindou, app::boolToText(form3().shindou->isChecked()));
    Store::write(Store::Key::checkbeep, app::boolToText(form3().checkbeep->isChecked()));
    Store::write(Store::Key::notify, app::boolToText(form3().checknotify->isChecked()));
    Store::write(Store::Key::preview, app::boolToText(form3().checkpreview->isChecked()));
    form1().password().saved(Store::commit(), keyringDeadline);
    form1().Winsock1->Close();
}

} // namespace

bool Main()
{
    if (app::anotherInstanceRunning()) {
        app::showAlreadyRunningMessage();
        return false;
    }
    const Store::Reader stored;
    readSwitchesAndMailer(stored);
    readAccountAndPosition(stored);
    placeNotifier();
    readColours(stored);

    Form2& f2 = form2();
    f2.show();
    f2.activateWindow();
    // A settings file that cannot be read or saved is told where a desktop user looks.
    f2.showProblem(stored.problem());
    Store::setProblemHandler([](const QString& problem) {
        // A save at the very end must not bring the notifier back.
        if (form2Exists())
            form2().showProblem(problem);
    });
    f2.showResult(QStringLiteral("Not Found e-Mail"));
    f2.showClock();
    if (!form1().accountComplete())
        f2.showResult(QStringLiteral("Please check a account"));

    form1().startCheck();
    f2.Command1->setFocus();
    return true;
}

void watchAfterFirstPaint()
{
    connectAlerts();
    new AfterFirstPaint(&form2(), [] {
        // Rechecks after a resume and when the network is back, while checks run.
        auto *watch = new mailcheck::RecheckWatch([] { return form1().Timer1->isRunning(); },
                                                  [] { form1().recheck(); }, &form1());
        watch->start();
    });
}

void connectAlerts(std::function<void()> beep)
{
    Form1& f1 = form1();
    const QString name = QStringLiteral("alerts");
    delete f1.findChild<QObject *>(name, Qt::FindDirectChildrenOnly);
    // Lives as long as the account window it listens to.
    auto *alerts = new QObject(&f1);
    alerts->setObjectName(name);
    if (!beep) {
        auto *sound = new notifier::SoundPlayer(QByteArrayLiteral("libcanberra.so.0"), {}, 3000, alerts);
        beep = [sound] { sound->play(); };
    }
    auto *notice = new notifier::DesktopNotice(alerts);
    QObject::connect(notice, &notifier::DesktopNotice::busWanted, notice, [notice] {
        app::reachBus(
            QDBusConnection::SessionBus, notice,
            [notice](const QDBusConnection& bus, const QString& failure) { notice->setBus(bus, failure); },
            [notice](QDBusConnection& bus) { notice->listen(bus); });
    });
    // Choosing the notification does what the notifier's corner button does.
    QObject::connect(notice, &notifier::DesktopNotice::defaultAction, notice,
                     [] { form2().Command1_Click(); });
    QObject::connect(qApp, &QCoreApplication::aboutToQuit, notice, [notice] { notice->closeAtExit(); });
    QObject::connect(&f1, &Form1::countRead, alerts, [beep, notice](const QString& count) {
        Form1& f1 = form1();
        const notifier::BeepStep step =
            notifier::beepStep(f1.lastCount, count, form3().checkbeep->isChecked());
        f1.lastCount = step.lastCount;
        if (step.beep)
            beep();
        notice->countRead(count, form3().checknotify->isChecked(), f1.Text2->text(), f1.Text1->text());
    });
    QObject::connect(&f1, &Form1::newMessages, notice, [notice](const QStringList& lines) {
        notice->newMessages(lines, form3().checknotify->isChecked());
    });
}

void SaveSettings()
{
    const Account account = takeAccount();
    const QDeadlineTimer keyringDeadline(Password::waitMs());
    saveAccount(account, Password::Save::Ok, keyringDeadline);
    form1().Text5->setText(app::singleToText(float(form2().Top())));
    form1().Text6->setText(app::singleToText(float(form2().Left())));
    savePositionAndSwitches(keyringDeadline);
}

void SaveSettingsOnExit()
{
    const Account account = takeAccount();
    const QDeadlineTimer keyringDeadline(kExitKeyringWaitMs);
    saveAccount(account, Password::Save::Exit, keyringDeadline);
    savePositionAndSwitches(keyringDeadline);
}

void DecodePasswordField()
{
    const QString stored = form1().Text3->text();
    form1().Text3->setText(Encrypt::DecodePassword(stored));
}

} // namespace Module1
