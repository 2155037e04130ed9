#include "tests/support/x11_desktop.h"

#include "tests/support/private_bus_configuration.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QStandardPaths>
#include <QTest>
#include <QWidget>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/prctl.h>
#include <unistd.h>

namespace kalvero::test {

namespace {
constexpr int kStartMs = 20000;

} // namespace

X11Desktop::X11Desktop(std::string windowManager) : windowManager_(std::move(windowManager)) {
    if (!home_.isValid()) {
        problem_ = "no temporary folder for the desktop";
        return;
    }
    StartServer();
    if (problem_.empty())
        StartBus();
    if (problem_.empty())
        StartWindowManager();
}

X11Desktop::~X11Desktop() {
    // The window manager first, the X server last; each by its process id.
    for (QProcess* process : {&manager_, &bus_, &server_}) {
        if (process->state() == QProcess::NotRunning)
            continue;
        process->terminate();
        if (!process->waitForFinished(5000))
            process->kill();
        process->waitForFinished(-1);
    }
}

bool X11Desktop::Start(QProcess& process, const QString& program, const QStringList& arguments,
                       int reportFd) {
    const QString path = QStandardPaths::findExecutable(program);
    if (path.isEmpty()) {
        problem_ = program.toStdString() + " is not installed (Debian package " +
                   (program == QLatin1String("Xvfb")          ? "xvfb"
                    : program == QLatin1String("dbus-daemon") ? "dbus-daemon"
                                                              : program.toStdString()) +
                   ")";
        return false;
    }
    process.setProgram(path);
    process.setArguments(arguments);
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process.setStandardOutputFile(QProcess::nullDevice());
    process.setChildProcessModifier([reportFd] {
        // Dies with the test program, however it ends.
        ::prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (reportFd >= 0)
            ::fcntl(reportFd, F_SETFD, 0);
    });
    process.start();
    if (!process.waitForStarted(kStartMs)) {
        problem_ = program.toStdString() + " did not start";
        return false;
    }
    return true;
}

// The first line a started program writes to the pipe fd (a display number,
// a bus address).
std::string X11Desktop::ReadReport(int fd) {
    std::string line;
    QElapsedTimer waited;
    waited.start();
    char c = 0;
    while (waited.elapsed() < kStartMs) {
        pollfd ready{fd, POLLIN, 0};
        const int polled = ::poll(&ready, 1, 100);
        if (polled < 0 && errno != EINTR)
            break;
        if (polled <= 0)
            continue;
        if (::read(fd, &c, 1) != 1 || c == '\n')
            break;
        line += c;
    }
    return line;
}

void X11Desktop::StartServer() {
    int pipe[2];
    if (::pipe(pipe) != 0) {
        problem_ = "no pipe for Xvfb's display number";
        return;
    }
    const bool started =
        Start(server_, QStringLiteral("Xvfb"),
              {QStringLiteral("-displayfd"), QString::number(pipe[1]), QStringLiteral("-screen"),
               QStringLiteral("0"), QStringLiteral("1024x768x24"), QStringLiteral("-dpi"),
               QStringLiteral("96"), QStringLiteral("-nolisten"), QStringLiteral("tcp")},
              pipe[1]);
    ::close(pipe[1]);
    const std::string number = started ? ReadReport(pipe[0]) : std::string();
    ::close(pipe[0]);
    if (!started)
        return;
    if (number.empty()) {
        problem_ = "Xvfb did not report a display";
        return;
    }
    ::setenv("DISPLAY", (":" + number).c_str(), 1);
    ::setenv("QT_QPA_PLATFORM", "xcb", 1);
}

void X11Desktop::StartBus() {
    const QString config = home_.filePath(QStringLiteral("bus.conf"));
    QFile file(config);
    if (!file.open(QIODevice::WriteOnly) ||
        file.write(QByteArray::fromStdString(testing::PrivateBusConfiguration(
            "session", "unix:dir=" + QFile::encodeName(home_.path()).toStdString()))) < 0) {
        problem_ = "cannot write the session bus's configuration";
        return;
    }
    file.close();
    int pipe[2];
    if (::pipe(pipe) != 0) {
        problem_ = "no pipe for the session bus's address";
        return;
    }
    const bool started =
        Start(bus_, QStringLiteral("dbus-daemon"),
              {QStringLiteral("--config-file=") + config, QStringLiteral("--nofork"),
               QStringLiteral("--print-address=") + QString::number(pipe[1])},
              pipe[1]);
    ::close(pipe[1]);
    const std::string address = started ? ReadReport(pipe[0]) : std::string();
    ::close(pipe[0]);
    if (!started)
        return;
    if (address.empty()) {
        problem_ = "the session bus did not report its address";
        return;
    }
    // For the window manager and the program's own accessibility bridge.
    ::setenv("DBUS_SESSION_BUS_ADDRESS", address.c_str(), 1);
}

void X11Desktop::StartWindowManager() {
    // The window manager's settings and caches stay in the test's folder.
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"XDG_CONFIG_HOME", "XDG_CACHE_HOME", "XDG_DATA_HOME"})
        environment.insert(QLatin1String(name), home_.path());
    environment.insert(QStringLiteral("NO_AT_BRIDGE"), QStringLiteral("1"));
    environment.remove(QStringLiteral("SESSION_MANAGER"));
    manager_.setProcessEnvironment(environment);
    if (windowManager_ == "xfwm4")
        Start(manager_, QStringLiteral("xfwm4"),
              {QStringLiteral("--compositor=off"), QStringLiteral("--sm-client-disable")});
    else
        Start(manager_, QStringLiteral("openbox"), {QStringLiteral("--sm-disable")});
}

// Whether the window manager answers a request for a new window's frame:
// announced early in its start, it may not be handling requests yet, and a
// request sent before it is would be lost.
bool X11Desktop::AnswersFrameExtents(xcb_window_t root) {
    xcb_connection_t* connection =
        qApp->nativeInterface<QNativeInterface::QX11Application>()->connection();
    const xcb_window_t probe = xcb_generate_id(connection);
    xcb_create_window(connection, XCB_COPY_FROM_PARENT, probe, root, 0, 0, 10, 10, 0,
                      XCB_WINDOW_CLASS_INPUT_OUTPUT, XCB_COPY_FROM_PARENT, 0, nullptr);
    xcb_client_message_event_t request{};
    request.response_type = XCB_CLIENT_MESSAGE;
    request.format = 32;
    request.window = probe;
    request.type = x11::Atom("_NET_REQUEST_FRAME_EXTENTS");
    // Sent again while waiting, in case the first came too early.
    const bool answered = x11::WaitFor([&] {
        xcb_send_event(connection, 0, root,
                       XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                       reinterpret_cast<const char*>(&request));
        xcb_flush(connection);
        return x11::Property(probe, "_NET_FRAME_EXTENTS").size() == 4;
    });
    xcb_destroy_window(connection, probe);
    xcb_flush(connection);
    return answered;
}

void X11Desktop::WaitForWindowManager() {
    if (!problem_.empty())
        return;
    const xcb_window_t root =
        xcb_setup_roots_iterator(
            xcb_get_setup(qApp->nativeInterface<QNativeInterface::QX11Application>()->connection()))
            .data->root;
    // Announced: the root names a window that names itself back and the
    // window manager.
    std::string name;
    const bool announced = x11::WaitFor([root, &name] {
        const std::vector<std::uint32_t> check = x11::Property(root, "_NET_SUPPORTING_WM_CHECK");
        if (check.size() != 1 || x11::Property(check.front(), "_NET_SUPPORTING_WM_CHECK") != check)
            return false;
        name = x11::Text(check.front(), "_NET_WM_NAME");
        return !name.empty();
    });
    if (!announced) {
        problem_ = windowManager_ + " did not take over the display within 20 s";
        return;
    }
    if (!AnswersFrameExtents(root))
        problem_ = windowManager_ + " took the display but answers no request within 20 s";
    else if (QString::fromStdString(name).compare(QString::fromStdString(windowManager_),
                                                  Qt::CaseInsensitive) != 0)
        problem_ = "the window manager on the display is " + name + ", not " + windowManager_;
}

namespace x11 {

namespace {
xcb_connection_t* Connection() {
    return qApp->nativeInterface<QNativeInterface::QX11Application>()->connection();
}
} // namespace

xcb_atom_t Atom(const char* name) {
    xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(
        Connection(),
        xcb_intern_atom(Connection(), 0, static_cast<std::uint16_t>(std::strlen(name)), name),
        nullptr);
    const xcb_atom_t atom = reply ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
    std::free(reply);
    return atom;
}

xcb_window_t Id(QWidget& window) {
    return static_cast<xcb_window_t>(window.winId());
}

std::vector<std::uint32_t> Property(xcb_window_t window, const char* name) {
    std::vector<std::uint32_t> values;
    // Long enough for the largest icon property of the program (256 x 256).
    xcb_get_property_reply_t* reply = xcb_get_property_reply(
        Connection(),
        xcb_get_property(Connection(), 0, window, Atom(name), XCB_ATOM_ANY, 0, 1u << 20), nullptr);
    if (reply && reply->format == 32) {
        const auto* data = static_cast<const std::uint32_t*>(xcb_get_property_value(reply));
        values.assign(data, data + xcb_get_property_value_length(reply) / 4);
    }
    std::free(reply);
    return values;
}

std::string Text(xcb_window_t window, const char* name) {
    xcb_get_property_reply_t* reply = xcb_get_property_reply(
        Connection(), xcb_get_property(Connection(), 0, window, Atom(name), XCB_ATOM_ANY, 0, 256),
        nullptr);
    std::string text;
    if (reply && reply->format == 8)
        text.assign(static_cast<const char*>(xcb_get_property_value(reply)),
                    static_cast<std::size_t>(xcb_get_property_value_length(reply)));
    std::free(reply);
    return text;
}

bool WaitFor(const std::function<bool()>& condition, int ms) {
    QElapsedTimer waited;
    waited.start();
    while (!condition()) {
        if (waited.elapsed() > ms)
            return condition();
        QTest::qWait(10);
    }
    return true;
}

} // namespace x11

} // namespace kalvero::test
