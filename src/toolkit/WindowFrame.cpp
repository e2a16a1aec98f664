#include "toolkit/WindowFrame.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>
#include <QWindow>
#include <QtGui/qguiapplication_platform.h>

#include <xcb/xcb.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>
#include <thread>
#include <vector>

namespace {

// A manager that announces the request answers it as it reads it, within a millisecond on an idle
// machine; a busy one gets this long before the window is placed as if it had no frame.
constexpr auto kAnswerWithin = std::chrono::milliseconds(250);
constexpr auto kAskAgainAfter = std::chrono::milliseconds(1);

template <class Reply>
using Owned = std::unique_ptr<Reply, decltype(&std::free)>;

template <class Reply>
Owned<Reply> owned(Reply *reply)
{
    return Owned<Reply>(reply, &std::free);
}

xcb_atom_t atom(xcb_connection_t *connection, const char *name)
{
    const auto reply = owned(xcb_intern_atom_reply(
        connection, xcb_intern_atom(connection, 0, std::strlen(name), name), nullptr));
    return reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
}

// The 32-bit values of `window`'s property `name` of `type`, at most `count` of them.
std::vector<quint32> property(xcb_connection_t *connection, xcb_window_t window, xcb_atom_t name,
                              xcb_atom_t type, quint32 count)
{
    const auto reply = owned(xcb_get_property_reply(
        connection, xcb_get_property(connection, 0, window, name, type, 0, count), nullptr));
    if (!reply || reply->format != 32)
        return {};
    const auto *values = static_cast<const quint32 *>(xcb_get_property_value(reply.get()));
    return {values, values + xcb_get_property_value_length(reply.get()) / 4};
}

// The frame of `window` once the window manager has written it (left, right, top, bottom).
std::optional<QMargins> writtenExtents(xcb_connection_t *connection, xcb_window_t window,
                                       xcb_atom_t extents)
{
    const std::vector<quint32> values = property(connection, window, extents, XCB_ATOM_CARDINAL, 4);
    if (values.size() != 4)
        return std::nullopt;
    return QMargins(int(values[0]), int(values[2]), int(values[1]), int(values[3]));
}

} // namespace

namespace WindowFrame {

QMargins extentsBeforeMap(QWidget *window)
{
    // Only the X11 platform's connection is the window's (the offscreen platform may offer one of
    // its own that has no windows).
    const auto *x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    if (!x11 || QGuiApplication::platformName() != u"xcb" || !x11->connection()
        || window->windowFlags().testFlag(Qt::FramelessWindowHint))
        return {};
    xcb_connection_t *connection = x11->connection();
    const auto id = xcb_window_t(window->winId());
    const auto tree =
        owned(xcb_query_tree_reply(connection, xcb_query_tree(connection, id), nullptr));
    if (!tree)
        return {};
    const xcb_window_t root = tree->root;
    const xcb_atom_t request = atom(connection, "_NET_REQUEST_FRAME_EXTENTS");
    const xcb_atom_t extents = atom(connection, "_NET_FRAME_EXTENTS");
    const std::vector<quint32> supported =
        property(connection, root, atom(connection, "_NET_SUPPORTED"), XCB_ATOM_ATOM, 4096);
    if (request == XCB_ATOM_NONE
        || std::find(supported.begin(), supported.end(), request) == supported.end())
        return {};

    xcb_client_message_event_t message{};
    message.response_type = XCB_CLIENT_MESSAGE;
    message.format = 32;
    message.window = id;
    message.type = request;
    xcb_send_event(connection, 0, root,
                   XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                   reinterpret_cast<const char *>(&message));
    xcb_flush(connection);
    const auto giveUp = std::chrono::steady_clock::now() + kAnswerWithin;
    while (true) {
        if (const auto frame = writtenExtents(connection, id, extents))
            return *frame;
        if (std::chrono::steady_clock::now() > giveUp)
            return {};
        std::this_thread::sleep_for(kAskAgainAfter);
    }
}

void centre(QWidget *window)
{
    const QWindow *handle = window->windowHandle();
    const QScreen *screen = handle && handle->transientParent()
        ? handle->transientParent()->screen()
        : window->screen();
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    if (!screen)
        return;
    const QRect area = screen->availableGeometry();
    const QMargins frame = extentsBeforeMap(window);
    const QRect whole(QPoint(), window->size().grownBy(frame));
    // The client area's place, which the window manager keeps as it is (static gravity), whatever
    // it makes of the frame's place.
    const QPoint corner = area.center() - whole.center() + QPoint(frame.left(), frame.top());
    window->setGeometry(QRect(corner, window->size()));
}

} // namespace WindowFrame
