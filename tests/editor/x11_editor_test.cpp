// The editor as a Linux host meets it: the real tolvar.so loaded by the
// stand-in host, its editor opened by effEditOpen inside the host's X11 window
// on a private Xvfb, and driven by synthetic mouse and keyboard input (XTEST)
// as a user would. What the user did is read back from the parameters the
// plug-in then holds; what the editor shows, from its pixels.
// GoogleTest first: Xlib's macros None and Bool would break its headers.
#include <gtest/gtest.h>

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>
#include <cairo.h>

#include <chrono>
#include <filesystem>
#include <set>
#include <thread>

#include "editor/dialog_layout.h"
#include "host/x11_host_window.h"
#include "params/param_info.h"
#include "tests/editor/font_caches.h"
#include "tests/editor/xvfb_server.h"
#include "tests/plugin/loaded_plugin.h"

namespace tolvar::test {
namespace {

class XvfbEnvironment : public ::testing::Environment {
    void SetUp() override { ASSERT_EQ(server.Failure(), ""); }
    void TearDown() override { ReleaseFontCaches(); }
    XvfbServer server;
};
[[maybe_unused]] const auto* const kXvfb = ::testing::AddGlobalTestEnvironment(new XvfbEnvironment);

// X errors that reach the process's handler from any connection but the
// host's: one the editor let escape from its own. None may. (The host's own
// queries may race with the editor's windows going away.)
std::atomic<Display*> hostDisplay{nullptr};
std::atomic<int> editorErrors{0};
int CountError(Display* display, XErrorEvent*) {
    if (display != hostDisplay.load()) ++editorErrors;
    return 0;
}

template <class Done>
bool WaitUntil(Done done) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}

const ControlTemplate& TemplateOf(int controlId) {
    for (const ControlTemplate& control : kDialogControls) {
        if (control.id == controlId) return control;
    }
    throw std::invalid_argument("no such control");
}

// Pixels of a control as the template places it, at 6 x 13 pixels per 4 x 8
// dialog units times the scale; a closed list is its template's top 13 units.
struct Box {
    int x, y, width, height;
    // Within the box or the pixel around it.
    bool Near(int px, int py) const { return px >= x - 1 && px <= x + width && py >= y - 1 && py <= y + height; }
};
Box PixelsOf(int controlId, double scale = 1.0) {
    const DluRect dlu = TemplateOf(controlId).rect;
    const int height = TemplateOf(controlId).kind == ControlKind::List ? 13 : dlu.height;
    return {static_cast<int>(dlu.x * 1.5 * scale), static_cast<int>(dlu.y * 1.625 * scale),
            static_cast<int>(dlu.width * 1.5 * scale), static_cast<int>(height * 1.625 * scale)};
}

struct Image {
    int width = 0, height = 0;
    std::vector<uint32_t> pixels;
    bool operator==(const Image&) const = default;
};

class X11EditorTest : public ::testing::Test {
protected:
    void SetUp() override {
        XSetErrorHandler(CountError);
        editorErrors = 0;
        plugin = folder.Create();
        ASSERT_TRUE(plugin);
        plugin->Prepare(44100.0, 512);
        OpenHost();
        ASSERT_TRUE(OpenEditor());
    }
    void TearDown() override {
        plugin.reset();  // effClose with the editor open
        host.reset();
        EXPECT_EQ(editorErrors.load(), 0);
    }

    void OpenHost() {
        std::string error;
        host = X11HostWindow::Open(400, 320, &error);
        ASSERT_TRUE(host) << error;
        display = host->Connection();
        hostDisplay = display;
    }

    // effEditGetRect's size (width, height), or nothing when it answers 0.
    std::vector<int> RectSize() {
        const ERect* rect = nullptr;
        if (plugin->Dispatch(effEditGetRect, 0, 0, &rect) != 1 || !rect) return {};
        EXPECT_EQ(rect->top, 0);
        EXPECT_EQ(rect->left, 0);
        return {rect->right, rect->bottom};
    }
    std::vector<int> WindowSize() { return {Attributes(editor).width, Attributes(editor).height}; }

    // effEditOpen in the host's window; the editor's window once it shows.
    bool OpenEditor() {
        if (plugin->Dispatch(effEditOpen, 0, 0, host->EditorParent()) != 1) return false;
        return WaitUntil([&] { return (editor = ShownChild(host->WindowId(), false)) != 0; });
    }
    // The children of window, and its parent.
    std::vector<Window> Children(Window window, Window* parent = nullptr) {
        Window root = 0, up = 0, *children = nullptr;
        unsigned count = 0;
        if (!window || !XQueryTree(display, window, &root, &up, &children, &count)) return {};
        std::vector<Window> found(children, children + count);
        if (children) XFree(children);
        if (parent) *parent = up;
        return found;
    }
    // A viewable child of parent (override-redirect or not), or 0.
    Window ShownChild(Window parent, bool overrideRedirect) {
        for (const Window child : Children(parent)) {
            XWindowAttributes attributes;
            if (XGetWindowAttributes(display, child, &attributes) && attributes.map_state == IsViewable &&
                static_cast<bool>(attributes.override_redirect) == overrideRedirect) {
                return child;
            }
        }
        return 0;
    }
    Window DropDown() { return ShownChild(DefaultRootWindow(display), true); }
    XWindowAttributes Attributes(Window window) {
        XWindowAttributes attributes{};
        XGetWindowAttributes(display, window, &attributes);
        return attributes;
    }

    void PointerTo(Window window, int x, int y) {
        Window child = 0;
        int rootX = 0, rootY = 0;
        XTranslateCoordinates(display, window, DefaultRootWindow(display), x, y, &rootX, &rootY, &child);
        XTestFakeMotionEvent(display, -1, rootX, rootY, 0);
    }
    void Click(Window window, int x, int y, unsigned button = Button1) {
        PointerTo(window, x, y);
        XTestFakeButtonEvent(display, button, True, 0);
        XTestFakeButtonEvent(display, button, False, 0);
        XSync(display, False);
    }
    void ClickControl(int controlId, double scale = 1.0, unsigned button = Button1) {
        const Box box = PixelsOf(controlId, scale);
        Click(editor, box.x + box.width / 2, box.y + box.height / 2, button);
    }
    void Press(KeySym key, KeySym modifier = NoSymbol) {
        if (modifier != NoSymbol) XTestFakeKeyEvent(display, XKeysymToKeycode(display, modifier), True, 0);
        XTestFakeKeyEvent(display, XKeysymToKeycode(display, key), True, 0);
        XTestFakeKeyEvent(display, XKeysymToKeycode(display, key), False, 0);
        if (modifier != NoSymbol) XTestFakeKeyEvent(display, XKeysymToKeycode(display, modifier), False, 0);
        XSync(display, False);
    }
    // Opens a list's drop-down with the mouse; its window, or 0.
    Window OpenList(int controlId) {
        ClickControl(controlId);
        Window dropDown = 0;
        WaitUntil([&] { return (dropDown = DropDown()) != 0; });
        return dropDown;
    }
    // The list has the keyboard's focus, its drop-down closed.
    void FocusList(int controlId) {
        ASSERT_NE(OpenList(controlId), 0u);
        Press(XK_Escape);
        ASSERT_TRUE(WaitUntil([&] { return DropDown() == 0; }));
    }
    void ExpectBecomes(int param, float value) {
        if (WaitUntil([&] { return plugin->GetParameter(param) == value; })) return;
        ADD_FAILURE() << kParamTable[param].name << " is " << plugin->GetParameter(param) << ", not " << value;
    }

    Image Capture() {
        const XWindowAttributes attributes = Attributes(editor);
        Image image{attributes.width, attributes.height, {}};
        XImage* grabbed = XGetImage(display, editor, 0, 0, static_cast<unsigned>(image.width),
                                    static_cast<unsigned>(image.height), AllPlanes, ZPixmap);
        if (!grabbed) return {};
        for (int y = 0; y < image.height; ++y) {
            for (int x = 0; x < image.width; ++x) image.pixels.push_back(XGetPixel(grabbed, x, y) & 0xFFFFFF);
        }
        XDestroyImage(grabbed);
        return image;
    }
    // Waits until two captures a moment apart agree and show more than a few colours.
    Image SettledImage() {
        Image image;
        WaitUntil([&] {
            Image next = Capture();
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
            const size_t colours = std::set<uint32_t>(next.pixels.begin(), next.pixels.end()).size();
            const bool settled = next == Capture() && colours > 8;
            image = std::move(next);
            return settled;
        });
        return image;
    }
    static void WritePng(const Image& image, const std::string& path) {
        cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, image.width, image.height);
        auto* rows = cairo_image_surface_get_data(surface);
        const int stride = cairo_image_surface_get_stride(surface);
        for (int y = 0; y < image.height; ++y) {
            std::copy_n(&image.pixels[static_cast<size_t>(y) * image.width], image.width,
                        reinterpret_cast<uint32_t*>(rows + y * stride));
        }
        cairo_surface_mark_dirty(surface);
        EXPECT_EQ(cairo_surface_write_to_png(surface, path.c_str()), CAIRO_STATUS_SUCCESS);
        cairo_surface_destroy(surface);
    }
    // Reopens the editor as the desktop's scale now says; the host asks for
    // its size first, and it keeps that size.
    void ReopenAtScale(const char* xftDpi, const char* gdkScale) {
        plugin->Dispatch(effEditClose);
        const std::string resources = xftDpi ? std::string("Xft.dpi:\t") + xftDpi + "\n" : "";
        XChangeProperty(display, DefaultRootWindow(display), XA_RESOURCE_MANAGER, XA_STRING, 8, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(resources.c_str()), static_cast<int>(resources.size()));
        XSync(display, False);
        gdkScale ? setenv("GDK_SCALE", gdkScale, 1) : unsetenv("GDK_SCALE");
        const std::vector<int> reported = RectSize();
        ASSERT_TRUE(OpenEditor());
        EXPECT_EQ(reported, WindowSize());
    }

    LoadedPluginFolder folder;
    std::unique_ptr<PluginInstance> plugin;
    std::unique_ptr<X11HostWindow> host;
    Display* display = nullptr;
    Window editor = 0;
};

TEST_F(X11EditorTest, OpensInsideTheHostsWindowAtTheSizeItReports) {
    EXPECT_EQ(plugin->Effect()->flags & kEffFlagsHasEditor, kEffFlagsHasEditor);
    Window parent = 0;
    Children(editor, &parent);
    EXPECT_EQ(parent, host->WindowId());
    const XWindowAttributes attributes = Attributes(editor);
    EXPECT_EQ(std::vector<int>({attributes.x, attributes.y, attributes.width, attributes.height}),
              std::vector<int>({0, 0, 378, 314}));  // 252 x 193 dialog units
    EXPECT_EQ(RectSize(), WindowSize());
    plugin->Dispatch(effEditClose);
    EXPECT_EQ(RectSize(), std::vector<int>({378, 314}));
    // A parent that is no window, or a pointer that is no window id even where
    // its low bits name the host's window, opens nothing and raises no error.
    for (const uintptr_t notAParent : {uintptr_t{0x1FFFFFF0}, (uintptr_t{1} << 40) | host->WindowId()}) {
        EXPECT_EQ(plugin->Dispatch(effEditOpen, 0, 0, reinterpret_cast<void*>(notAParent)), 0);
    }
    EXPECT_TRUE(Children(host->WindowId()).empty());
}

TEST_F(X11EditorTest, EveryListPicksWithTheMouse) {
    // The entry before the last, in every list whose entries all show at once.
    struct Case {
        int controlId, param, entries;
        float stored;
    };
    for (const Case& pick : {Case{1033, kParamInputMode, 5, 0.75f}, Case{1076, kParamLpf, 6, 0.8f},
                             Case{1036, kParamHpf, 6, 0.8f}, Case{1037, kParamLShelfF, 5, 0.75f},
                             Case{1041, kParamBand1F, 10, 8.0f / 9}, Case{1043, kParamBand2F, 10, 8.0f / 9},
                             Case{1045, kParamHShelfF, 5, 0.75f}}) {
        SCOPED_TRACE(kParamTable[pick.param].name);
        const Window dropDown = OpenList(pick.controlId);
        ASSERT_NE(dropDown, 0u);
        const XWindowAttributes list = Attributes(dropDown);
        EXPECT_NEAR(list.width, PixelsOf(pick.controlId).width, 1);
        const int rowHeight = list.height / pick.entries;
        Click(dropDown, list.width / 2, rowHeight * (pick.entries - 2) + rowHeight / 2);
        ExpectBecomes(pick.param, pick.stored);
        EXPECT_TRUE(WaitUntil([&] { return DropDown() == 0; }));
    }
}

TEST_F(X11EditorTest, TheKeyboardAndTheWheelDriveTheGainLists) {
    FocusList(1038);
    Press(XK_End);  // "<bypass>"
    ExpectBecomes(kParamLShelfG, 1.0f);
    Press(XK_Up);
    ExpectBecomes(kParamLShelfG, 0.96f);
    Press(XK_Home);
    ExpectBecomes(kParamLShelfG, 0.0f);

    ClickControl(1042, 1.0, Button5);  // the wheel, over a list without the focus
    ExpectBecomes(kParamBand1G, 0.52f);
    Press(XK_Tab);  // from the low shelf's gain past its hidden box and band 1's frequency
    Press(XK_Tab);
    Press(XK_Down);
    ExpectBecomes(kParamBand1G, 0.56f);

    FocusList(1044);
    Press(XK_F4);
    ASSERT_TRUE(WaitUntil([&] { return DropDown() != 0; }));
    Press(XK_Down);
    Press(XK_Escape);  // leaves the list as it was
    ASSERT_TRUE(WaitUntil([&] { return DropDown() == 0; }));
    EXPECT_EQ(plugin->GetParameter(kParamBand2G), 0.48f);
    Press(XK_Down, XK_Alt_L);
    ASSERT_TRUE(WaitUntil([&] { return DropDown() != 0; }));
    Press(XK_Page_Down);
    Press(XK_Up);
    Press(XK_Return);
    ExpectBecomes(kParamBand2G, 0.96f);

    ASSERT_NE(OpenList(1046), 0u);
    Click(DropDown(), 5, 5, Button5);  // scrolls the open list, changes nothing
    Press(XK_End);
    Press(XK_Return);
    ExpectBecomes(kParamHShelfG, 1.0f);
}

TEST_F(X11EditorTest, TheBandBoxesTickAndTheShelfBoxesStayHidden) {
    ClickControl(1019);  // where the hidden low-shelf box lies
    ClickControl(1020);
    ExpectBecomes(kParamBand1HQ, 1.0f);
    EXPECT_EQ(plugin->GetParameter(kParamLShelfHQ), 0.0f);
    ClickControl(1020);
    ExpectBecomes(kParamBand1HQ, 0.0f);
    ClickControl(1022);
    ClickControl(1021);
    ExpectBecomes(kParamBand2HQ, 1.0f);
    Press(XK_space);
    ExpectBecomes(kParamBand2HQ, 0.0f);
    EXPECT_EQ(plugin->GetParameter(kParamHShelfHQ), 0.0f);
}

TEST_F(X11EditorTest, HostChangesShowInTheirOwnControlsOnly) {
    const Image before = SettledImage();
    plugin->SetParameter(kParamLpf, 0.6f);  // "8200 Hz"
    plugin->SetParameter(kParamBand2HQ, 1.0f);
    const auto changedWithin = [&](const Image& after, const Box& box) {
        for (int y = box.y; y < box.y + box.height; ++y) {
            for (int x = box.x; x < box.x + box.width; ++x) {
                if (before.pixels[y * before.width + x] != after.pixels[y * after.width + x]) return true;
            }
        }
        return false;
    };
    const Box lowpass = PixelsOf(1076), hiQ = PixelsOf(1021);
    Image after;
    ASSERT_TRUE(WaitUntil([&] {
        after = Capture();
        return changedWithin(after, lowpass) && changedWithin(after, hiQ);
    }));
    for (int y = 0; y < after.height; ++y) {
        for (int x = 0; x < after.width; ++x) {
            if (lowpass.Near(x, y) || hiQ.Near(x, y)) continue;
            ASSERT_EQ(before.pixels[y * after.width + x], after.pixels[y * after.width + x]) << x << "," << y;
        }
    }
    // The keyboard steps on from the choice shown.
    FocusList(1076);
    Press(XK_Down);
    ExpectBecomes(kParamLpf, 0.8f);
    ClickControl(1021);
    ExpectBecomes(kParamBand2HQ, 0.0f);
}

TEST_F(X11EditorTest, ClosesWithoutErrorWhenTheHostDestroyedItsWindowFirst) {
    ASSERT_NE(OpenList(1033), 0u);
    host->Destroy();
    // The drop-down goes with its list and lets go of the pointer and keyboard.
    EXPECT_TRUE(WaitUntil([&] { return DropDown() == 0; }));
    EXPECT_EQ(XGrabPointer(display, DefaultRootWindow(display), False, ButtonPressMask, GrabModeAsync, GrabModeAsync,
                           None, None, CurrentTime),
              GrabSuccess);
    XUngrabPointer(display, CurrentTime);
    EXPECT_EQ(plugin->Dispatch(effEditClose), 0);

    OpenHost();
    ASSERT_TRUE(OpenEditor());
    host->Destroy();
    plugin->Close();  // effClose, the parent already gone
}

TEST_F(X11EditorTest, OpensAndClosesAHundredTimesLeavingNothingBehind) {
    const auto entries = [](const char* path) {
        return std::distance(std::filesystem::directory_iterator(path), std::filesystem::directory_iterator());
    };
    plugin->Dispatch(effEditClose);
    const auto files = entries("/proc/self/fd"), threads = entries("/proc/self/task");
    for (int i = 0; i < 100; ++i) {
        ASSERT_EQ(plugin->Dispatch(effEditOpen, 0, 0, host->EditorParent()), 1);
        plugin->Dispatch(effEditClose);
    }
    EXPECT_EQ(entries("/proc/self/fd"), files);
    EXPECT_EQ(entries("/proc/self/task"), threads);
    EXPECT_TRUE(Children(host->WindowId()).empty());
}

TEST_F(X11EditorTest, DrawsAtTheDesktopsScale) {
    host->Resize(756, 627);
    ReopenAtScale("144", nullptr);
    EXPECT_EQ(WindowSize(), std::vector<int>({567, 470}));
    ClickControl(1020, 1.5);
    ExpectBecomes(kParamBand1HQ, 1.0f);

    ReopenAtScale(nullptr, "2");
    EXPECT_EQ(WindowSize(), std::vector<int>({756, 627}));
    EXPECT_EQ(RectSize(), WindowSize());
    ClickControl(1021, 2.0);
    ExpectBecomes(kParamBand2HQ, 1.0f);
    unsetenv("GDK_SCALE");
}

// Pictures for the README: editor-linux.png and editor-linux-2x.png in the build folder.
TEST_F(X11EditorTest, TakesItsPictureAtOneAndTwoTimes) {
    host->Resize(378, 314);
    const Image single = SettledImage();
    EXPECT_EQ(single.width, 378);
    WritePng(single, TOLVAR_PICTURE_DIR "/editor-linux.png");
    host->Resize(756, 627);
    ReopenAtScale(nullptr, "2");
    const Image twice = SettledImage();
    EXPECT_EQ(twice.width, 756);
    WritePng(twice, TOLVAR_PICTURE_DIR "/editor-linux-2x.png");
    unsetenv("GDK_SCALE");
}

}  // namespace
}  // namespace tolvar::test
