// The path picker on GTK: a GtkFileChooserNative in open, save or folder mode, with no parent
// window, so the main window stays live while the worker waits. The worker never calls GTK: it
// hands the request to the main loop and waits for the answer. Paths arrive as UTF-8. A backup
// to restore is looked for first where the editor keeps its own backups.
#include <gtk/gtk.h>

#include <condition_variable>
#include <memory>
#include <mutex>

#include "core/file_access.h"
#include "core/user_folders.h"
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

struct dialog_look {
    const char* title;
    GtkFileChooserAction action;
    const char* filter_name; // null: no filter
    const char* suffixes[2]; // suffixes match in any letter case
};

dialog_look look_of(pick_mode mode) {
    switch (mode) {
    case pick_mode::folder:
        return {"Select Folder", GTK_FILE_CHOOSER_ACTION_SELECT_FOLDER, nullptr, {}};
    case pick_mode::backup_save:
        return {"Save Backup", GTK_FILE_CHOOSER_ACTION_SAVE, "Backup", {"json", nullptr}};
    case pick_mode::backup_open:
        return {"Open Backup", GTK_FILE_CHOOSER_ACTION_OPEN, "Backup", {"json", nullptr}};
    case pick_mode::wav_file:
        break;
    }
    return {"Open", GTK_FILE_CHOOSER_ACTION_OPEN, "Wave", {"wav", "wave"}};
}

// Opens the chooser in the folder, when it exists.
void start_in(GtkFileChooser* chooser, const std::wstring& folder) {
    const std::string path = utf8_from_wide(folder);
    if (path.empty() || !g_file_test(path.c_str(), G_FILE_TEST_IS_DIR)) return;
    GFile* file = g_file_new_for_path(path.c_str());
    gtk_file_chooser_set_current_folder(chooser, file, nullptr);
    g_object_unref(file);
}

gboolean open_dialog(gpointer) {
    auto* request = new request_ref;
    {
        std::lock_guard<std::mutex> hold(handover_lock);
        request->swap(handed_over);
    }
    const pick_mode mode = (*request)->mode;
    const dialog_look look = look_of(mode);
    GtkFileChooserNative* dialog =
        gtk_file_chooser_native_new(look.title, nullptr, look.action, nullptr, nullptr);
    GtkFileChooser* chooser = GTK_FILE_CHOOSER(dialog);
    if (look.filter_name) {
        GtkFileFilter* filter = gtk_file_filter_new();
        gtk_file_filter_set_name(filter, look.filter_name);
        for (const char* suffix : look.suffixes)
            if (suffix) gtk_file_filter_add_suffix(filter, suffix);
        gtk_file_chooser_add_filter(chooser, filter);
        g_object_unref(filter);
    }
    if (mode == pick_mode::backup_save)
        gtk_file_chooser_set_current_name(chooser, "nimba-programs.json");
    if (mode == pick_mode::backup_open) start_in(chooser, backup_folder_path());
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
