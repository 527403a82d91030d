// Form1 as a GTK 3 window: the controls of the form design at the screen's
// resolution, the three handled events wired to the list, and the reports.
// The walk of a press runs on a thread of its own and reports back through
// the main loop, which keeps the window drawn and closable meanwhile.

#include <gtk/gtk.h>
#include <glib-unix.h>

#include <clocale>
#include <csignal>
#include <functional>
#include <memory>
#include <string>

#include "error.h"
#include "error_report.h"
#include "form_design.h"
#include "form_events.h"
#include "program_directory.h"
#include "standard_streams.h"

namespace {

const std::string kCaption(kFormCaption);

// The resolution fonts are drawn at, so that the twips keep their proportion
// to the text. GDK applies a screen's integer scale factor on top of it.
int ScreenDpi() {
    const double resolution = gdk_screen_get_resolution(gdk_screen_get_default());
    return resolution > 0 ? static_cast<int>(resolution + 0.5) : 96;
}

// The message box on the screen, if any: boxes are modal, so there is at
// most one.
GtkWidget* openBox = nullptr;

void ShowBox(GtkWindow* owner, GtkMessageType type, const std::string& text) {
    GtkWidget* box = gtk_message_dialog_new(
        owner, static_cast<GtkDialogFlags>(GTK_DIALOG_MODAL | GTK_DIALOG_DESTROY_WITH_PARENT), type,
        GTK_BUTTONS_OK, "%s", text.c_str());
    gtk_window_set_title(GTK_WINDOW(box), kCaption.c_str());
    // GTK 3 message boxes show no icon of their own unless given one; the
    // call is deprecated without a replacement.
    const char* icon = type == GTK_MESSAGE_ERROR ? "dialog-error" : "dialog-warning";
    G_GNUC_BEGIN_IGNORE_DEPRECATIONS
    gtk_message_dialog_set_image(GTK_MESSAGE_DIALOG(box),
                                 gtk_image_new_from_icon_name(icon, GTK_ICON_SIZE_DIALOG));
    G_GNUC_END_IGNORE_DEPRECATIONS
    gtk_widget_show_all(box);
    openBox = box;
    gtk_dialog_run(GTK_DIALOG(box));
    openBox = nullptr;
    gtk_widget_destroy(box);
}

class Form1 : public FormFeedback {
  public:
    explicit Form1(NativeString programDirectory) : events_(std::move(programDirectory), *this) {}

    int Run();

    void ShowError(const std::string& text) override { ShowBox(Owner(), GTK_MESSAGE_ERROR, text); }
    void ShowWarning(const std::string& text) override {
        ShowBox(Owner(), GTK_MESSAGE_WARNING, text);
    }
    void SetBusy(bool busy) override;
    void SetCaption(const std::string& caption) override {
        gtk_window_set_title(GTK_WINDOW(window_), caption.c_str());
    }
    void SetCommandText(const std::string& text) override {
        gtk_label_set_text(GTK_LABEL(command1Label_), text.c_str());
    }
    void SetOutcome(const std::string& text) override {
        gtk_label_set_text(GTK_LABEL(label1_),
                           text.empty() ? std::string(kControls[1].text).c_str() : text.c_str());
    }
    // GLib's idle sources may be added from any thread, and run in the order
    // added.
    void Post(std::function<void()> task) override {
        g_idle_add(&Form1::RunPosted, new std::function<void()>(std::move(task)));
    }

  private:
    void Build();
    GtkWindow* Owner() const {
        return window_ != nullptr && gtk_widget_get_visible(window_) ? GTK_WINDOW(window_)
                                                                     : nullptr;
    }
    void Close();

    static void OnClicked(GtkButton*, gpointer self) { static_cast<Form1*>(self)->events_.Click(); }
    static gboolean OnDelete(GtkWidget*, GdkEvent*, gpointer self);
    static void OnEvent(GdkEvent* event, gpointer self);
    static gboolean OnSessionEnd(gpointer self);
    static gboolean OnCloseLater(gpointer self);
    static gboolean RunPosted(gpointer task);

    FormEvents events_;
    GtkWidget* window_ = nullptr;
    GtkWidget* command1_ = nullptr;
    GtkWidget* command1Label_ = nullptr;
    GtkWidget* label1_ = nullptr;
    int exitCode_ = 0;
};

void Form1::Build() {
    const int dpi = ScreenDpi();
    window_ = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    gtk_window_set_title(GTK_WINDOW(window_), kCaption.c_str());
    gtk_window_set_resizable(GTK_WINDOW(window_), FALSE);
    // A layout, unlike a fixed container, does not grow to its children's
    // natural sizes (a label's is its text on one line): the client area
    // keeps its designed size whatever the font.
    GtkWidget* form = gtk_layout_new(nullptr, nullptr);
    gtk_widget_set_size_request(form, TwipsToPixels(kFormClientWidthTwips, dpi),
                                TwipsToPixels(kFormClientHeightTwips, dpi));
    gtk_container_add(GTK_CONTAINER(window_), form);
    // Added in tab order, which makes it the order Tab follows.
    for (const ControlDesign& design : kControls) {
        const std::string text(design.text);
        GtkWidget* control;
        if (design.kind == ControlKind::kPushButton) {
            // A label of its own, which the counts of a walk replace: cut
            // with an ellipsis rather than widening the button should one
            // not fit.
            control = gtk_button_new();
            command1Label_ = gtk_label_new(text.c_str());
            gtk_label_set_ellipsize(GTK_LABEL(command1Label_), PANGO_ELLIPSIZE_END);
            gtk_container_add(GTK_CONTAINER(control), command1Label_);
            // Themes pad a button by 8 pixels a side or more; 4 leave room
            // for a count of six digits.
            GtkCssProvider* narrow = gtk_css_provider_new();
            gtk_css_provider_load_from_data(
                narrow, "button { padding-left: 4px; padding-right: 4px; }", -1, nullptr);
            gtk_style_context_add_provider(gtk_widget_get_style_context(control),
                                           GTK_STYLE_PROVIDER(narrow),
                                           GTK_STYLE_PROVIDER_PRIORITY_APPLICATION);
            g_object_unref(narrow);
            g_signal_connect(control, "clicked", G_CALLBACK(&Form1::OnClicked), this);
            command1_ = control;
        } else {
            control = gtk_label_new(text.c_str());
            gtk_label_set_xalign(GTK_LABEL(control), 0);
            gtk_label_set_yalign(GTK_LABEL(control), 0);
            if (design.wraps) {
                gtk_label_set_line_wrap(GTK_LABEL(control), TRUE);
                // Chinese has no spaces to break at.
                gtk_label_set_line_wrap_mode(GTK_LABEL(control), PANGO_WRAP_WORD_CHAR);
            } else {
                // A text too long for its box is cut with an ellipsis rather
                // than widening the window.
                gtk_label_set_ellipsize(GTK_LABEL(control), PANGO_ELLIPSIZE_END);
            }
            if (&design == &kControls[1]) {
                label1_ = control;
            }
        }
        const Box box = ToPixels(design.twips, dpi);
        gtk_widget_set_size_request(control, box.width, box.height);
        gtk_layout_put(GTK_LAYOUT(form), control, box.left, box.top);
    }
    g_signal_connect(window_, "delete-event", G_CALLBACK(&Form1::OnDelete), this);
    gdk_event_handler_set(&Form1::OnEvent, this, nullptr);
}

int Form1::Run() {
    Build();
    // The load event: the window exists but is not shown, and is never shown
    // when the list cannot be opened.
    if (!events_.Load()) {
        gtk_widget_destroy(window_);
        window_ = nullptr;
        return 1;
    }
    // The end of the session reaches a program as a signal.
    g_unix_signal_add(SIGTERM, &Form1::OnSessionEnd, this);
    g_unix_signal_add(SIGHUP, &Form1::OnSessionEnd, this);
    gtk_widget_show_all(window_);
    gtk_widget_grab_focus(command1_);
    gtk_main();
    return exitCode_;
}

void Form1::SetBusy(bool busy) {
    // An insensitive button takes neither the mouse nor Enter or Space.
    gtk_widget_set_sensitive(command1_, !busy);
    if (!busy) {
        gtk_widget_grab_focus(command1_);
    }
    GdkWindow* surface = gtk_widget_get_window(window_);
    GdkCursor* cursor =
        busy ? gdk_cursor_new_for_display(gdk_window_get_display(surface), GDK_WATCH) : nullptr;
    gdk_window_set_cursor(surface, cursor);
    if (cursor != nullptr) {
        g_object_unref(cursor);
    }
}

void Form1::Close() {
    if (!events_.Unload()) {
        exitCode_ = 1;
    }
    gtk_widget_destroy(window_);
    window_ = nullptr;
    gtk_main_quit();
}

// The close button, the window menu and the window manager's close keys.
gboolean Form1::OnDelete(GtkWidget*, GdkEvent*, gpointer self) {
    static_cast<Form1*>(self)->Close();
    return TRUE;
}

// A box's grab keeps every event of the window from it, its close request
// too, which would then wait for the box to be answered: that one is taken
// here, before GTK sees it, and closes box and window.
void Form1::OnEvent(GdkEvent* event, gpointer self) {
    auto* form = static_cast<Form1*>(self);
    if (event->type == GDK_DELETE && openBox != nullptr && form->window_ != nullptr &&
        event->any.window == gtk_widget_get_window(form->window_)) {
        OnSessionEnd(self);
        return;
    }
    gtk_main_do_event(event);
}

// The end of the session, or a close while a box is open. A box runs a loop
// of its own inside a handler of the window: the box is closed now, and the
// window once that handler has returned, so that nothing is destroyed under
// a caller still using it.
gboolean Form1::OnSessionEnd(gpointer self) {
    if (openBox != nullptr) {
        gtk_dialog_response(GTK_DIALOG(openBox), GTK_RESPONSE_NONE);
    }
    g_idle_add(&Form1::OnCloseLater, self);
    return G_SOURCE_CONTINUE;
}

gboolean Form1::RunPosted(gpointer task) {
    const std::unique_ptr<std::function<void()>> owned(static_cast<std::function<void()>*>(task));
    (*owned)();
    return G_SOURCE_REMOVE;
}

gboolean Form1::OnCloseLater(gpointer self) {
    auto* form = static_cast<Form1*>(self);
    if (form->window_ != nullptr) {
        form->Close();
    }
    return G_SOURCE_REMOVE;
}

}  // namespace

int main(int argc, char** argv) {
    PrepareStandardStreams();
    // Error descriptions from the C library come in the user's language,
    // the common ones in the window's own whatever the locale.
    std::setlocale(LC_ALL, "");
    PreferChineseDescriptions();
    gtk_init(&argc, &argv);
    // The icon the Windows executable carries, read by GdkPixbuf's own
    // loader from the resources built into the program.
    if (GdkPixbuf* icon = gdk_pixbuf_new_from_resource("/obeygen/obeygen.ico", nullptr)) {
        gtk_window_set_default_icon(icon);
        g_object_unref(icon);
    }

    NativeString programDirectory;
    try {
        programDirectory = ProgramDirectory();
    } catch (const Error& error) {
        ShowBox(nullptr, GTK_MESSAGE_ERROR, ErrorReport(error));
        return 1;
    }
    Form1 form(std::move(programDirectory));
    return form.Run();
}
