#include "editor/x11_editor_window.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <system_error>

#include "editor/control_painter.h"
#include "editor/desktop_scale.h"
#include "editor/editor_messages.h"

namespace tolvar {

namespace {
// X resource ids leave their top three bits clear; anything else in the
// pointer is not a window, whatever its low bits happen to name.
constexpr unsigned long kLargestXid = 0x1FFFFFFF;
}  // namespace

std::unique_ptr<X11EditorWindow> X11EditorWindow::Open(EqInstance& instance, unsigned long parent) {
    if (parent == 0 || parent > kLargestXid) return nullptr;
    Display* display = XOpenDisplay(nullptr);
    if (!display) return nullptr;
    std::unique_ptr<X11EditorWindow> editor(new X11EditorWindow(instance, display));
    if (!editor->Create(parent)) return nullptr;
    return editor;
}

X11EditorWindow::X11EditorWindow(EqInstance& owner, Display* connection) : instance(owner), display(connection) {}

bool X11EditorWindow::Create(unsigned long parent) {
    if (!trap.Install(display)) return false;
    wakeFd = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (wakeFd < 0) return false;
    XWindowAttributes parentAttributes;
    if (!XGetWindowAttributes(display, parent, &parentAttributes)) return false;

    // The screen's default visual, whatever the host's window uses: a child
    // may differ in depth when it names its own colormap and border.
    Screen* screen = parentAttributes.screen;
    place = {display,
             RootWindowOfScreen(screen),
             DefaultVisualOfScreen(screen),
             DefaultDepthOfScreen(screen),
             DefaultColormapOfScreen(screen),
             WidthOfScreen(screen),
             HeightOfScreen(screen)};
    scale = DesktopScale(XResourceManagerString(display), std::getenv("GDK_SCALE"));
    metrics.emplace(scale);
    font.emplace(scale, *metrics);

    const PixelRect size = ToPixels(kDialogRect, scale);
    XSetWindowAttributes attributes{};
    attributes.colormap = place.colormap;
    attributes.border_pixel = 0;
    attributes.bit_gravity = NorthWestGravity;
    attributes.event_mask =
        ExposureMask | ButtonPressMask | ButtonReleaseMask | KeyPressMask | StructureNotifyMask | FocusChangeMask;
    window = XCreateWindow(display, parent, 0, 0, static_cast<unsigned>(size.width),
                           static_cast<unsigned>(size.height), 0, place.depth, InputOutput, place.visual,
                           CWColormap | CWBorderPixel | CWBitGravity | CWEventMask, &attributes);
    XSync(display, False);
    if (trap.Count() != 0) return false;  // the parent went, or refused the child

    canvas.emplace(display, place.visual, place.depth, size.width, size.height);
    popup.emplace(place, *font, *metrics, scale);
    controls.emplace(instance, reinterpret_cast<void*>(static_cast<uintptr_t>(window)), scale,
                     [this] { XMapWindow(display, window); });
    input.emplace(display, window, *controls, *popup);
    // Created, filled and shown on this thread; from here on only the event
    // thread uses the connection, until the destructor has joined it.
    controls->Deliver(kWmInitDialog);
    initialised = true;
    trap.Settle();
    try {
        thread = std::thread([this] { Run(); });
    } catch (const std::system_error&) {
        return false;
    }
    return true;
}

X11EditorWindow::~X11EditorWindow() {
    if (thread.joinable()) {
        stopping.store(true);
        Wake();
        thread.join();
    }
    if (popup) popup->Close();
    if (initialised) controls->Deliver(kWmDestroy);
    canvas.reset();
    if (window && !windowGone) XDestroyWindow(display, window);
    // Closing syncs: an error for a window the host already took down ends
    // in the trap, like every other on this connection.
    XCloseDisplay(display);
    if (wakeFd >= 0) close(wakeFd);
}

void X11EditorWindow::Wake() {
    const uint64_t one = 1;
    [[maybe_unused]] const ssize_t written = write(wakeFd, &one, sizeof one);
}

void X11EditorWindow::Run() {
    using Clock = std::chrono::steady_clock;
    const auto period = std::chrono::milliseconds(controls->TimerMilliseconds());
    auto nextTick = Clock::now() + period;
    pollfd watched[2] = {{ConnectionNumber(display), POLLIN, 0}, {wakeFd, POLLIN, 0}};
    while (!stopping.load()) {
        while (XPending(display) > 0) {
            XEvent event;
            XNextEvent(display, &event);
            Dispatch(event);
            trap.Settle();
        }
        if (period.count() > 0 && Clock::now() >= nextTick) {
            controls->Deliver(kWmTimer, static_cast<uintptr_t>(controls->TimerId()));
            nextTick = Clock::now() + period;
        }
        const bool controlsChanged = controls->TakeChanged();
        const bool focusMoved = input->TakeChanged();
        if (controlsChanged || focusMoved || needsPaint) Paint();
        trap.Settle();
        if (XPending(display) > 0) continue;  // what came meanwhile

        int waitMs = -1;
        if (period.count() > 0) {
            const auto left = std::chrono::ceil<std::chrono::milliseconds>(nextTick - Clock::now());
            waitMs = static_cast<int>(std::max<int64_t>(0, left.count()));
        }
        if (poll(watched, 2, waitMs) > 0 && (watched[1].revents & POLLIN)) {
            uint64_t wakes = 0;
            [[maybe_unused]] const ssize_t got = read(wakeFd, &wakes, sizeof wakes);
        }
    }
}

void X11EditorWindow::Dispatch(XEvent& event) {
    if (popup->Owns(event.xany.window)) {
        DispatchToPopup(event);
        return;
    }
    if (event.xany.window != window) return;
    switch (event.type) {
        case Expose:
            if (event.xexpose.count == 0) needsPaint = true;
            break;
        case ButtonPress:
        case ButtonRelease: input->Button(event.xbutton); break;
        case KeyPress:
            // A key that beat the drop-down's grab of the keyboard is still its key.
            if (popup->IsOpen()) {
                DispatchToPopup(event);
            } else {
                input->Key(event.xkey);
            }
            break;
        case FocusOut: {
            // The keyboard went elsewhere; not when the drop-down grabs it, nor
            // the pointer-focus notices that taking the focus itself brings.
            const int detail = event.xfocus.detail;
            if (event.xfocus.mode == NotifyNormal &&
                (detail == NotifyAncestor || detail == NotifyVirtual || detail == NotifyNonlinear ||
                 detail == NotifyNonlinearVirtual)) {
                input->FocusLost();
            }
            break;
        }
        case DestroyNotify:
            // The host destroyed its window, and ours with it.
            if (event.xdestroywindow.window == window) {
                windowGone = true;
                popup->Close();
            }
            break;
        default: break;
    }
}

void X11EditorWindow::DispatchToPopup(const XEvent& event) {
    switch (popup->Handle(event)) {
        case X11ListPopup::Outcome::StillOpen: return;
        case X11ListPopup::Outcome::Picked: {
            const int controlId = popup->ControlId();
            const int entry = popup->Picked();
            popup->Close();
            if (ControlState* list = controls->Find(controlId)) controls->Pick(*list, entry);
            break;
        }
        case X11ListPopup::Outcome::Cancelled: popup->Close(); break;
    }
    needsPaint = true;
}

void X11EditorWindow::Paint() {
    needsPaint = false;
    if (windowGone) return;
    cairo_t* cr = canvas->Begin();
    font->Use(cr);
    const PaintTools tools{cr, *font, *metrics};
    const PixelRect size = ToPixels(kDialogRect, scale);
    PaintFace(tools, size.width, size.height);
    const auto& states = controls->States();
    for (size_t i = 0; i < states.size(); ++i) {
        const ControlState& state = states[i];
        if (!state.control->visible) continue;
        const bool focused = static_cast<int>(i) == input->Focused();
        switch (state.control->kind) {
            case ControlKind::Label: PaintLabel(tools, state.rect, state.control->text); break;
            case ControlKind::GroupBox: PaintGroupBox(tools, state.rect, state.control->text); break;
            case ControlKind::List: PaintListField(tools, state.rect, state.Shown(), focused); break;
            case ControlKind::CheckBox:
                PaintCheckBox(tools, state.rect, state.control->text, state.checked, focused);
                break;
        }
    }
    cairo_destroy(cr);
    canvas->Show(window);
}

}  // namespace tolvar
