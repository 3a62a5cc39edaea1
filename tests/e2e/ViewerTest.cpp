// The viewer as a user meets it: the real executable in a real X window
// (under Xvfb), driven with xdotool and looked at through Xlib. Texts on
// screen are checked against vorel-snapshot's rendering of the same texts.
#include <gtest/gtest.h>
#include <stb_image.h>
// Xlib's macros (None, Bool, Status) must come after GoogleTest's templates.
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "Common.h"

namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;
constexpr const char* kTitle = "Vorel - Penwick - Lumen1";
const fs::path kSource = VOREL_SOURCE_DIR;
const fs::path kBinary = VOREL_BINARY_DIR;
const fs::path kLumen = kSource / "Assets/Models/Lumen.x";
const fs::path kBlocks = kSource / "Assets/Models/Blocks.x";
const fs::path kFigure = kSource / "Assets/Models/Figure.x";

struct Rgb {
    int r, g, b;
    bool operator==(const Rgb&) const = default;
};

// Regions of the 1024 x 768 picture: the model block at the top right, and
// the middle, where the samples are drawn clear of the texts.
struct Box {
    int x0, y0, x1, y1;
};
constexpr Box kInformation{700, 0, 1024, 60};
constexpr Box kScene{420, 60, 1024, 740};
const Rgb kClear{0, 0, 0x32};

struct Picture {
    int width = 0, height = 0;
    std::vector<Rgb> pixels;
    Rgb At(int x, int y) const { return pixels[size_t(y) * width + x]; }
};

Picture LoadPng(const fs::path& path) {
    Picture picture;
    int channels = 0;
    unsigned char* data = stbi_load(path.c_str(), &picture.width, &picture.height, &channels, 3);
    if (data == nullptr) return {};
    for (int i = 0; i < picture.width * picture.height; ++i)
        picture.pixels.push_back({data[i * 3], data[i * 3 + 1], data[i * 3 + 2]});
    stbi_image_free(data);
    return picture;
}

// Text is white: what counts in a text region is which pixels are bright.
bool Bright(const Rgb& c) {
    return std::min({c.r, c.g, c.b}) >= 160;
}

template <class Test>
int Count(const Picture& a, const Picture& b, const Box& box, Test differ) {
    if (a.width < box.x1 || b.width < box.x1 || a.height < box.y1 || b.height < box.y1) return -1;
    int count = 0;
    for (int y = box.y0; y < box.y1; ++y)
        for (int x = box.x0; x < box.x1; ++x)
            count += differ(a.At(x, y), b.At(x, y)) ? 1 : 0;
    return count;
}

// Pixels whose text differs; pixels that differ at all.
int TextDifference(const Picture& a, const Picture& b, const Box& box) {
    return Count(a, b, box, [](Rgb p, Rgb q) { return Bright(p) != Bright(q); });
}
int Difference(const Picture& a, const Picture& b, const Box& box) {
    return Count(a, b, box, [](Rgb p, Rgb q) { return p != q; });
}
// Pixels not of the clear colour: how much of the region is drawn.
int Coverage(const Picture& a, const Box& box) {
    return Count(a, a, box, [](Rgb p, Rgb) { return p != kClear; });
}
int BrightPixels(const Picture& a, const Box& box) {
    return Count(a, a, box, [](Rgb p, Rgb) { return Bright(p); });
}

// Polls `condition` until it holds or `timeout` has passed.
bool WaitUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout = 5s) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(50ms);
    }
    return true;
}

// The picture vorel-snapshot makes of `model` with the overlay, as the
// viewer shows it once the model is opened.
Picture Snapshot(const fs::path& model, const std::string& options = "") {
    VorelTest::ScratchFolder scratch;
    const fs::path out = scratch.Path() / "expected.png";
    if (VorelTest::RunTool("vorel-snapshot '" + model.string() + "' '" + out.string() + "' --overlay " +
                           options) != 0)
        return {};
    return LoadPng(out);
}

// How the viewer is started: its command line, the program, the folder it
// starts in (the test's own by default) and its display (the test's own by
// default).
struct Launch {
    std::vector<std::string> args;
    std::string program = (kBinary / "vorel").string();
    std::string folder;
    std::string display;
    std::string home;  // HOME, when set
};

class Viewer {
public:
    // Its standard error goes to a file.
    explicit Viewer(Launch launch = {}) {
        std::vector<char*> argv{launch.program.data()};
        for (auto& a : launch.args)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        const pid_t parent = getpid();
        m_pid = fork();
        if (m_pid == 0) {
            // The viewer dies with the test, whatever ends the test; and it
            // keeps no handle on the test's output, which the runner waits on.
            prctl(PR_SET_PDEATHSIG, SIGKILL);
            if (getppid() != parent) _exit(127);
            if (!launch.folder.empty() && chdir(launch.folder.c_str()) != 0) _exit(126);
            unsetenv("SDL_VIDEODRIVER");
            if (!launch.display.empty()) setenv("DISPLAY", launch.display.c_str(), 1);
            if (!launch.home.empty()) setenv("HOME", launch.home.c_str(), 1), unsetenv("XDG_CONFIG_HOME");
            const int null = open("/dev/null", O_RDWR);
            dup2(null, 0);
            dup2(null, 1);
            dup2(open(ErrorsFile().c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644), 2);
            execv(launch.program.c_str(), argv.data());
            _exit(127);
        }
    }
    ~Viewer() {
        if (m_pid > 0 && !m_exited) {
            kill(m_pid, SIGKILL);
            waitpid(m_pid, nullptr, 0);
        }
    }

    // The exit code, or -1000 when the process did not end in time.
    int WaitForExit(std::chrono::milliseconds timeout = 10s) {
        int code = -1000;
        WaitUntil(
            [&] {
                int status = 0;
                if (waitpid(m_pid, &status, WNOHANG) != m_pid) return false;
                m_exited = true;
                code = WIFEXITED(status) ? WEXITSTATUS(status) : 1000 + WTERMSIG(status);
                return true;
            },
            timeout);
        return code;
    }
    pid_t Pid() const { return m_pid; }
    std::string Errors() const { return VorelTest::ReadFile(ErrorsFile()); }

private:
    std::string ErrorsFile() const { return (m_scratch.Path() / "errors").string(); }

    VorelTest::ScratchFolder m_scratch;
    pid_t m_pid = -1;
    bool m_exited = false;
};

class ViewerTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (std::getenv("DISPLAY") == nullptr)
            GTEST_SKIP() << "needs an X display (test.sh runs these under xvfb-run)";
        m_display = XOpenDisplay(nullptr);
        ASSERT_NE(m_display, nullptr);
        // Windows come and go while the tree is walked: Xlib's default
        // handler would end the test process on the first BadWindow.
        XSetErrorHandler([](Display*, XErrorEvent*) { return 0; });
    }
    void TearDown() override {
        if (m_display) XCloseDisplay(m_display);
    }

    // The process's mapped window of the viewer's title, as xdotool finds it.
    static Window Find(pid_t pid) {
        const std::string command = "xdotool search --onlyvisible --pid " + std::to_string(pid) +
                                    " --name '^" + kTitle + "$' 2>/dev/null";
        FILE* pipe = popen(command.c_str(), "r");
        unsigned long found = 0;
        if (pipe != nullptr && std::fscanf(pipe, "%lu", &found) != 1) found = 0;
        if (pipe != nullptr) pclose(pipe);
        return found;
    }

    // The viewer's window once it has drawn its first picture (the first
    // start of the OpenGL driver can take a few seconds).
    Window WaitForWindow(const Viewer& viewer) {
        Window found = 0;
        WaitUntil(
            [&] {
                const Window w = Find(viewer.Pid());
                if (w == 0 || MenuBar(w) < 0) return false;
                const Picture picture = Grab(w);
                if (picture.width == 0 || picture.At(10, 760) != kClear) return false;
                found = w;
                return true;
            },
            15s);
        return found;
    }

    // The height of the menu bar above the 1024 x 768 picture.
    int MenuBar(Window w) {
        XWindowAttributes a;
        if (!XGetWindowAttributes(m_display, w, &a) || a.width != 1024 || a.height <= 768) return -1;
        return a.height - 768;
    }

    Picture Grab(Window w) {
        const int top = MenuBar(w);
        if (top < 0) return {};
        XImage* image = XGetImage(m_display, w, 0, top, 1024, 768, AllPlanes, ZPixmap);
        if (image == nullptr) return {};
        Picture picture{1024, 768, {}};
        picture.pixels.reserve(1024 * 768);
        for (int y = 0; y < 768; ++y)
            for (int x = 0; x < 1024; ++x) {
                const unsigned long p = XGetPixel(image, x, y);
                picture.pixels.push_back({static_cast<int>((p >> 16) & 0xFF),
                                          static_cast<int>((p >> 8) & 0xFF), static_cast<int>(p & 0xFF)});
            }
        XDestroyImage(image);
        return picture;
    }

    // Waits until the window's text in `box` reads as `expected`'s does.
    bool ShowsText(Window w, const Picture& expected, const Box& box = kInformation) {
        return WaitUntil([&] { return TextDifference(Grab(w), expected, box) == 0; });
    }

    // Waits until the window's scene is `expected` exactly, or is not.
    bool ShowsScene(Window w, const Picture& expected, bool same = true) {
        return WaitUntil([&] { return (Difference(Grab(w), expected, kScene) == 0) == same; });
    }

    static void Xdotool(const std::string& args) {
        const std::string command = "xdotool " + args + " >/dev/null 2>&1";
        ASSERT_EQ(std::system(command.c_str()), 0) << command;
    }

    void PressKey(Window w, const std::string& key) {
        Xdotool("windowfocus --sync " + std::to_string(w));
        Xdotool("key " + key);
    }

    void Click(Window w, int x, int y) {
        Xdotool("mousemove --window " + std::to_string(w) + " " + std::to_string(x) + " " +
                std::to_string(y) + " click 1");
        std::this_thread::sleep_for(300ms);
    }

    // Whether a dialog or message box is up: its focused title bar.
    bool DialogShown(Window w) {
        const Picture picture = Grab(w);
        return Count(picture, picture, {0, 0, 1024, 768}, [](Rgb p, Rgb) {
                   return p == Rgb{41, 74, 122};
               }) > 3000;
    }

    // File > Open: the menu's first item. A click can come before the menu
    // bar is ready for it; then the menu is closed and both clicks made again.
    bool ShowOpenDialog(Window w) {
        const int menuBar = MenuBar(w);
        for (int attempt = 0; attempt < 3; ++attempt) {
            Click(w, 20, menuBar / 2);
            Click(w, 40, menuBar + menuBar / 2 + 6);
            if (WaitUntil([&] { return DialogShown(w); }, 2s)) return true;
            PressKey(w, "Escape");
        }
        return false;
    }

    // What a window manager sends when the close box is clicked.
    void SendCloseRequest(Window w) {
        SendMessage(w, "WM_PROTOCOLS",
                    {static_cast<long>(XInternAtom(m_display, "WM_DELETE_WINDOW", False)), CurrentTime});
    }

    void SendMessage(Window to, const char* type, std::vector<long> data) {
        XEvent event{};
        event.xclient.type = ClientMessage;
        event.xclient.window = to;
        event.xclient.message_type = XInternAtom(m_display, type, False);
        event.xclient.format = 32;
        for (size_t i = 0; i < data.size() && i < 5; ++i)
            event.xclient.data.l[i] = data[i];
        XSendEvent(m_display, to, False, NoEventMask, &event);
        XFlush(m_display);
    }

    // Drops `path` on the window as a file manager does, by the XDND
    // protocol (version 5): enter, position, drop once the window accepts,
    // the file's URI handed over through the selection. True when the
    // window reports the drop finished.
    bool DropFile(Window target, const fs::path& path) {
        const Window source =
            XCreateSimpleWindow(m_display, DefaultRootWindow(m_display), 0, 0, 1, 1, 0, 0, 0);
        const Atom selection = XInternAtom(m_display, "XdndSelection", False);
        const Atom uriList = XInternAtom(m_display, "text/uri-list", False);
        XSetSelectionOwner(m_display, selection, source, CurrentTime);
        const long from = static_cast<long>(source);
        SendMessage(target, "XdndEnter", {from, 5L << 24, static_cast<long>(uriList), 0, 0});
        int x = 0, y = 0;
        Window child;
        XTranslateCoordinates(m_display, target, DefaultRootWindow(m_display), 512, 400, &x, &y, &child);
        SendMessage(target, "XdndPosition",
                    {from, 0, (long(x) << 16) | y, CurrentTime,
                     static_cast<long>(XInternAtom(m_display, "XdndActionCopy", False))});
        const std::string uri = "file://" + path.string() + "\r\n";
        bool dropped = false, finished = false;
        WaitUntil([&] {
            while (XPending(m_display) > 0) {
                XEvent event;
                XNextEvent(m_display, &event);
                if (event.type == SelectionRequest) {
                    const XSelectionRequestEvent& request = event.xselectionrequest;
                    XChangeProperty(m_display, request.requestor, request.property, request.target, 8,
                                    PropModeReplace, reinterpret_cast<const unsigned char*>(uri.data()),
                                    static_cast<int>(uri.size()));
                    XEvent reply{};
                    reply.xselection.type = SelectionNotify;
                    reply.xselection.requestor = request.requestor;
                    reply.xselection.selection = request.selection;
                    reply.xselection.target = request.target;
                    reply.xselection.property = request.property;
                    reply.xselection.time = request.time;
                    XSendEvent(m_display, request.requestor, False, NoEventMask, &reply);
                    XFlush(m_display);
                } else if (event.type == ClientMessage) {
                    const std::string name = XGetAtomName(m_display, event.xclient.message_type);
                    if (name == "XdndStatus" && !dropped && (event.xclient.data.l[1] & 1)) {
                        SendMessage(target, "XdndDrop", {from, 0, CurrentTime});
                        dropped = true;
                    }
                    finished = finished || name == "XdndFinished";
                }
            }
            return finished;
        });
        XDestroyWindow(m_display, source);
        XFlush(m_display);
        return finished;
    }

    Display* m_display = nullptr;
};

// A model named on the command line plays from the start, under its block.
TEST_F(ViewerTest, ACommandLineModelPlaysUnderTheOverlayAndADroppedOneReplacesIt) {
    const Picture expected = Snapshot(kLumen);
    ASSERT_GT(expected.width, 0) << "vorel-snapshot made no picture";
    Viewer viewer(Launch{.args = {"Assets/Models/Lumen.x"}});
    const Window w = WaitForWindow(viewer);
    ASSERT_NE(w, 0u) << viewer.Errors();
    EXPECT_TRUE(ShowsText(w, expected)) << "Lumen.x, 0: Sway, Speed Adjust: 1";
    EXPECT_TRUE(ShowsScene(w, Grab(w), false)) << "the animation plays";
    EXPECT_TRUE(DropFile(w, kBlocks)) << "the drop is finished";
    EXPECT_TRUE(WaitUntil([&] { return BrightPixels(Grab(w), kInformation) == 0; }))
        << "Blocks.x has no animation set: no model block";
    PressKey(w, "Escape");
    EXPECT_EQ(viewer.WaitForExit(), 0) << viewer.Errors();
}

// File > Open from the menu bar: Cancel leaves the picture as it was; a
// typed path opens the model. The close box ends the viewer with 0, as
// Escape ends the others.
TEST_F(ViewerTest, FileOpenCancelsOrShowsTheModel) {
    Viewer viewer;
    const Window w = WaitForWindow(viewer);
    ASSERT_NE(w, 0u) << viewer.Errors();
    const Picture before = Grab(w);
    ASSERT_TRUE(ShowOpenDialog(w));
    PressKey(w, "Escape");  // the dialog's Cancel: the viewer does not see it
    EXPECT_TRUE(WaitUntil([&] { return !DialogShown(w); })) << "the dialog is gone";
    EXPECT_TRUE(ShowsScene(w, before));

    ASSERT_TRUE(ShowOpenDialog(w));
    Xdotool("windowfocus --sync " + std::to_string(w));
    Xdotool("type --delay 5 '" + kLumen.string() + "'");  // into the name field
    Xdotool("key Return");
    EXPECT_TRUE(WaitUntil([&] { return !DialogShown(w); })) << "the dialog takes the file";
    EXPECT_TRUE(ShowsText(w, Snapshot(kLumen))) << "Lumen.x, 0: Sway, Speed Adjust: 1";
    SendCloseRequest(w);
    EXPECT_EQ(viewer.WaitForExit(), 0) << viewer.Errors();
}

// The columns of `row` that are `colour`, as their mean (-1: none).
int ColumnOf(const Picture& picture, int row, Rgb colour, int x0 = 0, int x1 = 1024) {
    int sum = 0, count = 0;
    for (int x = x0; x < x1; ++x)
        if (picture.At(x, row) == colour) sum += x, ++count;
    return count > 0 ? sum / count : -1;
}

// The view tools in the real window. F10 and the arrows open the View menu
// and turn the timeline off, T on again; a click on the timeline pauses at
// that time, End and Home go to the ends; a click on a joint selects it,
// drawn where vorel-snapshot draws that selection.
TEST_F(ViewerTest, TheViewToolsAnswerTheMouseAndTheKeys) {
    const Picture head = Snapshot(kFigure, "--select Head");
    const Rgb selected{255, 224, 64}, cursor{255, 200, 48};
    const int headX = ColumnOf(head, 183, selected, 480, 560);
    ASSERT_GT(headX, 0) << "vorel-snapshot drew the selected joint";
    Viewer viewer(Launch{.args = {kFigure.string()}});
    const Window w = WaitForWindow(viewer);
    ASSERT_NE(w, 0u) << viewer.Errors();
    const int menuBar = MenuBar(w);
    const auto timeline = [&] {
        const Picture p = Grab(w);
        return Count(p, p, {420, 705, 600, 715}, [](Rgb c, Rgb) { return c == Rgb{28, 32, 40}; }) > 1000;
    };
    EXPECT_TRUE(WaitUntil(timeline)) << "shown from the start";
    PressKey(w, "F10");
    // Each key held over a few frames, as a hand holds it: the menus read
    // the keys' state once a frame.
    for (const char* key : {"Right", "Down", "Return"})
        Xdotool(std::string("sleep 0.2 keydown ") + key + " sleep 0.1 keyup " + key);
    EXPECT_TRUE(WaitUntil([&] { return !timeline(); })) << "View > Timeline turns it off";
    PressKey(w, "t");
    EXPECT_TRUE(WaitUntil(timeline)) << "T turns it on";

    const int row = 730;  // through the bar
    Click(w, 8 + 1007 / 4, menuBar + row);
    EXPECT_TRUE(WaitUntil([&] { return std::abs(ColumnOf(Grab(w), row, cursor) - (8 + 1007 / 4)) <= 2; }));
    EXPECT_TRUE(ShowsScene(w, Grab(w))) << "paused there";
    PressKey(w, "End");
    EXPECT_TRUE(WaitUntil([&] { return ColumnOf(Grab(w), row, cursor) >= 1012; })) << "at the end";
    PressKey(w, "Home");
    EXPECT_TRUE(WaitUntil([&] {
        const int x = ColumnOf(Grab(w), row, cursor);
        return x >= 0 && x <= 9;
    })) << "at the start";

    EXPECT_EQ(ColumnOf(Grab(w), 183, selected, 480, 560), -1);
    Click(w, headX, menuBar + 183);
    EXPECT_TRUE(WaitUntil([&] { return std::abs(ColumnOf(Grab(w), 183, selected, 480, 560) - headX) <= 1; }))
        << "the head's joint selected";
    PressKey(w, "Escape");
    EXPECT_EQ(viewer.WaitForExit(), 0) << viewer.Errors();
}

// The window resized as a user drags its edge: the picture follows 1:1,
// with the frame rate at the new bottom-right corner.
TEST_F(ViewerTest, AResizedWindowKeepsTheFrameRateAtItsCorner) {
    Viewer viewer(Launch{.args = {kLumen.string()}});
    const Window w = WaitForWindow(viewer);
    ASSERT_NE(w, 0u) << viewer.Errors();
    const int menuBar = MenuBar(w);
    // Bright pixels of the 70 x 20 corner at (right, bottom) of the picture.
    const auto corner = [&](int right, int bottom) {
        XImage* image =
            XGetImage(m_display, w, right - 70, menuBar + bottom - 20, 70, 20, AllPlanes, ZPixmap);
        if (image == nullptr) return 0;
        int bright = 0;
        for (int y = 0; y < 20; ++y)
            for (int x = 0; x < 70; ++x)
                bright += (XGetPixel(image, x, y) & 0xC0C0C0) == 0xC0C0C0;
        XDestroyImage(image);
        return bright;
    };
    EXPECT_EQ(corner(700, 500), 0);
    Xdotool("windowsize --sync " + std::to_string(w) + " 700 " + std::to_string(500 + menuBar));
    EXPECT_TRUE(WaitUntil([&] { return corner(700, 500) > 20; })) << "FPS at the new corner";
    PressKey(w, "Escape");
    EXPECT_EQ(viewer.WaitForExit(), 0) << viewer.Errors();
}

// Under a window manager: F11 makes the window full screen, with the frame
// rate at the screen's corner, and back; Page Down opens the next model of
// the folder; F12 writes the picture into the pictures folder.
TEST_F(ViewerTest, FullScreenNextModelAndPicture) {
    const pid_t manager = fork();
    if (manager == 0) {
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        const int null = open("/dev/null", O_RDWR);
        dup2(null, 1), dup2(null, 2);
        execlp("openbox", "openbox", nullptr);
        _exit(127);
    }
    // The manager up: it names itself on the root window.
    ASSERT_TRUE(WaitUntil([&] {
        Atom type = 0;
        int format = 0;
        unsigned long count = 0, after = 0;
        unsigned char* data = nullptr;
        XGetWindowProperty(m_display, DefaultRootWindow(m_display),
                           XInternAtom(m_display, "_NET_SUPPORTING_WM_CHECK", False), 0, 1, False,
                           AnyPropertyType, &type, &format, &count, &after, &data);
        if (data != nullptr) XFree(data);
        return count > 0;
    })) << "openbox started";
    VorelTest::ScratchFolder folder;
    fs::copy_file(kLumen, folder.Path() / "a.x");
    fs::copy_file(kLumen.parent_path() / "lumen.png", folder.Path() / "lumen.png");
    fs::copy_file(kFigure, folder.Path() / "b.x");
    fs::copy_file(kFigure.parent_path() / "figure.png", folder.Path() / "figure.png");
    Viewer viewer(Launch{.args = {(folder.Path() / "a.x").string()}, .home = folder.Path().string()});
    const Window w = WaitForWindow(viewer);
    ASSERT_NE(w, 0u) << viewer.Errors();
    const int menuBar = MenuBar(w);
    const auto size = [&] {
        XWindowAttributes a{};
        XGetWindowAttributes(m_display, w, &a);
        return std::pair{a.width, a.height};
    };
    const auto bright = [&](int right, int bottom) {
        XImage* image = XGetImage(m_display, w, right - 70, bottom - 20, 70, 20, AllPlanes, ZPixmap);
        int n = 0;
        for (int y = 0; image != nullptr && y < 20; ++y)
            for (int x = 0; x < 70; ++x)
                n += (XGetPixel(image, x, y) & 0xC0C0C0) == 0xC0C0C0;
        if (image != nullptr) XDestroyImage(image);
        return n;
    };
    PressKey(w, "F11");
    EXPECT_TRUE(WaitUntil([&] { return size() == std::pair{1280, 1024}; })) << "the whole screen";
    EXPECT_TRUE(WaitUntil([&] { return bright(1280, 1024) > 20; })) << "FPS at the screen's corner";
    PressKey(w, "F11");
    EXPECT_TRUE(WaitUntil([&] { return size() == std::pair{1024, 768 + menuBar}; })) << "the window again";

    PressKey(w, "Next");
    EXPECT_TRUE(ShowsText(w, Snapshot(folder.Path() / "b.x"))) << "b.x, the next in the folder";
    PressKey(w, "F12");
    const fs::path pictures = folder.Path() / "Pictures";
    EXPECT_TRUE(WaitUntil([&] {
        std::error_code ec;
        for (const auto& entry : fs::directory_iterator(pictures, ec))
            if (entry.path().filename().string().rfind("b - Walk - ", 0) == 0)
                return LoadPng(entry.path()).width == 1024;
        return false;
    })) << "a picture of b.x in ~/Pictures";
    PressKey(w, "Escape");
    EXPECT_EQ(viewer.WaitForExit(), 0) << viewer.Errors();
    kill(manager, SIGTERM);
    waitpid(manager, nullptr, 0);
}

// The Exec line of a desktop file, its words split at spaces.
std::vector<std::string> ExecLine(const fs::path& entry) {
    std::istringstream lines(VorelTest::ReadFile(entry));
    std::vector<std::string> words;
    for (std::string line; std::getline(lines, line);)
        if (line.rfind("Exec=", 0) == 0) {
            std::istringstream split(line.substr(5));
            for (std::string word; split >> word;)
                words.push_back(word);
        }
    return words;
}

// Installed into a prefix of its own and started from another folder, as a
// file manager starts it: the desktop entry opens a model, the thumbnailer
// writes a picture, the MIME type knows a .x file by name and by content.
TEST_F(ViewerTest, TheInstalledViewerAndThumbnailerWorkFromAnotherFolder) {
    VorelTest::ScratchFolder scratch;
    const fs::path prefix = scratch.Path() / "prefix", elsewhere = scratch.Path() / "elsewhere";
    fs::create_directories(elsewhere);
    const std::string install = "cmake --install '" + kBinary.string() + "' --prefix '" + prefix.string() +
                                "' >'" + (scratch.Path() / "install.log").string() + "' 2>&1";
    ASSERT_EQ(std::system(install.c_str()), 0) << VorelTest::ReadFile(scratch.Path() / "install.log");
    fs::copy_file(kLumen, elsewhere / "my model.x");
    fs::copy_file(kLumen.parent_path() / "lumen.png", elsewhere / "lumen.png");

    const fs::path share = prefix / "share";
    EXPECT_NE(VorelTest::ReadFile(share / "mime/globs2").find("model/x-directx:*.x"), std::string::npos);
    const std::string magic = VorelTest::ReadFile(share / "mime/magic");
    EXPECT_NE(magic.find("[60:model/x-directx]"), std::string::npos);
    EXPECT_NE(magic.find("xof "), std::string::npos);
    EXPECT_NE(VorelTest::ReadFile(share / "applications/vorel.desktop").find("MimeType=model/x-directx;"),
              std::string::npos);

    // The desktop entry's command, with %f the file, from another folder.
    std::vector<std::string> exec = ExecLine(share / "applications/vorel.desktop");
    ASSERT_EQ(exec.size(), 2u);
    EXPECT_EQ(exec[0], (prefix / "bin/vorel").string());
    ASSERT_EQ(exec[1], "%f");
    Viewer viewer(Launch{.args = {"my model.x"}, .program = exec[0], .folder = elsewhere.string()});
    const Window w = WaitForWindow(viewer);
    ASSERT_NE(w, 0u) << viewer.Errors();
    EXPECT_TRUE(ShowsText(w, Snapshot(elsewhere / "my model.x"))) << "my model.x, 0: Sway, Speed Adjust: 1";
    PressKey(w, "Escape");
    EXPECT_EQ(viewer.WaitForExit(), 0) << viewer.Errors();

    // The thumbnailer's command as a file manager runs it.
    std::string command;
    for (const std::string& word : ExecLine(share / "thumbnailers/vorel.thumbnailer")) {
        const std::string value = word == "%s"   ? "128"
                                  : word == "%i" ? "'" + (elsewhere / "my model.x").string() + "'"
                                  : word == "%o" ? "thumb.png"
                                                 : word;
        command += value + " ";
    }
    command = "cd '" + elsewhere.string() + "' && " + command + ">/dev/null 2>&1";
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
    const Picture thumbnail = LoadPng(elsewhere / "thumb.png");
    EXPECT_EQ(thumbnail.width, 128);
    EXPECT_EQ(thumbnail.height, 128);
    EXPECT_GT(Coverage(thumbnail, {0, 0, 128, 128}), 300) << "the model is in the picture";
}

// The display server goes away under a running viewer (a session ends, an
// SSH connection drops): the viewer ends at once, saying so, and does not
// wait for the dead server.
TEST(ViewerOnALostDisplay, EndsWithAMessage) {
    const std::string display = ":" + std::to_string(90 + getpid() % 100);
    const pid_t server = fork();
    if (server == 0) {
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        const int null = open("/dev/null", O_RDWR);
        dup2(null, 1), dup2(null, 2);
        execlp("Xvfb", "Xvfb", display.c_str(), "-screen", "0", "1280x1024x24", "-nolisten", "tcp", nullptr);
        _exit(127);
    }
    ASSERT_GT(server, 0);
    ASSERT_TRUE(WaitUntil([&] {
        Display* d = XOpenDisplay(display.c_str());
        if (d != nullptr) XCloseDisplay(d);
        return d != nullptr;
    })) << "Xvfb "
        << display << " started";
    Viewer viewer(Launch{.args = {kLumen.string()}, .display = display});
    std::this_thread::sleep_for(3s);  // the window up, frames drawn
    EXPECT_EQ(viewer.WaitForExit(0ms), -1000) << "running: " << viewer.Errors();
    kill(server, SIGKILL);
    waitpid(server, nullptr, 0);
    const int code = viewer.WaitForExit(5s);
    EXPECT_NE(code, -1000) << "still running";
    EXPECT_NE(code, 0);
    EXPECT_NE(viewer.Errors().find("lost the connection to the display " + display), std::string::npos)
        << viewer.Errors();
}

}  // namespace
