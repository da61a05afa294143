#include "ClipboardHandover.h"

#include <cstdlib>
#include <cstring>
#include <QAbstractNativeEventFilter>
#include <QClipboard>
#include <QEventLoop>
#include <QGuiApplication>
#include <QTimer>
#include <xcb/xcb.h>

namespace {

xcb_atom_t atomNamed(xcb_connection_t* connection, const char* name)
{
    xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(
        connection, xcb_intern_atom(connection, 0, static_cast<uint16_t>(std::strlen(name)), name), nullptr);
    const xcb_atom_t atom = reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
    std::free(reply);
    return atom;
}

xcb_window_t selectionOwner(xcb_connection_t* connection, xcb_atom_t selection)
{
    xcb_get_selection_owner_reply_t* reply =
        xcb_get_selection_owner_reply(connection, xcb_get_selection_owner(connection, selection), nullptr);
    const xcb_window_t owner = reply ? reply->owner : xcb_window_t(XCB_NONE);
    std::free(reply);
    return owner;
}

// Ends the loop when the manager answers the request made for the given window.
class AnswerWatch final : public QAbstractNativeEventFilter
{
public:
    AnswerWatch(xcb_window_t requestor, QEventLoop& loop) : m_requestor(requestor), m_loop(loop) {}
    bool nativeEventFilter(const QByteArray& type, void* message, qintptr*) override
    {
        if (type != "xcb_generic_event_t") {
            return false;
        }
        const auto* event = static_cast<const xcb_generic_event_t*>(message);
        if ((event->response_type & 0x7f) != XCB_SELECTION_NOTIFY ||
            reinterpret_cast<const xcb_selection_notify_event_t*>(event)->requestor != m_requestor) {
            return false;
        }
        m_loop.quit();
        return true;
    }

private:
    const xcb_window_t m_requestor;
    QEventLoop& m_loop;
};

} // namespace

void handClipboardToManager(std::chrono::milliseconds limit)
{
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    xcb_connection_t* connection = x11 ? x11->connection() : nullptr;
    const QClipboard* clipboard = QGuiApplication::clipboard();
    if (!connection || !(clipboard->ownsClipboard() || clipboard->ownsSelection())) {
        return;
    }
    const xcb_atom_t manager = atomNamed(connection, "CLIPBOARD_MANAGER");
    const xcb_atom_t saveTargets = atomNamed(connection, "SAVE_TARGETS");
    if (manager == XCB_ATOM_NONE || saveTargets == XCB_ATOM_NONE || selectionOwner(connection, manager) == XCB_NONE) {
        return;
    }
    // The manager answers a window of ours; it then asks the clipboard's owner, Qt, for every form of the content,
    // which Qt serves from the event loop run here.
    const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(connection)).data;
    const xcb_window_t requestor = xcb_generate_id(connection);
    xcb_create_window(connection, XCB_COPY_FROM_PARENT, requestor, screen->root, 0, 0, 1, 1, 0,
                      XCB_WINDOW_CLASS_INPUT_ONLY, XCB_COPY_FROM_PARENT, 0, nullptr);
    QEventLoop loop;
    AnswerWatch watch(requestor, loop);
    QCoreApplication::instance()->installNativeEventFilter(&watch);
    xcb_convert_selection(connection, requestor, manager, saveTargets, atomNamed(connection, "KESWIN_SAVED"),
                          XCB_CURRENT_TIME);
    xcb_flush(connection);
    QTimer::singleShot(limit, &loop, &QEventLoop::quit);
    loop.exec();
    QCoreApplication::instance()->removeNativeEventFilter(&watch);
    xcb_destroy_window(connection, requestor);
    xcb_flush(connection);
}
