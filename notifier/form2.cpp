#include "notifier/form2.h"

#include "app/clock.h"
#include "app/colour.h"
#include "app/conversions.h"
#include "app/lifecycle.h"
#include "app/module1.h"
#include "app/statusprobe.h"
#include "app/textbox.h"
#include "app/twips.h"
#include "app/windows.h"
#include "app/x11window.h"
#include "dialogs/form5.h"
#include "mailcheck/form1.h"
#include "notifier/form3.h"
#include "notifier/look.h"
#include "notifier/mailprogram.h"

#include <QAction>
#include <QCloseEvent>
#include <QDateTime>
#include <QHelpEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QToolTip>
#include <QWindow>

using notifier::Control;

namespace {

const QString kTitle = QStringLiteral("Vurk_メールチェッカー");

void showMessage(QMessageBox::Icon icon, const QString& text)
{
    QMessageBox box(icon, kTitle, text, QMessageBox::Ok);
    box.exec();
}

} // namespace

Form2::Form2()
{
    setObjectName(QStringLiteral("Form2"));
    setWindowTitle(kTitle);
    setWindowFlags(Qt::Window | Qt::FramelessWindowHint);
    setFixedSize(121, 37);
    // The notifier is almost never the active window, and the tooltip is where a failure's reason is.
    setAttribute(Qt::WA_AlwaysShowToolTips);
    app::keepOutOfTaskbar(this);

    // Created back to front, so each control lies above the ones before it.
    Label3 = new QLabel(this);
    Label3->setObjectName(QStringLiteral("Label3"));
    Label3->setGeometry(7, 5, 107, 27);
    Label3->setAutoFillBackground(true);
    Label1 = new notifier::LineLabel(this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setGeometry(8, 6, 107, 15);
    Label2 = new notifier::LineLabel(this);
    Label2->setObjectName(QStringLiteral("Label2"));
    Label2->setGeometry(8, 18, 108, 13);
    for (QLabel *line : {Label1, Label2})
        line->setFont(notifier::lineFont());
    Command1 = new QPushButton(this);
    Command1->setObjectName(QStringLiteral("Command1"));
    Command1->setGeometry(114, -3, 7, 8);
    Command1->setToolTip(QStringLiteral("メーラーを起動する"));
    Command1->setAutoDefault(false);

    m_position = QPoint(app::twipsToPixelsX(5265), app::twipsToPixelsY(4140));
    move(m_position);
    connect(Command1, &QPushButton::clicked, this, &Form2::Command1_Click);
}

Form2::~Form2() = default;

void Form2::showResult(const QString& line, const QString& outcome, const QString& panelColour)
{
    Label1->setText(line);
    if (!panelColour.isEmpty())
        setPanelColour(panelColour);
    if (!outcome.isEmpty()) {
        m_outcome = notifier::outcomeText(QDateTime::currentDateTime(), outcome);
        updateToolTip();
    }
    app::reportStatus(line, outcome);
}

void Form2::setPanelColour(const QString& colourText)
{
    app::setBackColourText(Label3, colourText);
}

void Form2::showClock()
{
    // The date first, then that caption read back with a space and the time appended.
    Label2->setText(app::currentDateText());
    Label2->setText(Label2->text() + QLatin1Char(' ') + app::currentTimeText());
}

void Form2::showProblem(const QString& problem)
{
    if (problem == m_problem)
        return;
    m_problem = problem;
    updateToolTip();
}

void Form2::showPreview(const QStringList& lines)
{
    if (lines == m_preview)
        return;
    m_preview = lines;
    updateToolTip();
    if (!lines.isEmpty())
        app::reportStatus(Label1->text(), QStringLiteral("preview: ") + lines.join(QStringLiteral(" / ")));
}

void Form2::updateToolTip()
{
    const QStringList lines = QStringList{m_problem, m_outcome} + m_preview;
    // toolTip() keeps each line whole for whoever reads it; the tip on screen is wrapped.
    setToolTip(notifier::shownToolTip(lines, 0));
    m_shownToolTip = notifier::shownToolTip(lines, notifier::kToolTipColumns);
}

double Form2::Top() const
{
    return m_position.y() * app::twipsPerPixelY();
}

double Form2::Left() const
{
    return m_position.x() * app::twipsPerPixelX();
}

void Form2::setTop(double twips)
{
    moveToPixels(QPoint(m_position.x(), app::twipsToPixelsY(twips)));
}

void Form2::setLeft(double twips)
{
    moveToPixels(QPoint(app::twipsToPixelsX(twips), m_position.y()));
}

void Form2::moveToPixels(const QPoint& topLeft)
{
    m_position = topLeft;
    move(topLeft);
}

bool Form2::bringOnScreen()
{
    const QPoint place = Docking::visiblePlace(this, m_position);
    if (place == m_position)
        return false;
    moveToPixels(place);
    return true;
}

void Form2::shakeToPixels(const QPoint& topLeft)
{
    m_position = topLeft;
    if (!app::moveNativeWindow(this, topLeft))
        move(topLeft);
}

void Form2::setTopmost(bool topmost)
{
    // setWindowFlag() would hide the window and re-create its native window; on X11 changing the
    // flags of the existing one only switches _NET_WM_STATE_ABOVE.
    Qt::WindowFlags flags = windowFlags();
    flags.setFlag(Qt::WindowStaysOnTopHint, topmost);
    overrideWindowFlags(flags);
    if (QWindow *handle = windowHandle())
        handle->setFlags(flags);
}

bool Form2::isTopmost() const
{
    return windowFlags().testFlag(Qt::WindowStaysOnTopHint);
}

void Form2::Form_Load()
{
    if (const auto top = app::textToSingle(form1().Text5->text()))
        setTop(*top);
    if (const auto left = app::textToSingle(form1().Text6->text()))
        setLeft(*left);
    if (form3().mnufont->isChecked())
        setTopmost(true);
    Docking::AttachDocking(this);
    Command1->setFocus();
}

void Form2::Form_MouseDown(Qt::MouseButton button, QPoint position, QPoint cursor)
{
    if (notifier::pressStartsDrag(Control::Form, button))
        beginMove(position, cursor);
}

void Form2::Label1_MouseDown(Qt::MouseButton button, QPoint position, QPoint cursor)
{
    if (notifier::pressStartsDrag(Control::Label1, button))
        beginMove(position, cursor);
}

void Form2::Label2_MouseDown(Qt::MouseButton button, QPoint position, QPoint cursor)
{
    if (notifier::pressStartsDrag(Control::Label2, button))
        beginMove(position, cursor);
}

void Form2::Form_Click()
{
    showPopupMenu();
}

void Form2::Label1_Click()
{
    showPopupMenu();
}

void Form2::Label2_Click()
{
    showPopupMenu();
}

void Form2::Label3_Click()
{
    showPopupMenu();
}

void Form2::Command1_Click()
{
    const QString commandLine = form5().txtAppMail->text();
    if (commandLine.isEmpty()) {
        showMessage(QMessageBox::NoIcon, QStringLiteral("起動させたいメーラの設定を行ってください"));
        return;
    }
    const QString failure = notifier::startCommandLine(commandLine);
    if (!failure.isEmpty())
        showMessage(QMessageBox::Warning, QStringLiteral("メーラを起動できませんでした。\n%1\n%2")
                                              .arg(notifier::shownCommandLine(commandLine),
                                                   notifier::withoutDirectionControls(failure)));
}

void Form2::Form_QueryUnload(int&, int unloadMode)
{
    if (unloadMode == notifier::UnloadAppWindows)
        Module1::SaveSettingsOnExit();
}

void Form2::Form_Unload(int&)
{
    Module1::SaveSettingsOnExit();
}

void Form2::setMoveHooks(std::function<void(Docking::Point)> started,
                         std::function<void(Docking::Rect&, Docking::Point)> moving)
{
    m_moveStarted = std::move(started);
    m_moveStep = std::move(moving);
}

bool Form2::event(QEvent *event)
{
    if (event->type() == QEvent::ToolTip) {
        if (m_shownToolTip.isEmpty())
            event->ignore();
        else
            QToolTip::showText(static_cast<QHelpEvent *>(event)->globalPos(), m_shownToolTip, this);
        return true;
    }
    if (event->type() == QEvent::Show && !m_placementChecked && windowHandle())
        windowHandle()->installEventFilter(this);
    return QWidget::event(event);
}

bool Form2::eventFilter(QObject *watched, QEvent *event)
{
    // Some window managers report another place for a moment after mapping; the place the program
    // set stays the truth, so put it there again once the window is first on screen.
    if (watched == windowHandle() && event->type() == QEvent::Expose && !m_placementChecked &&
        windowHandle()->isExposed()) {
        m_placementChecked = true;
        windowHandle()->removeEventFilter(this);
        if (pos() != m_position)
            move(m_position);
        emit firstExposed();
    }
    return QWidget::eventFilter(watched, event);
}

void Form2::paintEvent(QPaintEvent *)
{
    static const QImage bezel = notifier::bezelImage();
    QPainter(this).drawImage(0, 0, bezel);
}

void Form2::mousePressEvent(QMouseEvent *event)
{
    // Presses on the labels arrive here too: they take no mouse input themselves.
    const QPoint position = event->position().toPoint();
    m_pointer = event->globalPosition().toPoint();
    m_pressed = controlAt(position);
    m_pressButton = event->button();
    switch (m_pressed) {
    case Control::Form:
        Form_MouseDown(event->button(), position, m_pointer);
        break;
    case Control::Label1:
        Label1_MouseDown(event->button(), position, m_pointer);
        break;
    case Control::Label2:
        Label2_MouseDown(event->button(), position, m_pointer);
        break;
    case Control::Label3:
    case Control::Command1:
        break;
    }
    event->accept();
}

void Form2::mouseMoveEvent(QMouseEvent *event)
{
    m_pointer = event->globalPosition().toPoint();
    if (m_moving && event->buttons().testFlag(Qt::LeftButton))
        moveStep(m_pointer);
    event->accept();
}

void Form2::mouseReleaseEvent(QMouseEvent *event)
{
    m_pointer = event->globalPosition().toPoint();
    event->accept();
    if (m_moving && event->button() == Qt::LeftButton) {
        m_moving = false;
        m_pressButton = Qt::NoButton;
        return;
    }
    if (event->button() != m_pressButton)
        return;
    m_pressButton = Qt::NoButton;
    const Control released = controlAt(event->position().toPoint());
    if (!notifier::clickOpensMenu(m_pressed, released, event->button()))
        return;
    switch (released) {
    case Control::Form:
        Form_Click();
        break;
    case Control::Label1:
        Label1_Click();
        break;
    case Control::Label2:
        Label2_Click();
        break;
    case Control::Label3:
        Label3_Click();
        break;
    case Control::Command1:
        break;
    }
}

void Form2::closeEvent(QCloseEvent *event)
{
    event->accept();
    if (app::isEnding())
        return;
    int cancel = 0;
    Form_QueryUnload(cancel, notifier::UnloadFormControlMenu);
    Form_Unload(cancel);
    // Without the notifier nothing of the program would be left to see or to end.
    app::endProgram();
}

Control Form2::controlAt(QPoint position) const
{
    const QWidget *child = childAt(position);
    if (child == Command1)
        return Control::Command1;
    if (child == Label2)
        return Control::Label2;
    if (child == Label1)
        return Control::Label1;
    if (child == Label3)
        return Control::Label3;
    return Control::Form;
}

void Form2::beginMove(QPoint grip, QPoint cursor)
{
    m_moving = true;
    m_grip = grip;
    if (m_moveStarted)
        m_moveStarted({cursor.x(), cursor.y()});
}

void Form2::moveStep(QPoint cursor)
{
    Docking::Rect proposed = notifier::proposedFrame(cursor, m_grip, size());
    if (m_moveStep)
        m_moveStep(proposed, {cursor.x(), cursor.y()});
    moveToPixels(QPoint(proposed.left, proposed.top));
}

void Form2::showPopupMenu()
{
    form3().mnufile->popup(m_pointer);
}
