#pragma once

#include <QList>
#include <QString>

#include <cstdint>

struct xcb_connection_t;

// A plain X client on the display of $DISPLAY: finds the top-level windows of another program and
// asks one to close the way a window manager's close box does.
class XClient {
public:
    XClient();
    ~XClient();
    XClient(const XClient&) = delete;
    XClient& operator=(const XClient&) = delete;

    bool isOpen() const { return connection_ != nullptr; }

    // The mapped top-level windows of process pid whose title is title.
    QList<std::uint32_t> windows(qint64 pid, const QString& title);
    // Whether the window takes part in the WM_DELETE_WINDOW protocol.
    bool takesDeleteWindow(std::uint32_t window);
    // Sends the WM_DELETE_WINDOW client message, as a window manager does on its close box.
    void sendDeleteWindow(std::uint32_t window);

private:
    std::uint32_t atom(const char* name);
    QByteArray property(std::uint32_t window, std::uint32_t name);

    xcb_connection_t* connection_ = nullptr;
    std::uint32_t root_ = 0;
};
