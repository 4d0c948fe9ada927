#include "editor/x11_list_popup.h"

#include <X11/keysym.h>

#include <algorithm>

#include "editor/control_painter.h"

namespace tolvar {
namespace {

constexpr int kWheelRows = 3;
constexpr unsigned kWheelUp = Button4, kWheelDown = Button5;

int RowPixels(double scale) { return ToPixels({0, 0, 0, kListRowHeightDlu}, scale).height; }

// As many rows as the template's open height leaves below the closed field.
int MaxRows(double scale) {
    const int room = ToPixels({0, 0, 0, kDialogControls[0].rect.height - kListFieldHeightDlu}, scale).height;
    return std::max(1, room / RowPixels(scale));
}

}  // namespace

X11ListPopup::X11ListPopup(const X11Place& where, const EditorFont& editorFont, const ControlMetrics& sizes,
                           double scale)
    : place(where), font(editorFont), metrics(sizes), rowHeight(RowPixels(scale)), maxRows(MaxRows(scale)) {}

void X11ListPopup::Open(Window owner, const ControlState& list, Time time) {
    Close();
    entries = list.entries;
    controlId = list.control->id;
    rows = std::clamp(Count(), 1, maxRows);
    width = list.rect.width;
    height = rows * rowHeight + 2 * metrics.line;

    int x = 0, y = 0;
    Window child = 0;
    XTranslateCoordinates(place.display, owner, place.root, list.rect.x, list.rect.y, &x, &y, &child);
    const int below = y + list.rect.height;
    y = below + height <= place.screenHeight || y - height < 0 ? below : y - height;
    x = std::clamp(x, 0, std::max(0, place.screenWidth - width));

    XSetWindowAttributes attributes{};
    attributes.override_redirect = True;
    attributes.save_under = True;
    attributes.colormap = place.colormap;
    attributes.border_pixel = 0;
    attributes.event_mask =
        ExposureMask | ButtonPressMask | ButtonReleaseMask | PointerMotionMask | KeyPressMask | StructureNotifyMask;
    window = XCreateWindow(place.display, place.root, x, y, static_cast<unsigned>(width), static_cast<unsigned>(height),
                           0, place.depth, InputOutput, place.visual,
                           CWOverrideRedirect | CWSaveUnder | CWColormap | CWBorderPixel | CWEventMask, &attributes);
    canvas.emplace(place.display, place.visual, place.depth, width, height);
    first = 0;
    highlighted = -1;
    draggingThumb = false;
    Highlight(list.selected);
    XMapRaised(place.display, window);
    // Every pointer event comes here, in this window's coordinates, wherever
    // the pointer is; a press outside closes the list.
    XGrabPointer(place.display, window, False, ButtonPressMask | ButtonReleaseMask | PointerMotionMask, GrabModeAsync,
                 GrabModeAsync, None, None, time);
    XGrabKeyboard(place.display, window, False, GrabModeAsync, GrabModeAsync, time);
}

void X11ListPopup::Close() {
    if (!window) return;
    XUngrabPointer(place.display, CurrentTime);
    XUngrabKeyboard(place.display, CurrentTime);
    canvas.reset();
    XDestroyWindow(place.display, window);
    window = 0;
    controlId = kNoControlId;
}

int X11ListPopup::RowAt(int x, int y) const {
    const int rowsWidth = width - (Count() > rows ? metrics.scrollBar : 0) - metrics.line;
    if (x < metrics.line || x >= rowsWidth || y < metrics.line) return -1;
    const int row = (y - metrics.line) / rowHeight;
    return row < rows && first + row < Count() ? first + row : -1;
}

bool X11ListPopup::InScrollBar(int x, int y) const {
    return Count() > rows && x >= width - metrics.line - metrics.scrollBar && x < width && y >= 0 && y < height;
}

void X11ListPopup::Highlight(int entry) {
    if (entry < 0 || entry >= Count()) return;
    highlighted = entry;
    if (entry < first) ScrollTo(entry);
    if (entry >= first + rows) ScrollTo(entry - rows + 1);
}

void X11ListPopup::ScrollTo(int firstRow) { first = std::clamp(firstRow, 0, std::max(0, Count() - rows)); }

// The thumb's middle follows the pointer along the track.
void X11ListPopup::ScrollToPointer(int y) {
    const int track = height - 2 * metrics.line;
    const ThumbSpan thumb = ScrollThumb(track, Count(), rows, first);
    const int span = std::max(1, track - thumb.length);
    const int top = y - metrics.line - thumb.length / 2;
    ScrollTo((top * (Count() - rows) + span / 2) / span);
}

X11ListPopup::Outcome X11ListPopup::Key(const XKeyEvent& event) {
    XKeyEvent copy = event;
    const KeySym key = XLookupKeysym(&copy, 0);
    const bool alt = event.state & Mod1Mask;
    const int last = Count() - 1;
    const int current = highlighted;
    switch (key) {
        case XK_Escape: return Outcome::Cancelled;
        case XK_Return:
        case XK_KP_Enter:
        case XK_Tab:
        case XK_F4: return highlighted >= 0 ? Outcome::Picked : Outcome::Cancelled;
        case XK_Up:
        case XK_KP_Up:
            if (alt) return highlighted >= 0 ? Outcome::Picked : Outcome::Cancelled;
            Highlight(std::max(0, current - 1));
            break;
        case XK_Down:
        case XK_KP_Down:
            if (alt) return highlighted >= 0 ? Outcome::Picked : Outcome::Cancelled;
            Highlight(std::min(last, current + 1));
            break;
        case XK_Home:
        case XK_KP_Home: Highlight(0); break;
        case XK_End:
        case XK_KP_End: Highlight(last); break;
        case XK_Page_Up:
        case XK_KP_Page_Up: Highlight(std::max(0, current - (rows - 1))); break;
        case XK_Page_Down:
        case XK_KP_Page_Down: Highlight(std::min(last, current < 0 ? rows - 1 : current + (rows - 1))); break;
        default: break;
    }
    return Outcome::StillOpen;
}

X11ListPopup::Outcome X11ListPopup::Handle(const XEvent& event) {
    Outcome outcome = Outcome::StillOpen;
    switch (event.type) {
        case Expose:
            if (event.xexpose.count == 0) Paint();
            return outcome;
        case MotionNotify:
            if (draggingThumb) {
                ScrollToPointer(event.xmotion.y);
            } else if (const int row = RowAt(event.xmotion.x, event.xmotion.y); row >= 0) {
                highlighted = row;
            }
            break;
        case ButtonPress: {
            const XButtonEvent& press = event.xbutton;
            const bool inside = press.x >= 0 && press.x < width && press.y >= 0 && press.y < height;
            if (press.button == kWheelUp || press.button == kWheelDown) {
                ScrollTo(first + (press.button == kWheelUp ? -kWheelRows : kWheelRows));
                if (const int row = RowAt(press.x, press.y); row >= 0) highlighted = row;
            } else if (!inside) {
                return Outcome::Cancelled;
            } else if (press.button == Button1 && InScrollBar(press.x, press.y)) {
                draggingThumb = true;
                ScrollToPointer(press.y);
            }
            break;
        }
        case ButtonRelease:
            // The release of the press that opened the list lands outside it: ignored.
            if (event.xbutton.button == Button1) {
                const bool wasDragging = draggingThumb;
                draggingThumb = false;
                const int row = RowAt(event.xbutton.x, event.xbutton.y);
                if (!wasDragging && row >= 0) {
                    highlighted = row;
                    return Outcome::Picked;
                }
            }
            break;
        case KeyPress: outcome = Key(event.xkey); break;
        case UnmapNotify:
        case DestroyNotify: return Outcome::Cancelled;
        default: return outcome;
    }
    if (outcome == Outcome::StillOpen) Paint();
    return outcome;
}

void X11ListPopup::Paint() {
    if (!canvas) return;
    cairo_t* cr = canvas->Begin();
    font.Use(cr);
    ListPopupView view;
    view.width = width;
    view.height = height;
    view.rowHeight = rowHeight;
    view.first = first;
    view.rows = rows;
    view.highlighted = highlighted;
    view.entries = &entries;
    PaintListPopup({cr, font, metrics}, view);
    cairo_destroy(cr);
    canvas->Show(window);
}

}  // namespace tolvar
