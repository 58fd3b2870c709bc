// GTK 3 program entry of lunteva, and its main window:
// - the window, hidden, centred on the primary monitor, fixed size, no
//   maximise; its outer size (window-manager frame included) 553 x 287 when
//   the window manager tells its frame extents before the window is mapped,
//   else a client area as large as the Win32 window's;
// - the four controls in their places, fonts and colours through CSS;
// - the program's icon on its windows;
// - the start-up order: built hidden, onCreated to completion, then shown and
//   presented; the message loop until the window is closed; exit code 0.
// The command line is not read.
#include <gtk/gtk.h>
#ifdef GDK_WINDOWING_X11
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <gdk/gdkx.h>
#endif

#include <algorithm>
#include <array>
#include <cstddef>
#include <iterator>
#include <optional>
#include <string>
#include <utility>

#include "text/Conversion.h"
#include "ui/MainWindow.h"

namespace lunteva {

// The program's icon as a Windows .ico file (made by the build).
extern const unsigned char PROGRAM_ICON[];
extern const std::size_t PROGRAM_ICON_SIZE;

namespace {

// The client area that Windows leaves of the 553 x 287 outer size of the
// Win32 window (fixed frame 3, caption 19, sunken client edge 2, as the
// Windows program measures under Wine): the area inside the edge, where the
// controls stand.
constexpr int WIN32_CLIENT_WIDTH = 543;
constexpr int WIN32_CLIENT_HEIGHT = 258;
// The sunken client edge, drawn inside the GTK window around the controls.
constexpr int CLIENT_EDGE = 2;
// How long the window manager may take to tell its frame extents.
constexpr gint64 FRAME_EXTENTS_WAIT_MICROSECONDS = 500'000;

std::string toUtf8(const TextValue& text) {
    if (text.empty()) return {};
    return std::string(utf16ToMultiByte(multiByteToUtf16(text, CP_GBK), CP_UTF8).view());
}

// A reference of our own on a widget, so that the Control values stay valid
// objects (though unrealized) after the window has been destroyed.
class WidgetRef {
public:
    WidgetRef() = default;
    explicit WidgetRef(GtkWidget* widget) : widget_(widget) { g_object_ref(widget_); }
    ~WidgetRef() {
        if (widget_ != nullptr) g_object_unref(widget_);
    }
    WidgetRef(const WidgetRef&) = delete;
    WidgetRef& operator=(WidgetRef&& other) noexcept {
        std::swap(widget_, other.widget_);
        return *this;
    }
    GtkWidget* get() const noexcept { return widget_; }
    Control control() const noexcept { return Control{reinterpret_cast<std::uintptr_t>(widget_)}; }

private:
    GtkWidget* widget_ = nullptr;
};

// Style of the window, its client edge and its controls. The font family list
// starts with the program's face and falls back to CJK faces that
// fontconfig commonly has, then to any sans-serif face.
std::string styleSheet() {
    const std::string families = "\"" + toUtf8(controlFontFace()) +
                                 "\", \"Microsoft YaHei\", \"WenQuanYi Micro Hei\", \"Noto Sans CJK SC\", "
                                 "\"Source Han Sans SC\", \"Droid Sans Fallback\", sans-serif";
    return "frame.lunteva-client-edge > border {"
           "  border-style: inset; border-width: " + std::to_string(CLIENT_EDGE) + "px; border-radius: 0;"
           "}\n"
           "scrolledwindow.lunteva-answer-frame {"
           "  border: 1px solid black; border-radius: 0; background-color: white;"
           "}\n"
           "scrolledwindow.lunteva-answer-frame > undershoot, scrolledwindow.lunteva-answer-frame > overshoot {"
           "  background: none;"
           "}\n"
           "textview.lunteva-answer, textview.lunteva-answer text {"
           "  font-family: " + families + "; font-size: " + std::to_string(ANSWER_BOX_FONT_HEIGHT) + "px;"
           "  font-weight: 400; color: black; background-color: white;"
           "}\n"
           // The selection shows only while the box has the keyboard focus.
           "textview.lunteva-answer:not(:focus) text selection {"
           "  background-color: transparent; color: black;"
           "}\n"
           "label.lunteva-contact, label.lunteva-contact:disabled {"
           "  font-family: " + families + "; font-size: " + std::to_string(CONTACT_LABEL_FONT_HEIGHT) + "px;"
           "  font-weight: 400; color: black; text-shadow: none; -gtk-icon-shadow: none;"
           "}\n"
           "layout.lunteva-contact-area { background-color: transparent; }\n"
           // Room for the caption within the buttons' 32 pixels.
           "button.lunteva-button { min-height: 0; min-width: 0; padding: 2px 4px; }\n";
}

void installStyle() {
    GtkCssProvider* provider = gtk_css_provider_new();
    const std::string css = styleSheet();
    gtk_css_provider_load_from_data(provider, css.c_str(), static_cast<gssize>(css.size()), nullptr);
    gtk_style_context_add_provider_for_screen(gdk_screen_get_default(), GTK_STYLE_PROVIDER(provider),
                                              GTK_STYLE_PROVIDER_PRIORITY_APPLICATION);
    g_object_unref(provider);
}

// The PNG image among the images of an .ico file (its 256-pixel one), as
// offset and size within the file; nullopt when it holds none.
std::optional<std::array<std::size_t, 2>> pngInIcon(const unsigned char* file, std::size_t size) {
    const auto read = [&](std::size_t at, int bytes) {
        std::size_t value = 0;
        for (int i = bytes - 1; i >= 0; --i) value = (value << 8) | file[at + static_cast<std::size_t>(i)];
        return value;
    };
    constexpr unsigned char PNG_SIGNATURE[] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    if (size < 6) return std::nullopt;
    const std::size_t count = read(4, 2);
    for (std::size_t i = 0; i < count && 6 + 16 * (i + 1) <= size; ++i) {
        const std::size_t entry = 6 + 16 * i;
        const std::size_t bytes = read(entry + 8, 4);
        const std::size_t offset = read(entry + 12, 4);
        if (offset > size || bytes > size - offset || bytes < sizeof PNG_SIGNATURE) continue;
        if (std::equal(std::begin(PNG_SIGNATURE), std::end(PNG_SIGNATURE), file + offset))
            return std::array<std::size_t, 2>{offset, bytes};
    }
    return std::nullopt;
}

// Every window of the program shows the program's icon, at the sizes that
// title bars and task lists use. Its large PNG image is scaled down (the
// ICO loader of gdk-pixbuf misreads the file's BMP images).
void installProgramIcon() {
    const auto png = pngInIcon(PROGRAM_ICON, PROGRAM_ICON_SIZE);
    if (!png) return;
    GdkPixbufLoader* loader = gdk_pixbuf_loader_new_with_type("png", nullptr);
    if (loader == nullptr) return;
    const bool written = gdk_pixbuf_loader_write(loader, PROGRAM_ICON + (*png)[0], (*png)[1], nullptr) != FALSE;
    const bool closed = gdk_pixbuf_loader_close(loader, nullptr) != FALSE;  // closed in any case
    GdkPixbuf* image = written && closed ? gdk_pixbuf_loader_get_pixbuf(loader) : nullptr;
    if (image != nullptr) {
        GList* icons = nullptr;
        for (const int side : {16, 32, 48})
            icons = g_list_append(icons, gdk_pixbuf_scale_simple(image, side, side, GDK_INTERP_BILINEAR));
        gtk_window_set_default_icon_list(icons);
        g_list_free_full(icons, g_object_unref);
    }
    g_object_unref(loader);
}

void addClass(GtkWidget* widget, const char* name) {
    gtk_style_context_add_class(gtk_widget_get_style_context(widget), name);
}

// Width and height of the whole primary monitor (panels included).
std::array<int, 2> primaryMonitorSize() {
    GdkDisplay* display = gdk_display_get_default();
    GdkMonitor* monitor = gdk_display_get_primary_monitor(display);
    if (monitor == nullptr && gdk_display_get_n_monitors(display) > 0) monitor = gdk_display_get_monitor(display, 0);
    if (monitor == nullptr) return {MAIN_WINDOW_WIDTH, MAIN_WINDOW_HEIGHT};
    GdkRectangle area{};
    gdk_monitor_get_geometry(monitor, &area);
    return {area.width, area.height};
}

#ifdef GDK_WINDOWING_X11
Window xWindowOf(GtkWidget* window) { return gdk_x11_window_get_xid(gtk_widget_get_window(window)); }

// Asks the window manager (if it supports it) to set _NET_FRAME_EXTENTS on
// the still unmapped window, which tells the size of the frame it will add.
// True when asked.
bool requestFrameExtents(GtkWidget* window) {
    GdkWindow* gdkWindow = gtk_widget_get_window(window);
    if (gdkWindow == nullptr || !GDK_IS_X11_WINDOW(gdkWindow)) return false;
    GdkScreen* screen = gdk_window_get_screen(gdkWindow);
    if (!gdk_x11_screen_supports_net_wm_hint(screen, gdk_atom_intern_static_string("_NET_REQUEST_FRAME_EXTENTS")))
        return false;
    GdkDisplay* display = gdk_window_get_display(gdkWindow);
    Display* xDisplay = GDK_DISPLAY_XDISPLAY(display);
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = xWindowOf(window);
    event.xclient.message_type = gdk_x11_get_xatom_by_name_for_display(display, "_NET_REQUEST_FRAME_EXTENTS");
    event.xclient.format = 32;
    XSendEvent(xDisplay, gdk_x11_get_default_root_xwindow(), False,
               SubstructureRedirectMask | SubstructureNotifyMask, &event);
    XFlush(xDisplay);
    return true;
}

// Left, right, top and bottom of the frame, once the window manager has set them.
std::optional<std::array<long, 4>> frameExtents(GtkWidget* window) {
    GdkWindow* gdkWindow = gtk_widget_get_window(window);
    if (gdkWindow == nullptr || !GDK_IS_X11_WINDOW(gdkWindow)) return std::nullopt;
    GdkDisplay* display = gdk_window_get_display(gdkWindow);
    Display* xDisplay = GDK_DISPLAY_XDISPLAY(display);
    XSync(xDisplay, False);
    Atom type = None;
    int format = 0;
    unsigned long count = 0;
    unsigned long remaining = 0;
    unsigned char* data = nullptr;
    const int status = XGetWindowProperty(
        xDisplay, xWindowOf(window), gdk_x11_get_xatom_by_name_for_display(display, "_NET_FRAME_EXTENTS"), 0, 4,
        False, XA_CARDINAL, &type, &format, &count, &remaining, &data);
    std::optional<std::array<long, 4>> extents;
    if (status == Success && type == XA_CARDINAL && format == 32 && count == 4) {
        const auto* values = reinterpret_cast<const long*>(data);  // format 32 comes as longs
        extents = std::array<long, 4>{values[0], values[1], values[2], values[3]};
    }
    if (data != nullptr) XFree(data);
    return extents;
}
#else
bool requestFrameExtents(GtkWidget*) { return false; }
std::optional<std::array<long, 4>> frameExtents(GtkWidget*) { return std::nullopt; }
#endif

// The size of the window's own area (inside the window manager's frame):
// what the frame leaves of the outer size, or the Win32 client area plus the
// client edge when the frame is not known or leaves too little.
std::array<int, 2> windowAreaSize(GtkWidget* window, bool extentsRequested) {
    const int fallbackWidth = WIN32_CLIENT_WIDTH + 2 * CLIENT_EDGE;
    const int fallbackHeight = WIN32_CLIENT_HEIGHT + 2 * CLIENT_EDGE;
    auto extents = frameExtents(window);
    // A window manager that was asked answers at once; should the daily flow
    // have been quicker still, its answer is awaited, for a bounded time.
    const gint64 deadline = g_get_monotonic_time() + FRAME_EXTENTS_WAIT_MICROSECONDS;
    while (!extents && extentsRequested && g_get_monotonic_time() < deadline) {
        g_usleep(2000);
        extents = frameExtents(window);
    }
    if (!extents) return {fallbackWidth, fallbackHeight};
    const int width = MAIN_WINDOW_WIDTH - static_cast<int>((*extents)[0] + (*extents)[1]);
    const int height = MAIN_WINDOW_HEIGHT - static_cast<int>((*extents)[2] + (*extents)[3]);
    // The controls must fit: the answer box ends 8 pixels before the right,
    // the buttons 4 above the bottom, as on Windows at the least.
    const int neededWidth = COPY_CONTACT_BUTTON_PLACE.left + COPY_CONTACT_BUTTON_PLACE.width + 2 * CLIENT_EDGE;
    const int neededHeight = COPY_CONTACT_BUTTON_PLACE.top + COPY_CONTACT_BUTTON_PLACE.height + 2 * CLIENT_EDGE;
    if (width < neededWidth || height < neededHeight) return {fallbackWidth, fallbackHeight};
    return {width, height};
}

// The window and its controls, with references that outlive the window.
struct MainWindowGtk {
    WidgetRef window;
    WidgetRef clientEdge;
    WidgetRef copyContactButton;
    WidgetRef contactLabel;
    WidgetRef feedbackButton;
    WidgetRef answerBox;
    MainWindow controls;
    bool frameExtentsRequested = false;
};

void placeOnFixed(GtkWidget* fixed, GtkWidget* widget, const ControlPlace& place) {
    gtk_widget_set_size_request(widget, place.width, place.height);
    gtk_fixed_put(GTK_FIXED(fixed), widget, place.left, place.top);
}

GtkWidget* makeButton(const TextValue& caption) {
    GtkWidget* button = gtk_button_new_with_label(toUtf8(caption).c_str());
    addClass(button, "lunteva-button");
    gtk_widget_set_can_default(button, FALSE);
    GtkWidget* label = gtk_bin_get_child(GTK_BIN(button));
    if (label != nullptr && GTK_IS_LABEL(label)) {
        // Long captions break over lines, centred, as on Windows.
        gtk_label_set_line_wrap(GTK_LABEL(label), TRUE);
        gtk_label_set_justify(GTK_LABEL(label), GTK_JUSTIFY_CENTER);
    }
    return button;
}

void onWindowCreated(GtkWidget* window) {
    gtk_window_set_title(GTK_WINDOW(window), toUtf8(windowTitle()).c_str());
    gtk_window_set_resizable(GTK_WINDOW(window), FALSE);
    gtk_window_set_type_hint(GTK_WINDOW(window), GDK_WINDOW_TYPE_HINT_NORMAL);
    gtk_window_set_keep_above(GTK_WINDOW(window), FALSE);
    gtk_window_set_gravity(GTK_WINDOW(window), GDK_GRAVITY_NORTH_WEST);
    const auto [displayWidth, displayHeight] = primaryMonitorSize();
    gtk_window_move(GTK_WINDOW(window), centredOrigin(displayWidth, MAIN_WINDOW_WIDTH),
                    centredOrigin(displayHeight, MAIN_WINDOW_HEIGHT));
}

// Builds the window hidden, then its controls in the order of the layout,
// each hidden at first, and then shows the controls inside the hidden window.
void build(MainWindowGtk& main) {
    GtkWidget* window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    main.window = WidgetRef(window);
    onWindowCreated(window);

    GtkWidget* edge = gtk_frame_new(nullptr);
    gtk_frame_set_shadow_type(GTK_FRAME(edge), GTK_SHADOW_IN);
    addClass(edge, "lunteva-client-edge");
    main.clientEdge = WidgetRef(edge);
    gtk_container_add(GTK_CONTAINER(window), edge);
    GtkWidget* fixed = gtk_fixed_new();
    gtk_container_add(GTK_CONTAINER(edge), fixed);

    GtkWidget* copyButton = makeButton(copyContactCaption());
    main.copyContactButton = WidgetRef(copyButton);
    placeOnFixed(fixed, copyButton, COPY_CONTACT_BUTTON_PLACE);

    // The label sits in a layout of the label's size: the layout clips what
    // a caption needs beyond it, and the label itself is never wrapped or
    // shortened.
    GtkWidget* labelArea = gtk_layout_new(nullptr, nullptr);
    addClass(labelArea, "lunteva-contact-area");
    GtkWidget* label = gtk_label_new(nullptr);
    addClass(label, "lunteva-contact");
    gtk_label_set_single_line_mode(GTK_LABEL(label), TRUE);
    gtk_label_set_ellipsize(GTK_LABEL(label), PANGO_ELLIPSIZE_NONE);
    gtk_label_set_line_wrap(GTK_LABEL(label), FALSE);
    gtk_label_set_use_underline(GTK_LABEL(label), FALSE);
    gtk_label_set_use_markup(GTK_LABEL(label), FALSE);
    gtk_label_set_xalign(GTK_LABEL(label), 0.0F);
    gtk_label_set_yalign(GTK_LABEL(label), 0.5F);
    gtk_widget_set_size_request(label, -1, CONTACT_LABEL_PLACE.height);
    gtk_widget_set_sensitive(label, FALSE);
    gtk_widget_set_sensitive(labelArea, FALSE);
    gtk_layout_put(GTK_LAYOUT(labelArea), label, 0, 0);
    g_object_set_data(G_OBJECT(label), "lunteva-outer-widget", labelArea);
    main.contactLabel = WidgetRef(label);
    placeOnFixed(fixed, labelArea, CONTACT_LABEL_PLACE);

    GtkWidget* feedbackButton = makeButton(feedbackCaption());
    main.feedbackButton = WidgetRef(feedbackButton);
    placeOnFixed(fixed, feedbackButton, FEEDBACK_BUTTON_PLACE);

    // Scrollable without scroll bars: the view wraps at its width and
    // scrolls vertically with the caret, the keys and the wheel.
    GtkWidget* frame = gtk_scrolled_window_new(nullptr, nullptr);
    addClass(frame, "lunteva-answer-frame");
    gtk_scrolled_window_set_policy(GTK_SCROLLED_WINDOW(frame), GTK_POLICY_NEVER, GTK_POLICY_EXTERNAL);
    gtk_scrolled_window_set_overlay_scrolling(GTK_SCROLLED_WINDOW(frame), FALSE);
    gtk_scrolled_window_set_shadow_type(GTK_SCROLLED_WINDOW(frame), GTK_SHADOW_NONE);
    GtkWidget* box = gtk_text_view_new();
    addClass(box, "lunteva-answer");
    gtk_text_view_set_editable(GTK_TEXT_VIEW(box), FALSE);
    gtk_text_view_set_cursor_visible(GTK_TEXT_VIEW(box), TRUE);
    gtk_text_view_set_wrap_mode(GTK_TEXT_VIEW(box), GTK_WRAP_WORD_CHAR);
    gtk_text_view_set_justification(GTK_TEXT_VIEW(box), GTK_JUSTIFY_LEFT);
    gtk_text_view_set_accepts_tab(GTK_TEXT_VIEW(box), FALSE);
    gtk_text_view_set_left_margin(GTK_TEXT_VIEW(box), 1);
    gtk_text_view_set_right_margin(GTK_TEXT_VIEW(box), 1);
    gtk_container_add(GTK_CONTAINER(frame), box);
    g_object_set_data(G_OBJECT(box), "lunteva-outer-widget", frame);
    main.answerBox = WidgetRef(box);
    placeOnFixed(fixed, frame, ANSWER_BOX_PLACE);

    main.controls = MainWindow{main.window.control(), main.copyContactButton.control(), main.contactLabel.control(),
                               main.feedbackButton.control(), main.answerBox.control()};

    // Everything inside the window is shown; the window stays hidden.
    gtk_widget_show_all(edge);

    // With its X window in place, the frame can lose what it must not offer.
    gtk_widget_realize(window);
    GdkWindow* gdkWindow = gtk_widget_get_window(window);
    gdk_window_set_functions(gdkWindow,
                             static_cast<GdkWMFunction>(GDK_FUNC_MOVE | GDK_FUNC_MINIMIZE | GDK_FUNC_CLOSE));
    gdk_window_set_decorations(
        gdkWindow, static_cast<GdkWMDecoration>(GDK_DECOR_BORDER | GDK_DECOR_TITLE | GDK_DECOR_MENU |
                                                GDK_DECOR_MINIMIZE));
    main.frameExtentsRequested = requestFrameExtents(window);

    g_signal_connect_swapped(feedbackButton, "clicked", G_CALLBACK(+[](MainWindow* controls) {
                                 onFeedbackClicked(*controls);
                             }),
                             &main.controls);
    g_signal_connect_swapped(copyButton, "clicked", G_CALLBACK(+[](MainWindow* controls) {
                                 onCopyContactClicked(*controls);
                             }),
                             &main.controls);
}

// Shows the window in its normal state at its size and makes it the active one.
void showWindow(MainWindowGtk& main) {
    GtkWidget* window = main.window.get();
    const auto [width, height] = windowAreaSize(window, main.frameExtentsRequested);
    gtk_widget_set_size_request(main.clientEdge.get(), width, height);
    gtk_window_present(GTK_WINDOW(window));
}

int runProgram() {
    // The window handles of the program are X11 window ids; another backend
    // is used only where X11 is not available.
    gdk_set_allowed_backends("x11,*");
    if (!gtk_init_check(nullptr, nullptr)) return 1;
    installStyle();
    installProgramIcon();
    MainWindowGtk main;
    build(main);
    onCreated(main.controls);
    showWindow(main);
    runMessageLoop();
    return 0;
}

}  // namespace
}  // namespace lunteva

int main() { return lunteva::runProgram(); }
