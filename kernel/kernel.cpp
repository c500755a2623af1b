// kernel/kernel.cpp -- process entry, the main and drawing windows, start-up and shutdown, the
// game's folders and the trimming of the temporary folder.
//
// Sections: folders and trimming; start-up (kernel_init); shutdown (kernel_done); windows;
// process entry.
#include "kernel/kernel.h"

#include <sys/utsname.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <vector>

#include "base/limits.h"
#include "base/str.h"
#include "gift/giftbuild.h"
#include "gui/button.h"
#include "gui/chooser.h"
#include "gui/font.h"
#include "gui/ge.h"
#include "gui/io_dialog.h"
#include "gui/lt.h"
#include "gui/msgbox.h"
#include "gui/window.h"
#include "image/img.h"
#include "image/pic.h"
#include "kernel/app_config.h"
#include "kernel/autosolve.h"
#include "kernel/boxarg.h"
#include "kernel/cmdline.h"
#include "kernel/events.h"
#include "kernel/resize.h"
#include "platform/io_debug.h"
#include "platform/io_ff.h"
#include "platform/io_file.h"
#include "platform/io_ini.h"
#include "platform/io_mail.h"
#include "platform/io_mem.h"
#include "platform/io_sound.h"
#include "platform/io_video.h"
#include "platform/screen.h"
#include "platform/script.h"
#include "platform/sys.h"
#include "puzzle/box.h"
#include "puzzle/curve.h"
#include "puzzle/save.h"
#include "resources/cache.h"
#include "resources/dp.h"
#include "resources/sound.h"
#include "rooms/create.h"
#include "rooms/gallery.h"
#include "rooms/intro.h"
#include "rooms/options.h"
#include "rooms/play.h"
#include "rooms/store.h"

namespace {

constexpr const char* DATA_PACK = "data.pck";
constexpr const char* SKIN_INI = "skin.ini";  // working copies, in "sfiles" (or the private folder)
constexpr const char* LANG_INI = "lang.ini";
constexpr int TEXT_SETTINGS_UNREADABLE = 160;  // the settings file cannot be read
constexpr int TEXT_CANNOT_WRITE = 165;         // the game's folder cannot be written
constexpr int TEXT_DISK_FULL = 166;            // the disk is full
constexpr const char* TEMP_FOLDER = "sfiles/temp";
constexpr uint32_t TEMP_LIMIT = 30000000;  // bytes of "*.tmp" kept in the temporary folder
constexpr int TRIM_SKIP_MAX = 64;          // undeletable files passed over in one trimming
constexpr int SCREEN_SIDE_MAX = 16384;     // a saved screen side beyond any real screen is damage

// Working files that belong to one run of the game.
constexpr const char* WORK_FILES[] = {"sfiles/bmidi.mid", "sfiles/bimage.tmp", "sfiles/bdesc.tmp",
                                      "sfiles/baddress.tmp", "sfiles/a.tmp"};

struct KernelState {
    char cmdline[4096];                 // the arguments joined by blanks
    char puzzles[PUZZLE_PATH_MAX + 1];  // the puzzles folder
    int old_w, old_h;                   // "OldScreenSize" of the previous run
    int entered;                        // kernel_init was entered
    int drawing_window;                 // the drawing window exists
    int main_window;                    // the main window exists
    int gone;                           // both windows are destroyed
    KernelStartHook start_hook;         // runs at the end of start-up (scene tests)
    char box[PATH_MAX_GAME];            // a box file named on the command line, "" when none
    char sent_box[PATH_MAX];            // a box file sent by a second copy, waiting to be opened
    int options;                        // `-options yes`: the options window before the game
    char skin_ini[PATH_MAX_GAME + 16];  // the working copies of the pack's skin and texts
    char lang_ini[PATH_MAX_GAME + 16];
    int ini_unreadable;                // a settings file could not be read (told once)
    int write_error;                   // errno of the game folder's first failed write at start
    char write_folder[PATH_MAX_GAME];  // that folder
};
KernelState g_kernel;

}  // namespace

// Folders and trimming -------------------------------------------------------------------------

const char* kernel_puzzles_folder() { return g_kernel.puzzles; }

void kernel_set_start_hook(KernelStartHook hook) { g_kernel.start_hook = hook; }

namespace {

// One pass of the trimming: the files matching pattern in folder and in each of its folders one
// level down (fitted cut caches lie in "sfiles/temp/WxH"), their total size, and the least
// recently accessed one that was not passed over (path relative to folder; "" when none).
struct TrimPass {
    uint64_t total;
    char oldest[2 * PATH_MAX_GAME];
    int64_t oldest_time;
    char newest[2 * PATH_MAX_GAME];  // the most recently accessed of all, passed over or not
    int64_t newest_time;
};

void trim_scan(const char* folder, const char* sub, const char* pattern, char (*skipped)[2 * PATH_MAX_GAME],
               int skip_count, TrimPass* pass) {
    char glob[3 * PATH_MAX_GAME];
    std::snprintf(glob, sizeof glob, "%s%s%s/%s", folder, sub[0] ? "/" : "", sub, pattern);
    IoFind find;
    IoFindEntry entry;
    for (int more = io_find_first(&find, glob, 0, &entry); more; more = io_find_next(&find, &entry)) {
        pass->total += entry.size;
        char name[2 * PATH_MAX_GAME];
        std::snprintf(name, sizeof name, "%s%s%s", sub, sub[0] ? "/" : "", entry.name);
        if (!pass->newest[0] || entry.access_time > pass->newest_time) {
            std::snprintf(pass->newest, sizeof pass->newest, "%s", name);
            pass->newest_time = entry.access_time;
        }
        bool skip = false;
        for (int i = 0; i < skip_count && !skip; i++)
            skip = !std::strcmp(skipped[i], name);
        if (skip) continue;
        if (!pass->oldest[0] || entry.access_time < pass->oldest_time) {
            std::snprintf(pass->oldest, sizeof pass->oldest, "%s", name);
            pass->oldest_time = entry.access_time;
        }
    }
    io_find_close(&find);
}

}  // namespace

void kernel_trim_folder(const char* folder, const char* pattern, uint32_t limit, RemoveFile remove) {
    if (!remove) remove = io_delete_file;
    char skipped[TRIM_SKIP_MAX][2 * PATH_MAX_GAME];
    int skip_count = 0;
    char folders[2 * PATH_MAX_GAME];
    std::snprintf(folders, sizeof folders, "%s/*", folder);
    for (;;) {
        TrimPass pass = {};
        trim_scan(folder, "", pattern, skipped, skip_count, &pass);
        IoFind find;
        IoFindEntry entry;
        for (int more = io_find_first(&find, folders, 1, &entry); more; more = io_find_next(&find, &entry))
            if (std::strcmp(entry.name, ".") && std::strcmp(entry.name, ".."))
                trim_scan(folder, entry.name, pattern, skipped, skip_count, &pass);
        io_find_close(&find);
        // The file used last stays, however large: it is the cut of the game played last (a cut
        // of thousands of pieces alone can pass the limit), so its reopen needs no cutting.
        const char* oldest = pass.oldest;
        if (pass.total <= limit || !oldest[0] || !std::strcmp(oldest, pass.newest)) return;
        char path[3 * PATH_MAX_GAME];
        std::snprintf(path, sizeof path, "%s/%s", folder, oldest);
        if (!remove(path)) {
            if (skip_count == TRIM_SKIP_MAX) return;
            std::snprintf(skipped[skip_count++], sizeof skipped[0], "%s", oldest);
        }
    }
}

void kernel_read_old_screen_size(const char* ini, int fallbackWidth, int fallbackHeight, int* width,
                                 int* height) {
    int w = 0, h = 0;
    if (!io_ini_read_pair(ini, "MAIN", "OldScreenSize", &w, &h) || w < 640 || h < 480 ||
        w > SCREEN_SIDE_MAX || h > SCREEN_SIDE_MAX) {
        w = fallbackWidth;
        h = fallbackHeight;
    }
    *width = w;
    *height = h;
}

// Start-up -------------------------------------------------------------------------------------

namespace {

// A failed write at start is kept (the first one) to be told once events flow.
void note_write_error(const char* folder, int error) {
    io_log("kernel: cannot write to %s (%s)\n", folder, std::strerror(error));
    if (g_kernel.write_error) return;
    g_kernel.write_error = error ? error : EIO;
    std::snprintf(g_kernel.write_folder, sizeof g_kernel.write_folder, "%s", folder);
}

// The skin and the language file are copied out of the pack for the run, into "sfiles"; when that
// cannot be written (a full disk, a read-only folder) into the private folder, so the game still
// starts and can say why nothing will be saved. A member missing from the pack is fatal.
void copy_from_pack(const char* member, const char* name, char* target, int size) {
    const int index = dp_get_index(member, 0);
    std::snprintf(target, size, "sfiles/%s", name);
    if (index < 0) io_fatal("kernel_init: invalid copy of %s", target);
    if (dp_extract(index, target)) return;
    note_write_error("sfiles", io_last_error());
    char folder[PATH_MAX_GAME];
    if (sys_private_folder(folder, sizeof folder)) {
        std::snprintf(target, size, "%s/%s", folder, name);
        if (dp_extract(index, target)) return;
    }
    std::snprintf(target, size, "sfiles/%s", name);
    io_fatal("kernel_init: invalid copy of %s", target);
}

void make_folder(const char* folder) {
    if (!io_make_folder(folder)) note_write_error(folder, errno);
}

// A settings file found unreadable: logged now, told once the game is up.
void on_ini_unreadable(const char* path) {
    io_log("kernel: the settings file %s cannot be read; it is left as it is\n", path);
    g_kernel.ini_unreadable = 1;
}

// What went wrong with the game's files while it started, told once events flow.
void tell_start_notices() {
    if (g_kernel.write_error) {
        char text[LOG_LINE_MAX];
        std::snprintf(
            text, sizeof text, "%s\n\n%s: %s",
            lt_get(io_error_is_disk_full(g_kernel.write_error) ? TEXT_DISK_FULL : TEXT_CANNOT_WRITE),
            g_kernel.write_folder, std::strerror(g_kernel.write_error));
        msgbox_show(text, 1);
    }
    if (g_kernel.ini_unreadable) msgbox_show_text(TEXT_SETTINGS_UNREADABLE, 1);
}

// An Image from the pack as 0xAARRGGBB pixels (colour with alpha is stored premultiplied).
bool pack_picture_argb(const char* name, std::vector<uint32_t>* out, int* width, int* height) {
    int index = dp_get_index(name, 0);
    if (index < 0) return false;
    Image* image = (Image*)dp_load(index);
    if (!image) return false;
    bool ok = image->magic == IMG_MAGIC &&
              (image->kind == IMG_24BIT || image->kind == (IMG_24BIT | IMG_ALPHA)) && image->width > 0 &&
              image->height > 0 && image->width <= 256 && image->height <= 256;
    if (ok) {
        *width = image->width;
        *height = image->height;
        out->resize((size_t)image->width * image->height);
        ImageView v;
        img_view(&v, image, 0, 0);
        for (int y = 0; y < image->height; y++)
            for (int x = 0; x < image->width; x++) {
                const uint8_t* c = v.pixels + y * v.pitch + x * 3;
                uint32_t a = v.alpha ? v.alpha[y * v.alphaPitch + x] : 255;
                auto un = [a](uint32_t ch) {
                    return a ? std::min<uint32_t>(255, (ch * 255 + a / 2) / a) : 0;
                };
                (*out)[(size_t)y * image->width + x] = a << 24 | un(c[2]) << 16 | un(c[1]) << 8 | un(c[0]);
            }
    }
    io_mem_free(image);
    return ok;
}

// The window icon and the game's own cursor come from the pack when it has them.
void load_window_pictures() {
    std::vector<uint32_t> argb;
    int w, h;
    if (pack_picture_argb("img/icon.img", &argb, &w, &h)) sys_set_window_icon(argb.data(), w, h);
    if (pack_picture_argb("img/cursor.img", &argb, &w, &h)) sys_set_game_cursor(argb.data(), w, h, 1, 1);
}

}  // namespace

namespace {

// The toolkit: skin, window manager, fonts, the fonts and colours of the controls, and the
// shared boxes.
void init_toolkit() {
    ge_init(g_kernel.skin_ini);
    window_prepare_shadows();
    window_init();
    window_set_old_screen_size(g_kernel.old_w, g_kernel.old_h);
    font_init(lt_charset());
    button_set_style(FONT_MEDIUM, ge_colour(GE_BUTTON_TEXT), ge_colour(GE_BUTTON_TEXT_INACTIVE),
                     ge_colour(GE_BUTTON_TEXT_HOVER), ge_colour(GE_BUTTON_TEXT_SHADOW));
    slider_set_style(FONT_SMALL, ge_colour(GE_TRACKBAR_TEXT), ge_colour(GE_TRACKBAR_TEXT_SHADOW),
                     ge_colour(GE_BUTTON_TEXT_INACTIVE));
    window_set_title_style(FONT_SMALL, ge_colour(GE_TITLE_TEXT), ge_colour(GE_TITLE_TEXT_SHADOW));
    io_dialog_set_colours(ge_colour(GE_EDIT_TEXT), ge_colour(GE_EDIT_BACKGROUND));
    ge_set_game_title(app_config.title);
    kernel_set_window_manager(window_dispatch);
    kernel_set_corner_handler(ge_corner_event);
    kernel_set_text_handler(kernel_text);
    progress_set_refresh(kernel_refresh_now);
    io_dialog_set_runner(kernel_run_nested);

    msgbox_create(app_config.title);
    ge_background_build();
    progress_create(app_config.title);
    inputbox_create(app_config.title);
    chooser_init();
}

// The player is told that a box cannot be opened: by the game's message box once events flow,
// by the platform's while the game is still starting.
void tell_box_unreadable(const char* path) {
    io_log("kernel: cannot open the box %s\n", path);
    if (kernel_clock().ready)
        msgbox_show_text(store_cannot_open_text(), MSG_OK);
    else
        sys_message_box(SYS_BOX_INFO, nullptr, lt_get(store_cannot_open_text()));
}

// A box named on the command line comes onto the shelf and starts at once; one that cannot be
// read is reported and the game goes on in the store room.
void open_command_line_box() {
    tell_start_notices();
    if (g_kernel.box[0] && !kernel_open_box_file(g_kernel.box, g_kernel.puzzles, store_open_box))
        tell_box_unreadable(g_kernel.box);
}

}  // namespace

int kernel_open_box_file(const char* path, const char* folder, BoxOpener open) {
    char name[BOX_NAME_MAX];
    int copied = 0;
    if (!boxarg_import(path, folder, name, sizeof name, &copied)) return 0;
    if (open(name)) return 1;
    // A copy made just now that is no box after all goes again; a file that was there stays.
    if (copied) {
        char target[PATH_MAX_GAME];
        if (box_file_path(target, sizeof target, folder, name, BOX_EXTENSION)) io_delete_file(target);
    }
    return 0;
}

namespace {

// `-options yes`: the options window runs once events flow and before any room is entered;
// Cancel ends the game the normal way, OK goes on into the store room with the new settings.
void start_with_options() {
    tell_start_notices();
    if (!options_run_first()) {
        kernel_close_request();
        return;
    }
    options_apply();
    store_enter();
    open_command_line_box();
}

void open_sent_box() {
    if (!kernel_open_box_file(g_kernel.sent_box, g_kernel.puzzles, store_open_box))
        tell_box_unreadable(g_kernel.sent_box);
}

}  // namespace

int kernel_text(KernelEvent* event) {
    if (event->a == TEXT_WORD_BOX_NAME) return store_text(event);
    if (event->a != TEXT_WORD_BOX_FILE) return 0;
    // Opened between two passes of the main loop, so never under a modal window that is open now.
    std::snprintf(g_kernel.sent_box, sizeof g_kernel.sent_box, "%s", (const char*)event->b);
    kernel_defer(open_sent_box);
    return 1;
}

void kernel_init() {
    io_log("%s\n", app_config.title);
    io_log("Version: %i.%02i\n", GAME_VERSION / 100, GAME_VERSION % 100);
    io_ff_switch(io_ff_wanted(CONFIG_INI));

    dp_open(DATA_PACK);
    cache_init();
    cache_set_picture_loader(jpg_loader);
    pic_install_memory_hooks(io_mem_alloc, io_mem_free);
    img_shadow_table_init();
    load_window_pictures();

    kernel_read_old_screen_size(CONFIG_INI, screen.width, screen.height, &g_kernel.old_w, &g_kernel.old_h);

    std::snprintf(g_kernel.puzzles, sizeof g_kernel.puzzles, "puzzles");
    cmdline_path(g_kernel.cmdline, g_kernel.puzzles, sizeof g_kernel.puzzles);
    box_set_folder(g_kernel.puzzles);

    for (const char* folder : {"sfiles", (const char*)g_kernel.puzzles, TEMP_FOLDER, QUICKSAVE_FOLDER})
        make_folder(folder);
    // What writers killed before their rename left behind.
    for (const char* folder : {"sfiles", (const char*)g_kernel.puzzles, TEMP_FOLDER, QUICKSAVE_FOLDER})
        io_remove_stale_temps(folder);
    kernel_trim_folder(TEMP_FOLDER, "*.tmp", TEMP_LIMIT);
    gift_outbox_trim();
    copy_from_pack("skin.ini", SKIN_INI, g_kernel.skin_ini, sizeof g_kernel.skin_ini);
    copy_from_pack("english.ini", LANG_INI, g_kernel.lang_ini, sizeof g_kernel.lang_ini);
    lt_init(g_kernel.lang_ini);

    screen_grid_create();
    sound_reset();
    io_sound_init();
    init_toolkit();
    intro_set_refresh(kernel_present_now);
    intro_splash_show();
    const char* mail = io_mail_available() ? "MAPI OK" : "MAPI NO";
    io_log("%s\n", mail);
    intro_splash_status(mail);
    curves_load();
    intro_splash_status("Initializing Store Room");
    store_set_quit_hook(kernel_quit_request);
    store_init();
    intro_splash_status("Initializing Create Room");
    createroom_create();
    intro_splash_status("Initializing Gallery Room");
    galleryroom_create();
    intro_splash_status("Initializing Play Room");
    playroom_create();
    playroom_set_frame_period(app_config.framePeriod);
    if (!g_kernel.options) store_enter();
    intro_splash_close();
    if (g_kernel.start_hook) g_kernel.start_hook();
    // The box opens in the main loop's first pass: a question it asks (a finished box) needs the
    // events flowing. So does the options window.
    kernel_defer(g_kernel.options ? start_with_options : open_command_line_box);

    // The cache's users are set up: from now on a registration loads its resource at once.
    cache_set_precache(1);
}

// Shutdown -------------------------------------------------------------------------------------

void kernel_done() {
    window_done();
    sound_stop();
    midi_stop();
    io_sound_done();
    curves_free();
    font_done();
    lt_done();
    ge_background_free();
    ge_done();
    io_ini_write_pair(CONFIG_INI, "MAIN", "OldScreenSize", screen.width, screen.height);
    io_ini_flush(CONFIG_INI);
    for (const char* file : WORK_FILES)
        io_delete_file(file);
    cache_done();
    dp_done();
    screen_grid_free();
    io_delete_file(g_kernel.skin_ini);
    io_delete_file(g_kernel.lang_ini);
}

// Windows --------------------------------------------------------------------------------------

namespace {

// The drawing window: display check, frame buffer, then the game proper. 0 when refused.
int create_drawing_window(int width, int height) {
    int depth = sys_display_depth();
    io_video_select(app_config.videoDriverGiven ? app_config.videoDriver : VIDEO_CHOOSE);
    if (!io_video_check_display(depth, io_video_warning_dialog)) return 0;
    if (!io_video_create_frame(width, height, app_config.bitsPerPixel)) {
        char text[256];
        std::snprintf(text, sizeof text,
                      "%s cannot open its window on this display: neither the window's framebuffer nor a "
                      "renderer can be used.",
                      app_config.title);
        io_log("%s\n", text);
        sys_message_box(SYS_BOX_STOP, app_config.title, text);
        return 0;
    }
    g_kernel.drawing_window = 1;
    KernelClock& clock = kernel_clock();
    clock.game_time = 0;
    g_kernel.entered = 1;
    kernel_init();
    clock.ready = 1;
    clock.active = 1;
    kernel_restart_clock(sys_millis());
    return 1;
}

void log_platform() {
    utsname u;
    int major = 0, minor = 0;
    if (uname(&u) == 0) std::sscanf(u.release, "%d.%d", &major, &minor);
    io_log("PlatformId:%i, MajorVersion:%i, MinorVersion:%i\n", 0, major, minor);
}

// The main window's creation: log, memory counters, then the drawing window inside it.
int create_main_window() {
    int width, height;
    if (!sys_create_window(app_config.title, &width, &height)) return 0;
    g_kernel.main_window = 1;
    io_debug_init(app_config.debugLevel);
    log_platform();
    // The force-feedback mouse is looked for once the log is open, so the log tells a player
    // why the mouse stays still.
    if (io_ff_detect()) app_config.inputMask |= INPUT_FEEDBACK_MOUSE;
    if (app_config.inputMask & INPUT_FEEDBACK_MOUSE) io_ff_load();
    io_mail_load();
    io_mem_reset();
    if (!create_drawing_window(width, height)) {
        kernel_destroy_windows();
        return 0;
    }
    return 1;
}

}  // namespace

void kernel_destroy_windows() {
    if (g_kernel.drawing_window) {
        g_kernel.drawing_window = 0;
        kernel_clock().ready = 0;
        if (g_kernel.entered) kernel_done();
        io_video_close();
        io_mem_done();
    }
    if (g_kernel.main_window) {
        g_kernel.main_window = 0;
        io_mail_unload();
        sys_destroy_window();
    }
    g_kernel.gone = 1;
}

int kernel_windows_gone() { return g_kernel.gone; }

// Process entry --------------------------------------------------------------------------------

namespace {

struct LaunchOptions {
    SysOptions sys;
    const char* script;  // --script FILE
};

// The game's own additions all start with two dashes; everything unknown is ignored.
void read_launch_options(int argc, char** argv, LaunchOptions* out) {
    *out = {};
    for (int i = 1; i < argc; i++) {
        const char* arg = argv[i];
        const char* next = i + 1 < argc ? argv[i + 1] : nullptr;
        if (!std::strcmp(arg, "--headless")) {
            out->sys.headless = 1;
        } else if (!std::strcmp(arg, "--window") && next) {
            int w, h;
            if (std::sscanf(next, "%dx%d", &w, &h) == 2 && w >= 64 && h >= 64 && w <= 16384 && h <= 16384) {
                out->sys.window_w = w;
                out->sys.window_h = h;
            }
            i++;
        } else if (!std::strcmp(arg, "--scale") && next) {
            int s;
            if (std::sscanf(next, "%d", &s) == 1 && s >= 1 && s <= 8) out->sys.scale = s;
            i++;
        } else if (!std::strcmp(arg, "--script") && next) {
            out->script = next;
            i++;
        }
    }
}

void join_arguments(int argc, char** argv, char* out, int size) {
    int used = 0;
    out[0] = 0;
    for (int i = 1; i < argc && used < size - 1; i++) {
        int n = std::snprintf(out + used, size - used, i > 1 ? " %s" : "%s", argv[i]);
        if (n < 0) break;
        used += n;
    }
}

void handle_platform_message(const PlatformMessage& m) { kernel_translate(m); }

}  // namespace

int kernel_main(int argc, char** argv) {
    char folder[PATH_MAX_GAME];
    if (!getcwd(folder, sizeof folder)) std::snprintf(folder, sizeof folder, ".");
    io_set_start_folder(folder);
    join_arguments(argc, argv, g_kernel.cmdline, sizeof g_kernel.cmdline);
    app_config_defaults(&app_config);
    LaunchOptions launch;
    read_launch_options(argc, argv, &launch);
    if (!boxarg_find(argc, argv, g_kernel.box, sizeof g_kernel.box)) g_kernel.box[0] = 0;

    if (launch.script) {
        autosolve_register();
        resize_register();
        char error[512];
        if (!script_load(launch.script, error, sizeof error)) {
            std::fprintf(stderr, "%s\n", error);
            return 1;
        }
    }

    int options = 0;
    cmdline_bool(g_kernel.cmdline, "-options", &options);
    g_kernel.options = options;
    // From here on a close signal, however early, is a close request taken at the first pump.
    sys_catch_close_signals();
    if (!sys_instance_claim(app_config.className)) {
        // The first copy came forward; a box named here is handed to it to open.
        if (g_kernel.box[0]) {
            char path[PATH_MAX];
            if (!realpath(g_kernel.box, path)) {
                if (g_kernel.box[0] == '/')
                    std::snprintf(path, sizeof path, "%s", g_kernel.box);
                else
                    std::snprintf(path, sizeof path, "%s/%s", folder, g_kernel.box);
            }
            sys_instance_send_text(app_config.className, TEXT_WORD_BOX_FILE, path);
            return 0;
        }
        if (options) {
            char text[512];
            std::snprintf(text, sizeof text,
                          "You must close %s before running Options. Or, run Options directly from the game, "
                          "click on the Options button in the Tools panel.",
                          app_config.title);
            sys_message_box(SYS_BOX_INFO, nullptr, text);
        }
        return 0;
    }

    io_ini_set_unreadable_hook(on_ini_unreadable);
    if (!sys_folder_claim(folder)) {
        // Another copy plays from this folder under another runtime folder: its files are its own.
        char text[PATH_MAX_GAME + 256];
        std::snprintf(text, sizeof text,
                      "%s is already running with its game folder %s.\nPlease close it first.",
                      app_config.title, folder);
        sys_message_box(SYS_BOX_INFO, app_config.title, text);
        sys_instance_release();
        return 0;
    }

    app_config.videoDriverGiven = cmdline_int(g_kernel.cmdline, "-videodriver", &app_config.videoDriver);
    cmdline_int(g_kernel.cmdline, "-debug", &app_config.debugLevel);

    if (!sys_init(launch.sys)) {
        char text[256];
        std::snprintf(text, sizeof text, "%s cannot open its window: there is no display it can use.",
                      app_config.title);
        sys_message_box(SYS_BOX_STOP, app_config.title, text);
        sys_instance_release();
        return 1;
    }
    sys_set_message_handler(handle_platform_message);
    if (!create_main_window()) {
        io_ff_unload();
        sys_done();
        return 0;
    }
    int code = kernel_run_loop();
    script_free();
    io_ff_unload();
    sys_done();
    return code;
}
