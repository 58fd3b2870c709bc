// GTK 3 window system: every operation of ui/WindowSystem.h.
//
// - processPendingEvents: dispatches from the default main context without
//   blocking.
// - appendText: GtkTextView (the buffer keeps no undo history).
// - setCaption: GtkLabel, GtkButton or GtkWindow.
// - setVisible: the control, or the wrapper that frames it.
// - windowHandle: the X11 window id of a realized toplevel.
// - setClipboardText: the CLIPBOARD selection, served by this process.
// - showMessageBox: a modal GtkMessageDialog.
// - runMessageLoop: the default main context, until no toplevel is left.
// A Control holds a GtkWidget*. Texts cross from 936 to UTF-8 here.
#include <gtk/gtk.h>
#ifdef GDK_WINDOWING_X11
#include <gdk/gdkx.h>
#endif

#include <string>

#include "text/Conversion.h"
#include "ui/WindowSystem.h"

namespace lunteva {
namespace {

// The text in UTF-8, as GTK takes it; the empty text gives "".
std::string toUtf8(const TextValue& text) {
    if (text.empty()) return {};
    return std::string(utf16ToMultiByte(multiByteToUtf16(text, CP_GBK), CP_UTF8).view());
}

GtkWidget* toWidget(Control control) {
    auto* object = reinterpret_cast<GObject*>(control.native);
    return object != nullptr && GTK_IS_WIDGET(object) ? GTK_WIDGET(object) : nullptr;
}

// Key of the object data by which a control names the widget that frames it
// (a scrolled window or a clipping layout); that wrapper is what shows or hides.
constexpr char OUTER_WIDGET_KEY[] = "lunteva-outer-widget";

GtkWidget* outermost(GtkWidget* widget) {
    auto* outer = static_cast<GtkWidget*>(g_object_get_data(G_OBJECT(widget), OUTER_WIDGET_KEY));
    return outer != nullptr ? outer : widget;
}

std::uintptr_t xidOf(GtkWidget* widget) {
#ifdef GDK_WINDOWING_X11
    GdkWindow* window = gtk_widget_get_window(widget);
    if (window != nullptr && GDK_IS_X11_WINDOW(window)) return gdk_x11_window_get_xid(window);
#endif
    (void)widget;
    return 0;
}

// The realized toplevel whose handle is owner; null when there is none.
GtkWindow* windowOfHandle(std::uintptr_t owner) {
    if (owner == 0) return nullptr;
    GList* toplevels = gtk_window_list_toplevels();
    GtkWindow* found = nullptr;
    for (GList* item = toplevels; item != nullptr && found == nullptr; item = item->next) {
        auto* window = static_cast<GtkWindow*>(item->data);
        if (gtk_widget_get_realized(GTK_WIDGET(window)) && xidOf(GTK_WIDGET(window)) == owner) found = window;
    }
    g_list_free(toplevels);
    return found;
}

// True while any ordinary toplevel window exists (shown or hidden); popups
// such as menus and tooltips do not count.
bool anyToplevelLeft() {
    GList* toplevels = gtk_window_list_toplevels();
    bool left = false;
    for (GList* item = toplevels; item != nullptr && !left; item = item->next)
        left = gtk_window_get_window_type(static_cast<GtkWindow*>(item->data)) == GTK_WINDOW_TOPLEVEL;
    g_list_free(toplevels);
    return left;
}

// What this process serves on CLIPBOARD, in UTF-8, for as long as it owns it.
std::string& clipboardContent() {
    static std::string content;
    return content;
}

void serveClipboard(GtkClipboard*, GtkSelectionData* selection, guint, gpointer) {
    const std::string& content = clipboardContent();
    gtk_selection_data_set_text(selection, content.c_str(), static_cast<gint>(content.size()));
}

void clipboardLost(GtkClipboard*, gpointer) {}

// The answer a message box of style 0 gives: its one button is OK, and
// closing the box counts as OK too.
constexpr int OK_BUTTON = 1;

}  // namespace

void processPendingEvents() {
    while (g_main_context_pending(nullptr)) g_main_context_iteration(nullptr, FALSE);
}

void appendText(Control editBox, const TextValue& text) {
    GtkWidget* widget = toWidget(editBox);
    if (widget == nullptr || !GTK_IS_TEXT_VIEW(widget) || text.empty()) return;
    const std::string utf8 = toUtf8(text);
    GtkTextView* view = GTK_TEXT_VIEW(widget);
    GtkTextBuffer* buffer = gtk_text_view_get_buffer(view);
    GtkTextIter end;
    gtk_text_buffer_get_end_iter(buffer, &end);
    gtk_text_buffer_place_cursor(buffer, &end);
    gtk_text_buffer_insert(buffer, &end, utf8.c_str(), static_cast<gint>(utf8.size()));
    gtk_text_buffer_place_cursor(buffer, &end);  // end now stands behind the new text
    // Applied at once when the view has its size, else as soon as it gets it.
    gtk_text_view_scroll_to_mark(view, gtk_text_buffer_get_insert(buffer), 0.0, FALSE, 0.0, 0.0);
}

void setCaption(Control label, const TextValue& text) {
    GtkWidget* widget = toWidget(label);
    if (widget == nullptr) return;
    const std::string utf8 = toUtf8(text);
    if (GTK_IS_LABEL(widget)) {
        gtk_label_set_text(GTK_LABEL(widget), utf8.c_str());  // no markup, no mnemonic
    } else if (GTK_IS_BUTTON(widget)) {
        gtk_button_set_label(GTK_BUTTON(widget), utf8.c_str());
    } else if (GTK_IS_WINDOW(widget)) {
        gtk_window_set_title(GTK_WINDOW(widget), utf8.c_str());
    }
    gtk_widget_queue_draw(outermost(widget));
}

void setVisible(Control control, bool visible) {
    GtkWidget* widget = toWidget(control);
    if (widget == nullptr) return;
    gtk_widget_set_visible(widget, visible);
    GtkWidget* outer = outermost(widget);
    if (outer != widget) gtk_widget_set_visible(outer, visible);
}

std::uintptr_t windowHandle(Control window) {
    GtkWidget* widget = toWidget(window);
    if (widget == nullptr || !gtk_widget_is_toplevel(widget) || !gtk_widget_get_realized(widget)) return 0;
    return xidOf(widget);
}

bool setClipboardText(const TextValue& text) {
    GtkClipboard* clipboard = gtk_clipboard_get(GDK_SELECTION_CLIPBOARD);
    if (clipboard == nullptr) return false;
    GtkTargetList* list = gtk_target_list_new(nullptr, 0);
    gtk_target_list_add_text_targets(list, 0);
    gint count = 0;
    GtkTargetEntry* targets = gtk_target_table_new_from_list(list, &count);
    gtk_target_list_unref(list);
    // Taking ownership first drops what was there (and calls clipboardLost
    // for an earlier text of ours), so the content is replaced afterwards.
    const bool owned = gtk_clipboard_set_with_data(clipboard, targets, static_cast<guint>(count), serveClipboard,
                                                   clipboardLost, nullptr) != FALSE;
    gtk_target_table_free(targets, count);
    if (!owned) return false;
    clipboardContent() = toUtf8(text);
    // Lets a clipboard manager keep the text after the program has ended.
    gtk_clipboard_set_can_store(clipboard, nullptr, 0);
    return true;
}

int showMessageBox(const TextValue& text, int style, const TextValue& title, std::uintptr_t owner) {
    // Style 0 is the only one the program uses; every style gets its box.
    (void)style;
    GtkWindow* parent = windowOfHandle(owner);
    const std::string message = toUtf8(text);
    GtkWidget* dialog = gtk_message_dialog_new(
        parent, static_cast<GtkDialogFlags>(GTK_DIALOG_MODAL | GTK_DIALOG_DESTROY_WITH_PARENT),
                                               GTK_MESSAGE_OTHER, GTK_BUTTONS_OK, "%s", message.c_str());
    gtk_window_set_title(GTK_WINDOW(dialog), toUtf8(title).c_str());
    gtk_window_set_resizable(GTK_WINDOW(dialog), FALSE);
    if (parent != nullptr) gtk_window_set_position(GTK_WINDOW(dialog), GTK_WIN_POS_CENTER_ON_PARENT);
    gtk_dialog_run(GTK_DIALOG(dialog));
    gtk_widget_destroy(dialog);
    return OK_BUTTON;
}

void runMessageLoop() {
    // A window closed inside one dispatch is gone when the iteration returns.
    while (anyToplevelLeft()) g_main_context_iteration(nullptr, TRUE);
}

}  // namespace lunteva
