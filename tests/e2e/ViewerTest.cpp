// The viewer as a user meets it: the real executable in a real X window
// (under Xvfb), driven with xdotool and looked at through Xlib.
#include <gtest/gtest.h>
// Xlib's macros (None, Bool, Status) must come after GoogleTest's templates.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace {

using namespace std::chrono_literals;
constexpr const char* kTitle = "Vorel - Penwick - Lumen1";

struct Rgb {
    int r, g, b;
    bool operator==(const Rgb&) const = default;
};

std::ostream& operator<<(std::ostream& os, const Rgb& c) {
    return os << "(" << c.r << ", " << c.g << ", " << c.b << ")";
}

class Viewer {
public:
    // Starts the viewer from the repository root, as run.sh does; its
    // standard error goes to a file. `unset` names variables to leave out;
    // `args` are its command line.
    explicit Viewer(std::vector<std::string> unset = {}, std::vector<std::string> args = {}) {
        m_errors = std::string(std::getenv("TMPDIR") ? std::getenv("TMPDIR") : "/tmp") + "/vorel-e2e-" +
                   std::to_string(getpid()) + "-" + std::to_string(s_count++) + ".err";
        std::vector<std::string> env;
        for (char** e = environ; *e != nullptr; ++e) {
            const std::string entry = *e;
            bool keep = entry.rfind("SDL_VIDEODRIVER=", 0) != 0;
            for (const auto& name : unset) keep = keep && entry.rfind(name + "=", 0) != 0;
            if (keep) env.push_back(entry);
        }
        std::vector<char*> envp;
        for (auto& e : env) envp.push_back(e.data());
        envp.push_back(nullptr);
        std::string program = std::string(VOREL_BINARY_DIR) + "/vorel";
        std::vector<char*> argv{program.data()};
        for (auto& a : args)
            argv.push_back(a.data());
        argv.push_back(nullptr);

        const pid_t parent = getpid();
        m_pid = fork();
        if (m_pid == 0) {
            // The viewer dies with the test, whatever ends the test; and it
            // keeps no handle on the test's output, which the runner waits on.
            prctl(PR_SET_PDEATHSIG, SIGKILL);
            if (getppid() != parent) _exit(127);
            const int err = open(m_errors.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            const int null = open("/dev/null", O_RDWR);
            dup2(null, 0);
            dup2(null, 1);
            dup2(err, 2);
            execve(program.c_str(), argv.data(), envp.data());
            _exit(127);
        }
    }

    ~Viewer() {
        if (m_pid > 0 && !m_exited) {
            kill(m_pid, SIGKILL);
            waitpid(m_pid, nullptr, 0);
        }
        std::remove(m_errors.c_str());
    }

    // The exit code, or -1000 when the process did not end in time.
    int WaitForExit(std::chrono::milliseconds timeout = 10s) {
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        while (std::chrono::steady_clock::now() < deadline) {
            int status = 0;
            if (waitpid(m_pid, &status, WNOHANG) == m_pid) {
                m_exited = true;
                return WIFEXITED(status) ? WEXITSTATUS(status) : 1000 + WTERMSIG(status);
            }
            std::this_thread::sleep_for(20ms);
        }
        return -1000;
    }

    pid_t Pid() const { return m_pid; }

    bool Running() {
        int status = 0;
        return waitpid(m_pid, &status, WNOHANG) == 0;
    }

    std::string Errors() const {
        std::ifstream in(m_errors);
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }

private:
    static inline int s_count = 0;
    pid_t m_pid = -1;
    bool m_exited = false;
    std::string m_errors;
};

class ViewerTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (std::getenv("DISPLAY") == nullptr) GTEST_SKIP() << "needs an X display (test.sh runs these under xvfb-run)";
        m_display = XOpenDisplay(nullptr);
        ASSERT_NE(m_display, nullptr);
        // Windows come and go while the tree is walked: Xlib's default
        // handler would end the test process on the first BadWindow.
        XSetErrorHandler([](Display*, XErrorEvent*) { return 0; });
    }
    void TearDown() override {
        if (m_display) XCloseDisplay(m_display);
    }

    long WindowPid(Window w) {
        Atom type;
        int format;
        unsigned long count, after;
        unsigned char* data = nullptr;
        long pid = -1;
        if (XGetWindowProperty(m_display, w, XInternAtom(m_display, "_NET_WM_PID", False), 0, 1, False,
                               XA_CARDINAL, &type, &format, &count, &after, &data) == Success &&
            data != nullptr && count == 1)
            pid = *reinterpret_cast<long*>(data);
        if (data) XFree(data);
        return pid;
    }

    // The window of that title which belongs to the process.
    Window Find(Window root, const std::string& name, pid_t pid) {
        Window rootReturn, parent, *children = nullptr;
        unsigned count = 0;
        if (!XQueryTree(m_display, root, &rootReturn, &parent, &children, &count)) return 0;
        Window found = 0;
        for (unsigned i = 0; i < count && !found; ++i) {
            char* title = nullptr;
            if (XFetchName(m_display, children[i], &title) && title) {
                if (name == title && WindowPid(children[i]) == pid) found = children[i];
                XFree(title);
            }
            if (!found) found = Find(children[i], name, pid);
        }
        if (children) XFree(children);
        return found;
    }

    // The viewer's window once it is mapped and has drawn its first picture
    // (the first start of the OpenGL driver can take a few seconds).
    Window WaitForWindow(const Viewer& viewer) {
        const Rgb black{0, 0, 0};
        for (int i = 0; i < 500; ++i) {
            if (Window w = Find(DefaultRootWindow(m_display), kTitle, viewer.Pid())) {
                XWindowAttributes a;
                if (XGetWindowAttributes(m_display, w, &a) && a.map_state == IsViewable &&
                    Pixel(w, a.width / 2, a.height / 2) != black) {
                    std::this_thread::sleep_for(200ms);
                    return w;
                }
            }
            std::this_thread::sleep_for(20ms);
        }
        return 0;
    }

    Rgb Pixel(Window w, int x, int y) {
        XImage* image = XGetImage(m_display, w, x, y, 1, 1, AllPlanes, ZPixmap);
        if (image == nullptr) return {-1, -1, -1};
        const unsigned long p = XGetPixel(image, 0, 0);
        XDestroyImage(image);
        return {static_cast<int>((p >> 16) & 0xFF), static_cast<int>((p >> 8) & 0xFF), static_cast<int>(p & 0xFF)};
    }

    static void Xdotool(const std::string& args) {
        const std::string command = "xdotool " + args + " >/dev/null 2>&1";
        ASSERT_EQ(std::system(command.c_str()), 0) << command;
    }

    void PressKey(Window w, const char* key) {
        Xdotool("windowfocus --sync " + std::to_string(w));
        Xdotool(std::string("key ") + key);
    }

    void Click(Window w, int x, int y) {
        Xdotool("mousemove --window " + std::to_string(w) + " " + std::to_string(x) + " " + std::to_string(y) +
                " click 1");
        std::this_thread::sleep_for(300ms);
    }

    // What a window manager sends when the close box is clicked.
    void SendCloseRequest(Window w) {
        XEvent event{};
        event.xclient.type = ClientMessage;
        event.xclient.window = w;
        event.xclient.message_type = XInternAtom(m_display, "WM_PROTOCOLS", False);
        event.xclient.format = 32;
        event.xclient.data.l[0] = static_cast<long>(XInternAtom(m_display, "WM_DELETE_WINDOW", False));
        event.xclient.data.l[1] = CurrentTime;
        XSendEvent(m_display, w, False, NoEventMask, &event);
        XFlush(m_display);
    }

    Display* m_display = nullptr;
};

TEST_F(ViewerTest, OpensItsTitledWindowWithTheMenuBarAndEscapeEndsWithZero) {
    Viewer viewer;
    const Window w = WaitForWindow(viewer);
    ASSERT_NE(w, 0u) << viewer.Errors();
    XWindowAttributes a;
    ASSERT_TRUE(XGetWindowAttributes(m_display, w, &a));
    EXPECT_EQ(a.width, 1024);
    EXPECT_GT(a.height, 768) << "the picture area plus the menu bar";
    const int menuBar = a.height - 768;
    EXPECT_NE(Pixel(w, 600, menuBar / 2), Pixel(w, 600, menuBar + 300)) << "a menu bar is drawn above the picture";

    PressKey(w, "Escape");
    EXPECT_EQ(viewer.WaitForExit(), 0) << viewer.Errors();
}

// A model named on the command line plays from the first frame; without
// one the picture stays empty (the clear colour in the middle).
TEST_F(ViewerTest, AModelOnTheCommandLineIsShown) {
    const Rgb clear{0, 0, 0x32};
    for (const bool withModel : {false, true}) {
        Viewer viewer(
            {}, withModel ? std::vector<std::string>{"Assets/Models/Lumen.x"} : std::vector<std::string>{});
        const Window w = WaitForWindow(viewer);
        ASSERT_NE(w, 0u) << viewer.Errors();
        XWindowAttributes a;
        ASSERT_TRUE(XGetWindowAttributes(m_display, w, &a));
        const int middle = a.height - 768 + 384;
        // Until the first frame is presented the picture area is the window's own grey.
        Rgb centre = Pixel(w, 512, middle), corner = Pixel(w, 10, a.height - 10);
        for (int i = 0; i < 100 && corner != clear; ++i) {
            std::this_thread::sleep_for(50ms);
            centre = Pixel(w, 512, middle);
            corner = Pixel(w, 10, a.height - 10);
        }
        EXPECT_EQ(corner, clear) << viewer.Errors();
        if (withModel)
            EXPECT_NE(centre, clear) << "the model in the middle";
        else
            EXPECT_EQ(centre, clear);
        PressKey(w, "Escape");
        EXPECT_EQ(viewer.WaitForExit(), 0) << viewer.Errors();
    }
}

TEST_F(ViewerTest, TheCloseRequestEndsWithZero) {
    Viewer viewer;
    const Window w = WaitForWindow(viewer);
    ASSERT_NE(w, 0u) << viewer.Errors();
    SendCloseRequest(w);
    EXPECT_EQ(viewer.WaitForExit(), 0) << viewer.Errors();
}

TEST_F(ViewerTest, FileOpenShowsTheDialogAndCancelLeavesTheViewerRunning) {
    Viewer viewer;
    const Window w = WaitForWindow(viewer);
    ASSERT_NE(w, 0u) << viewer.Errors();
    XWindowAttributes a;
    ASSERT_TRUE(XGetWindowAttributes(m_display, w, &a));
    const int menuBar = a.height - 768;
    const int cx = 512, cy = menuBar + 384;
    const Rgb background = Pixel(w, cx, cy);

    Click(w, 20, menuBar / 2);          // File
    Click(w, 40, menuBar + menuBar / 2 + 6);  // Open, the first item under it
    EXPECT_NE(Pixel(w, cx, cy), background) << "the dialog covers the middle of the window";

    PressKey(w, "Escape");  // the dialog's Cancel: the viewer does not see it
    std::this_thread::sleep_for(500ms);
    EXPECT_EQ(Pixel(w, cx, cy), background) << "the dialog is gone";
    EXPECT_TRUE(viewer.Running());

    PressKey(w, "Escape");
    EXPECT_EQ(viewer.WaitForExit(), 0) << viewer.Errors();
}

TEST(ViewerWithoutDisplay, EndsWithMinusOneAndSaysWhy) {
    Viewer viewer({"DISPLAY", "WAYLAND_DISPLAY"});
    EXPECT_EQ(viewer.WaitForExit(), 255) << "exit code -1";
    const std::string errors = viewer.Errors();
    EXPECT_NE(errors.find("no display is available"), std::string::npos) << errors;
    EXPECT_EQ(std::count(errors.begin(), errors.end(), '\n'), 1) << "one line: " << errors;
}

}  // namespace
