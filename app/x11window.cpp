#include "app/x11window.h"

#include <QAbstractNativeEventFilter>
#include <QCoreApplication>
#include <QEvent>
#include <QGuiApplication>
#include <QPoint>
#include <QSize>
#include <QWidget>
#include <QtGui/qguiapplication_platform.h>
#include <xcb/xcb.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace app {

namespace {

const char kFilterName[] = "keepOutOfTaskbar";

struct SkipAtoms {
    xcb_atom_t state = XCB_ATOM_NONE;
    std::vector<xcb_atom_t> wanted;
};

// Interned once per connection, the three requests sent before any reply is awaited.
const SkipAtoms *skipAtoms(xcb_connection_t *c)
{
    static xcb_connection_t *owner = nullptr;
    static SkipAtoms atoms;
    if (owner == c)
        return &atoms;
    const char *names[] = {"_NET_WM_STATE", "_NET_WM_STATE_SKIP_TASKBAR", "_NET_WM_STATE_SKIP_PAGER"};
    xcb_intern_atom_cookie_t cookies[3];
    for (int i = 0; i < 3; ++i)
        cookies[i] = xcb_intern_atom(c, 0, uint16_t(std::strlen(names[i])), names[i]);
    xcb_atom_t found[3];
    for (int i = 0; i < 3; ++i) {
        xcb_intern_atom_reply_t *reply = xcb_intern_atom_reply(c, cookies[i], nullptr);
        found[i] = reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
        std::free(reply);
    }
    if (found[0] == XCB_ATOM_NONE || found[1] == XCB_ATOM_NONE || found[2] == XCB_ATOM_NONE)
        return nullptr;
    atoms.state = found[0];
    atoms.wanted = {found[1], found[2]};
    owner = c;
    return &atoms;
}

xcb_connection_t *x11Connection()
{
    auto *x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    return x11 ? x11->connection() : nullptr;
}

// Before mapping the window owns its _NET_WM_STATE: add the two states to whatever is there, since
// Qt merges its own states into the property when it maps the window.
void addToUnmappedState(xcb_connection_t *c, xcb_window_t window, xcb_atom_t state,
                        const std::vector<xcb_atom_t>& wanted)
{
    std::vector<xcb_atom_t> atoms;
    const auto cookie = xcb_get_property(c, 0, window, state, XCB_ATOM_ATOM, 0, 1024);
    if (xcb_get_property_reply_t *reply = xcb_get_property_reply(c, cookie, nullptr)) {
        if (reply->format == 32 && reply->type == XCB_ATOM_ATOM) {
            const auto *data = static_cast<const xcb_atom_t *>(xcb_get_property_value(reply));
            atoms.assign(data, data + xcb_get_property_value_length(reply) / 4);
        }
        std::free(reply);
    }
    for (xcb_atom_t atom : wanted) {
        if (std::find(atoms.begin(), atoms.end(), atom) == atoms.end())
            atoms.push_back(atom);
    }
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, window, state, XCB_ATOM_ATOM, 32, uint32_t(atoms.size()),
                        atoms.data());
}

// Once mapped the window manager owns the property: ask it.
void askWindowManager(xcb_connection_t *c, xcb_window_t window, xcb_atom_t state,
                      const std::vector<xcb_atom_t>& wanted)
{
    const auto treeCookie = xcb_query_tree(c, window);
    xcb_query_tree_reply_t *tree = xcb_query_tree_reply(c, treeCookie, nullptr);
    if (!tree)
        return;
    const xcb_window_t root = tree->root;
    std::free(tree);
    xcb_client_message_event_t event{};
    event.response_type = XCB_CLIENT_MESSAGE;
    event.format = 32;
    event.window = window;
    event.type = state;
    event.data.data32[0] = 1; // _NET_WM_STATE_ADD
    event.data.data32[1] = wanted[0];
    event.data.data32[2] = wanted[1];
    event.data.data32[3] = 1; // from a normal application
    xcb_send_event(c, 0, root, XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                   reinterpret_cast<const char *>(&event));
}

void applySkipStates(QWidget *window, bool mapped)
{
    xcb_connection_t *c = x11Connection();
    if (!c || !window->testAttribute(Qt::WA_WState_Created))
        return;
    const SkipAtoms *atoms = skipAtoms(c);
    if (!atoms)
        return;
    const auto id = xcb_window_t(window->winId());
    if (mapped)
        askWindowManager(c, id, atoms->state, atoms->wanted);
    else
        addToUnmappedState(c, id, atoms->state, atoms->wanted);
    xcb_flush(c);
}

// The show event comes after the native window exists and before it is mapped; the window
// manager drops _NET_WM_STATE when a window is withdrawn, so it is set again at every show.
class SkipTaskbarFilter : public QObject {
public:
    explicit SkipTaskbarFilter(QWidget *window) : QObject(window)
    {
        setObjectName(QLatin1String(kFilterName));
    }
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Show && watched == parent())
            applySkipStates(static_cast<QWidget *>(watched), false);
        return false;
    }
};

class MoveEchoFilter : public QAbstractNativeEventFilter {
public:
    MoveEchoFilter(xcb_window_t window, const QSize& size) : m_window(window), m_size(size) {}
    bool nativeEventFilter(const QByteArray& type, void *message, qintptr *) override
    {
        if (type != "xcb_generic_event_t")
            return false;
        const auto *event = static_cast<const xcb_generic_event_t *>(message);
        if ((event->response_type & 0x7f) != XCB_CONFIGURE_NOTIFY)
            return false;
        const auto *configure = reinterpret_cast<const xcb_configure_notify_event_t *>(event);
        return configure->window == m_window && configure->event == m_window &&
               configure->width == m_size.width() && configure->height == m_size.height();
    }

private:
    const xcb_window_t m_window;
    const QSize m_size;
};

// The X connection, when the window is a shown native X11 window whose pixels are Qt's: moving it
// natively then puts it exactly where Qt would.
xcb_connection_t *connectionToMove(const QWidget *window)
{
    xcb_connection_t *c = x11Connection();
    if (!c || !window || !window->isVisible() || !window->testAttribute(Qt::WA_WState_Created) ||
        window->devicePixelRatioF() != 1.0)
        return nullptr;
    return c;
}

} // namespace

void keepOutOfTaskbar(QWidget *window)
{
    if (!window || window->findChild<QObject *>(QLatin1String(kFilterName), Qt::FindDirectChildrenOnly))
        return;
    window->installEventFilter(new SkipTaskbarFilter(window));
    if (window->isVisible())
        applySkipStates(window, true);
}

bool moveNativeWindow(QWidget *window, const QPoint& topLeft)
{
    xcb_connection_t *c = connectionToMove(window);
    if (!c)
        return false;
    const uint32_t values[] = {uint32_t(topLeft.x()), uint32_t(topLeft.y())};
    xcb_configure_window(c, xcb_window_t(window->winId()), XCB_CONFIG_WINDOW_X | XCB_CONFIG_WINDOW_Y, values);
    xcb_flush(c);
    return true;
}

MoveEchoGuard::MoveEchoGuard(QWidget *window)
{
    if (!connectionToMove(window))
        return;
    m_filter = std::make_unique<MoveEchoFilter>(xcb_window_t(window->winId()), window->size());
    QCoreApplication::instance()->installNativeEventFilter(m_filter.get());
}

MoveEchoGuard::~MoveEchoGuard()
{
    if (m_filter && QCoreApplication::instance())
        QCoreApplication::instance()->removeNativeEventFilter(m_filter.get());
}

} // namespace app
