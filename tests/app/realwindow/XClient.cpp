#include "XClient.h"

#include <QByteArray>

#include <xcb/xcb.h>

#include <cstdlib>
#include <cstring>
#include <memory>

namespace {

// Replies of xcb are malloc'ed.
template <typename T> using Reply = std::unique_ptr<T, decltype(&std::free)>;

template <typename T> Reply<T> reply(T* value) {
    return Reply<T>(value, &std::free);
}

} // namespace

XClient::XClient() {
    int screenNumber = 0;
    xcb_connection_t* connection = xcb_connect(nullptr, &screenNumber);
    if (xcb_connection_has_error(connection)) {
        xcb_disconnect(connection);
        return;
    }
    xcb_screen_iterator_t screens = xcb_setup_roots_iterator(xcb_get_setup(connection));
    for (int i = 0; i < screenNumber && screens.rem > 0; ++i)
        xcb_screen_next(&screens);
    if (screens.rem == 0) {
        xcb_disconnect(connection);
        return;
    }
    connection_ = connection;
    root_ = screens.data->root;
}

XClient::~XClient() {
    if (connection_)
        xcb_disconnect(connection_);
}

std::uint32_t XClient::atom(const char* name) {
    const auto answer = reply(xcb_intern_atom_reply(
        connection_,
        xcb_intern_atom(connection_, 0, static_cast<std::uint16_t>(std::strlen(name)), name),
        nullptr));
    return answer ? answer->atom : std::uint32_t{XCB_ATOM_NONE};
}

QByteArray XClient::property(std::uint32_t window, std::uint32_t name) {
    const auto answer = reply(xcb_get_property_reply(
        connection_,
        xcb_get_property(connection_, 0, window, name, XCB_GET_PROPERTY_TYPE_ANY, 0, 1024),
        nullptr));
    if (!answer)
        return {};
    return QByteArray(static_cast<const char*>(xcb_get_property_value(answer.get())),
                      xcb_get_property_value_length(answer.get()));
}

QList<std::uint32_t> XClient::windows(qint64 pid, const QString& title) {
    QList<std::uint32_t> found;
    if (!connection_)
        return found;
    const auto tree =
        reply(xcb_query_tree_reply(connection_, xcb_query_tree(connection_, root_), nullptr));
    if (!tree)
        return found;
    const std::uint32_t netWmName = atom("_NET_WM_NAME");
    const std::uint32_t netWmPid = atom("_NET_WM_PID");
    const xcb_window_t* children = xcb_query_tree_children(tree.get());
    for (int i = 0; i < xcb_query_tree_children_length(tree.get()); ++i) {
        const xcb_window_t window = children[i];
        const auto attributes = reply(xcb_get_window_attributes_reply(
            connection_, xcb_get_window_attributes(connection_, window), nullptr));
        if (!attributes || attributes->map_state != XCB_MAP_STATE_VIEWABLE)
            continue;
        const QByteArray pidValue = property(window, netWmPid);
        std::uint32_t windowPid = 0;
        if (pidValue.size() == sizeof windowPid)
            std::memcpy(&windowPid, pidValue.constData(), sizeof windowPid);
        if (windowPid == pid && QString::fromUtf8(property(window, netWmName)) == title)
            found.append(window);
    }
    return found;
}

bool XClient::takesDeleteWindow(std::uint32_t window) {
    const std::uint32_t deleteWindow = atom("WM_DELETE_WINDOW");
    const QByteArray protocols = property(window, atom("WM_PROTOCOLS"));
    for (qsizetype at = 0; at + 4 <= protocols.size(); at += 4) {
        std::uint32_t protocol = 0;
        std::memcpy(&protocol, protocols.constData() + at, sizeof protocol);
        if (protocol == deleteWindow)
            return true;
    }
    return false;
}

void XClient::sendDeleteWindow(std::uint32_t window) {
    xcb_client_message_event_t message{};
    message.response_type = XCB_CLIENT_MESSAGE;
    message.format = 32;
    message.window = window;
    message.type = atom("WM_PROTOCOLS");
    message.data.data32[0] = atom("WM_DELETE_WINDOW");
    message.data.data32[1] = XCB_CURRENT_TIME;
    xcb_send_event(connection_, 0, window, XCB_EVENT_MASK_NO_EVENT,
                   reinterpret_cast<const char*>(&message));
    xcb_flush(connection_);
}
