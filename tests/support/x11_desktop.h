// A real X desktop for window tests, started before the QApplication and
// ended by process id when it goes: Xvfb on a display it picks itself, a
// private D-Bus session bus that starts no services (so nothing is started
// behind the test's back, and nothing talks to the user's bus), and a window
// manager, openbox or xfwm4. Each process is given a parent-death signal, so
// that a test program that dies takes them along.
//
// Where a program is missing or does not start, Problem() says why, and the
// tests skip with that reason.
#pragma once

#include <QProcess>
#include <QTemporaryDir>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>
#include <xcb/xcb.h>

class QWidget;

namespace kalvero::test {

class X11Desktop {
public:
    // Starts the desktop; windowManager is "openbox" or "xfwm4".
    explicit X11Desktop(std::string windowManager);
    ~X11Desktop();
    X11Desktop(const X11Desktop&) = delete;
    X11Desktop& operator=(const X11Desktop&) = delete;

    const std::string& WindowManager() const { return windowManager_; }
    // Why there is no desktop to test on; empty when there is one.
    const std::string& Problem() const { return problem_; }
    // Once the QApplication exists: waits until the window manager has
    // announced itself on the root window by its name (so that the tests
    // run under the one they mean), else records the problem.
    void WaitForWindowManager();

private:
    bool Start(QProcess& process, const QString& program, const QStringList& arguments,
               int reportFd = -1);
    std::string ReadReport(int fd);
    void StartServer();
    void StartBus();
    void StartWindowManager();
    bool AnswersFrameExtents(xcb_window_t root);

    std::string windowManager_;
    std::string problem_;
    QTemporaryDir home_;
    QProcess server_;
    QProcess bus_;
    QProcess manager_;
};

// Asking the X server about the windows of the program (xcb platform only).
namespace x11 {

xcb_atom_t Atom(const char* name);
xcb_window_t Id(QWidget& window);
// A property of 32-bit values, whole; empty when it is not set.
std::vector<std::uint32_t> Property(xcb_window_t window, const char* name);
// A text property (a name); empty when it is not set.
std::string Text(xcb_window_t window, const char* name);
// Processes events until condition holds or ms have passed; the condition's
// last answer.
bool WaitFor(const std::function<bool()>& condition, int ms = 20000);

} // namespace x11

} // namespace kalvero::test
