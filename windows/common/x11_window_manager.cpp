#include "windows/common/x11_window_manager.h"

#include <QGuiApplication>
#include <QWidget>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <thread>
#include <vector>
#include <xcb/xcb.h>

namespace kalvero {
namespace {

// A window manager that knows the request answers at once; on a busy
// machine that can still take a while.
constexpr int kFrameExtentsWaitMs = 5000;

xcb_connection_t* Connection() {
    if (QGuiApplication::platformName() != QLatin1String("xcb"))
        return nullptr;
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    return x11 ? x11->connection() : nullptr;
}

xcb_atom_t Atom(xcb_connection_t* connection, const char* name) {
    xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(
        connection,
        xcb_intern_atom(connection, 0, static_cast<std::uint16_t>(std::strlen(name)), name),
        nullptr);
    const xcb_atom_t atom = reply ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
    std::free(reply);
    return atom;
}

// A property's 32-bit values, up to a number (empty when it is not set).
std::vector<std::uint32_t> Values(xcb_connection_t* connection, xcb_window_t window,
                                  xcb_atom_t property, std::uint32_t most = 64) {
    std::vector<std::uint32_t> values;
    xcb_get_property_reply_t* reply = xcb_get_property_reply(
        connection, xcb_get_property(connection, 0, window, property, XCB_ATOM_ANY, 0, most),
        nullptr);
    if (reply && reply->format == 32) {
        const auto* data = static_cast<const std::uint32_t*>(xcb_get_property_value(reply));
        values.assign(data, data + xcb_get_property_value_length(reply) / 4);
    }
    std::free(reply);
    return values;
}

xcb_window_t Root(xcb_connection_t* connection) {
    return xcb_setup_roots_iterator(xcb_get_setup(connection)).data->root;
}

// Whether a running window manager says it answers the request.
bool FrameExtentsAnswered(xcb_connection_t* connection) {
    const xcb_window_t root = Root(connection);
    if (Values(connection, root, Atom(connection, "_NET_SUPPORTING_WM_CHECK")).size() != 1)
        return false;
    const std::vector<std::uint32_t> supported =
        Values(connection, root, Atom(connection, "_NET_SUPPORTED"), 4096);
    const xcb_atom_t request = Atom(connection, "_NET_REQUEST_FRAME_EXTENTS");
    return std::find(supported.begin(), supported.end(), request) != supported.end();
}

} // namespace

std::optional<QMargins> RequestFrameExtents(QWidget& window) {
    xcb_connection_t* connection = Connection();
    if (!connection || !FrameExtentsAnswered(connection))
        return std::nullopt;
    const auto id = static_cast<xcb_window_t>(window.winId());
    const xcb_atom_t extents = Atom(connection, "_NET_FRAME_EXTENTS");
    xcb_client_message_event_t request{};
    request.response_type = XCB_CLIENT_MESSAGE;
    request.format = 32;
    request.window = id;
    request.type = Atom(connection, "_NET_REQUEST_FRAME_EXTENTS");
    xcb_send_event(connection, 0, Root(connection),
                   XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                   reinterpret_cast<const char*>(&request));
    xcb_flush(connection);
    // The window manager answers by setting the property.
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(kFrameExtentsWaitMs);
    do {
        const std::vector<std::uint32_t> values = Values(connection, id, extents);
        if (values.size() == 4)
            return QMargins(static_cast<int>(values[0]), static_cast<int>(values[2]),
                            static_cast<int>(values[1]), static_cast<int>(values[3]));
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    } while (std::chrono::steady_clock::now() < deadline);
    return std::nullopt;
}

} // namespace kalvero
