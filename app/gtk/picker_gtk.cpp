// The path picker on GTK: a GtkFileChooserNative in open or folder mode, with no parent window,
// so the main window stays live while the worker waits. The worker never calls GTK: it hands
// the request to the main loop and waits for the answer. Paths arrive as UTF-8.
#include <gtk/gtk.h>

#include <condition_variable>
#include <memory>
#include <mutex>

#include "core/file_access.h"
#include "ir/picker.h"

namespace nimba {

namespace {

// Shared by the waiting worker and the main loop; whichever lets go last frees it.
struct pick_request {
    pick_mode mode = pick_mode::wav_file;
    std::mutex lock;
    std::condition_variable answered;
    bool done = false;
    std::wstring path;
};
using request_ref = std::shared_ptr<pick_request>;

// The request the main loop is to open next, handed over under a lock of the standard library
// (so thread checkers see the hand-over; GLib's own locking is invisible to them).
std::mutex handover_lock;
request_ref handed_over;

void answer(pick_request& request, std::wstring path) {
    {
        std::lock_guard<std::mutex> hold(request.lock);
        request.path = std::move(path);
        request.done = true;
    }
    request.answered.notify_all();
}

std::wstring chosen_path(GtkFileChooser* chooser) {
    GFile* file = gtk_file_chooser_get_file(chooser);
    if (!file) return {};
    char* local = g_file_get_path(file); // null for a location that is no local file
    g_object_unref(file);
    if (!local) return {};
    std::wstring path = wide_from_utf8(local);
    g_free(local);
    return path;
}

// GTK keeps no reference to a native dialog while it is shown: the one taken at creation
// lives until this answer.
void responded(GtkNativeDialog* dialog, int response, gpointer data) {
    auto* request = static_cast<request_ref*>(data);
    answer(**request, response == GTK_RESPONSE_ACCEPT ? chosen_path(GTK_FILE_CHOOSER(dialog))
                                                      : std::wstring());
    delete request;
    g_object_unref(dialog);
}

gboolean open_dialog(gpointer) {
    auto* request = new request_ref;
    {
        std::lock_guard<std::mutex> hold(handover_lock);
        request->swap(handed_over);
    }
    const bool folder = (*request)->mode == pick_mode::folder;
    GtkFileChooserNative* dialog = gtk_file_chooser_native_new(
        folder ? "Select Folder" : "Open", nullptr,
        folder ? GTK_FILE_CHOOSER_ACTION_SELECT_FOLDER : GTK_FILE_CHOOSER_ACTION_OPEN, nullptr,
        nullptr);
    if (!folder) {
        GtkFileFilter* wave = gtk_file_filter_new();
        gtk_file_filter_set_name(wave, "Wave");
        gtk_file_filter_add_suffix(wave, "wav"); // suffixes match in any letter case
        gtk_file_filter_add_suffix(wave, "wave");
        gtk_file_chooser_add_filter(GTK_FILE_CHOOSER(dialog), wave);
        g_object_unref(wave);
    }
    g_signal_connect(dialog, "response", G_CALLBACK(responded), request);
    gtk_native_dialog_show(GTK_NATIVE_DIALOG(dialog));
    return G_SOURCE_REMOVE;
}

} // namespace

std::wstring pick_path(pick_mode mode) {
    auto request = std::make_shared<pick_request>();
    request->mode = mode;
    {
        std::lock_guard<std::mutex> hold(handover_lock);
        handed_over = request;
    }
    g_idle_add(open_dialog, nullptr);
    std::unique_lock<std::mutex> hold(request->lock);
    request->answered.wait(hold, [&request] { return request->done; });
    return std::move(request->path);
}

} // namespace nimba
