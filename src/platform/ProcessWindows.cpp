#include "ProcessWindows.h"

#include <cstdlib>
#include <cstring>
#include <QGuiApplication>
#include <set>
#include <vector>
#include <xcb/xcb.h>

namespace {

// An error (a window gone meanwhile) is taken here, not left for Qt to report.
template <typename Reply, typename Cookie, typename Connection>
Reply* replyTo(Reply* (*read)(Connection*, Cookie, xcb_generic_error_t**), Connection* connection, Cookie cookie)
{
    xcb_generic_error_t* error = nullptr;
    Reply* reply = read(connection, cookie, &error);
    std::free(error);
    return reply;
}

xcb_connection_t* qtConnection()
{
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    return x11 ? x11->connection() : nullptr;
}

xcb_atom_t atomNamed(xcb_connection_t* connection, const char* name)
{
    xcb_intern_atom_reply_t* reply =
        replyTo(xcb_intern_atom_reply, connection,
                xcb_intern_atom(connection, 0, static_cast<uint16_t>(std::strlen(name)), name));
    const xcb_atom_t atom = reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
    std::free(reply);
    return atom;
}

std::vector<xcb_window_t> windowList(xcb_connection_t* connection, xcb_window_t root, xcb_atom_t property)
{
    std::vector<xcb_window_t> windows;
    xcb_get_property_reply_t* reply =
        replyTo(xcb_get_property_reply, connection,
                xcb_get_property(connection, 0, root, property, XCB_ATOM_WINDOW, 0, 1 << 16));
    if (reply && reply->format == 32) {
        const auto* begin = static_cast<const xcb_window_t*>(xcb_get_property_value(reply));
        windows.assign(begin, begin + xcb_get_property_value_length(reply) / 4);
    }
    std::free(reply);
    return windows;
}

struct ProcessWindows
{
    xcb_connection_t* connection = nullptr;
    xcb_window_t root = XCB_NONE;
    // Managed by the window manager, so shown to the user as windows of their own.
    std::vector<xcb_window_t> managed;
    // Children of the root: the windows of a display without a window manager, and menus and lists that pop up.
    std::vector<xcb_window_t> unmanaged;
};

// The windows of the process: every request is sent before any answer is awaited, so the display is asked once.
ProcessWindows windowsOf(qint64 pid)
{
    ProcessWindows found;
    found.connection = qtConnection();
    if (!found.connection || pid <= 0) {
        return found;
    }
    xcb_connection_t* const connection = found.connection;
    found.root = xcb_setup_roots_iterator(xcb_get_setup(connection)).data->root;
    const xcb_query_tree_cookie_t tree = xcb_query_tree(connection, found.root);
    const xcb_atom_t pidAtom = atomNamed(connection, "_NET_WM_PID");
    // The managed ones first, then the root's children.
    std::vector<xcb_window_t> candidates =
        windowList(connection, found.root, atomNamed(connection, "_NET_CLIENT_LIST"));
    const std::size_t managedCount = candidates.size();
    if (xcb_query_tree_reply_t* reply = replyTo(xcb_query_tree_reply, connection, tree)) {
        const xcb_window_t* children = xcb_query_tree_children(reply);
        candidates.insert(candidates.end(), children, children + xcb_query_tree_children_length(reply));
        std::free(reply);
    }
    if (pidAtom == XCB_ATOM_NONE) {
        return found;
    }
    std::vector<xcb_get_property_cookie_t> cookies;
    cookies.reserve(candidates.size());
    for (const xcb_window_t window : candidates) {
        cookies.push_back(xcb_get_property(connection, 0, window, pidAtom, XCB_ATOM_CARDINAL, 0, 1));
    }
    for (std::size_t i = 0; i < candidates.size(); ++i) {
        xcb_get_property_reply_t* reply = replyTo(xcb_get_property_reply, connection, cookies[i]);
        if (reply && reply->format == 32 && xcb_get_property_value_length(reply) == 4 &&
            *static_cast<const uint32_t*>(xcb_get_property_value(reply)) == static_cast<uint32_t>(pid)) {
            (i < managedCount ? found.managed : found.unmanaged).push_back(candidates[i]);
        }
        std::free(reply);
    }
    return found;
}

} // namespace

void closeWindowsOfProcess(qint64 pid)
{
    const ProcessWindows found = windowsOf(pid);
    if (!found.connection) {
        return;
    }
    // One kill per connection: a window's id names the connection that made it, under the server's mask.
    const uint32_t connectionBits = ~xcb_get_setup(found.connection)->resource_id_mask;
    std::set<uint32_t> killed;
    for (const auto* list : {&found.managed, &found.unmanaged}) {
        for (const xcb_window_t window : *list) {
            if (killed.insert(window & connectionBits).second) {
                xcb_discard_reply(found.connection, xcb_kill_client_checked(found.connection, window).sequence);
            }
        }
    }
    xcb_flush(found.connection);
}

void raiseWindowsOfProcess(qint64 pid)
{
    const ProcessWindows found = windowsOf(pid);
    if (!found.connection) {
        return;
    }
    // Asked for by a click, as a taskbar asks: source 2, which window managers do not hold back as focus stealing.
    const xcb_atom_t activeWindow = atomNamed(found.connection, "_NET_ACTIVE_WINDOW");
    for (const xcb_window_t window : found.managed) {
        xcb_client_message_event_t message{};
        message.response_type = XCB_CLIENT_MESSAGE;
        message.format = 32;
        message.window = window;
        message.type = activeWindow;
        message.data.data32[0] = 2;
        message.data.data32[1] = XCB_CURRENT_TIME;
        xcb_send_event(found.connection, 0, found.root,
                       XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                       reinterpret_cast<const char*>(&message));
    }
    // With no window manager, nobody else stacks them.
    const uint32_t above = XCB_STACK_MODE_ABOVE;
    for (const xcb_window_t window : found.unmanaged) {
        xcb_discard_reply(
            found.connection,
            xcb_configure_window_checked(found.connection, window, XCB_CONFIG_WINDOW_STACK_MODE, &above).sequence);
    }
    xcb_flush(found.connection);
}
