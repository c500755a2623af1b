// gift/giftbuild.cpp -- the gift dialog, the default file name, writing the gift program and
// handing it to the mail program.
//
// Sections: state and constants -- the dialog -- writing the gift -- public.
#include "gift/giftbuild.h"

#include <cstdio>
#include <cstring>
#include <ctime>

#include "base/str.h"
#include "gift/giftfile.h"
#include "gui/button.h"
#include "gui/chooser.h"
#include "gui/font.h"
#include "gui/ge.h"
#include "gui/io_dialog.h"
#include "gui/lt.h"
#include "gui/msgbox.h"
#include "gui/window.h"
#include "platform/io_debug.h"
#include "platform/io_desktop.h"
#include "platform/io_file.h"
#include "platform/io_mail.h"
#include "platform/sys.h"
#include "puzzle/box.h"
#include "resources/tagfile.h"

namespace {

// --- State and constants ---

constexpr char SCRATCH_FILE[] = "sfiles/a.tmp";  // each text and hidden-picture box on its way in
constexpr char PROGRAM_FILTER[] = "*.run";       // program files, as the save dialog lists them
constexpr char DEFAULT_NAME[] = "Present";
constexpr int DEFAULT_NAME_MAX = 64;  // characters of a default name before its extension
// Bytes of a default name on disk: every character may take three in UTF-8.
constexpr int DEFAULT_NAME_BYTES = 3 * DEFAULT_NAME_MAX + (int)sizeof GIFT_EXTENSION;
constexpr uint32_t FIELD_HIDDEN_PICTURE = 8;
constexpr long OUTBOX_KEEP_SECONDS = 24 * 60 * 60;

constexpr int TEXT_TITLE = 170, TEXT_SENDER = 171, TEXT_DEDICATION = 172, TEXT_HIDE = 173;
constexpr int TEXT_MAIL = 174, TEXT_SAVE = 175, TEXT_CANCEL = 176;
constexpr int TEXT_NOT_MADE = 184, TEXT_NOT_SENT = 185, TEXT_SAVED = 186, TEXT_MAILING = 187;
constexpr int MAIL_STEPS = 60;  // the progress bar's steps while the mail program takes the gift

// The dialog: two labelled fields over the body, the tick box under them, then the two ways out
// side by side (their texts are too wide for the bar); Cancel in the bar along the bottom edge.
constexpr int WIDTH = 361, HEIGHT = 271;
constexpr int BOTTOM = 42;  // the bar and the frame's edge under the body
constexpr int ELEMENT_BODY = 25, ELEMENT_LONE = 0;
constexpr int FIELD_X = 12, FIELD_WIDTH = WIDTH - 2 * FIELD_X, LABEL_HEIGHT = 16;
constexpr int SENDER_Y = 44, SENDER_HEIGHT = 20;
constexpr int DEDICATION_Y = 88, DEDICATION_HEIGHT = 80;
constexpr int HIDE_Y = 174;
constexpr int OUTPUT_Y = 204, OUTPUT_GAP = 9, OUTPUT_WIDTH = (FIELD_WIDTH - OUTPUT_GAP) / 2,
              OUTPUT_HEIGHT = 24;
constexpr int CANCEL_WIDTH = 84;

enum GiftResult { GIFT_CANCELLED = 0, GIFT_MAIL = 1, GIFT_SAVE = 2 };

struct GiftDialog {
    int window;                    // modal, built on first use
    int tick, mail, save, cancel;  // its controls
    GiftSettings settings;         // what the fields and the tick box hold
    char folder[PATH_MAX_GAME];    // where the save dialog opens: the one last chosen
};
GiftDialog g = {-1, -1, -1, -1, -1, {}, ""};

// --- The dialog ---

void draw_label(int window, int text, int y) {
    window_draw_text(window, lt_get(text), FIELD_X + 2, y - LABEL_HEIGHT - 2);
}

int dialog_handler(int window, KernelEvent* event) {
    switch (event->type) {
        case KE_IDLE:
            ge_draw_element(ELEMENT_BODY, 0, TITLE_HEIGHT, (int)event->a, (int)event->b - BOTTOM);
            font_set_style(FONT_SYSTEM, ge_colour(GE_MSGBOX_TEXT), ge_colour(GE_MSGBOX_TEXT_SHADOW));
            font_set_layout(0, 0);
            draw_label(window, TEXT_SENDER, SENDER_Y);
            draw_label(window, TEXT_DEDICATION, DEDICATION_Y);
            ge_bevel_box(FIELD_X - 1, SENDER_Y - 1, FIELD_WIDTH + 2, SENDER_HEIGHT + 2);
            ge_bevel_box(FIELD_X - 1, DEDICATION_Y - 1, FIELD_WIDTH + 2, DEDICATION_HEIGHT + 2);
            return 0;
        case WE_BUTTON:
            if (event->a == g.mail)
                window_end_modal(GIFT_MAIL, 1);
            else if (event->a == g.save)
                window_end_modal(GIFT_SAVE, 1);
            else if (event->a == g.cancel)
                window_end_modal(GIFT_CANCELLED, 0);
            else
                return 0;
            return 1;
        default:
            return 0;
    }
}

void build_dialog() {
    g.window = window_register(-1, TW_MODAL | TW_TITLE, 0, 0, WIDTH, HEIGHT, dialog_handler, nullptr);
    window_set_title(g.window, lt_get(TEXT_TITLE));
    window_show(g.window, 0);
    g.tick = button_register(g.window, BS_TOGGLE | BS_PICTURE | BS_TEXT, FIELD_X - 4, HIDE_Y, 0, 0,
                             GE_PICTURE_TICK, lt_get(TEXT_HIDE), 0, 0);
    const int style = BS_PUSH | BS_TEXT | BS_FRAME;
    g.mail = button_register(g.window, style, FIELD_X, OUTPUT_Y, OUTPUT_WIDTH, OUTPUT_HEIGHT, 0,
                             lt_get(TEXT_MAIL), ELEMENT_LONE, 0);
    g.save = button_register(g.window, style, FIELD_X + FIELD_WIDTH - OUTPUT_WIDTH, OUTPUT_Y, OUTPUT_WIDTH,
                             OUTPUT_HEIGHT, 0, lt_get(TEXT_SAVE), ELEMENT_LONE, 0);
    const int bar = button_bar_create(g.window);
    g.cancel = button_bar_add(bar, 0, 0, lt_get(TEXT_CANCEL), 0, KEY_ESCAPE, CANCEL_WIDTH);
    button_bar_layout(bar);
}

// The save dialog for program files, opened with the default name in the folder chosen last
// (at first the desktop, else the home folder, where the player finds the gift again); 1 with
// the chosen path.
int choose_file(const char* name, char* path) {
    if (!g.folder[0] && !io_user_folder("DESKTOP", g.folder, sizeof g.folder) &&
        !(io_special_folder(-1, g.folder, sizeof g.folder) && io_folder_exists(g.folder)))
        str_copy_bounded(g.folder, io_start_folder(), sizeof g.folder);
    str_copy_bounded(path, name, PATH_MAX_GAME);
    return chooser_save(path, g.folder, PROGRAM_FILTER);
}

// Runs the dialog until an output is chosen (path, PATH_MAX_GAME bytes) or it is cancelled. A
// cancelled save dialog comes back to the gift dialog with everything typed so far.
int ask(const char* firstBox, char* path) {
    if (g.window < 0) build_dialog();
    g.settings = {};
    button_set_state(g.tick, 1);
    button_enable(g.mail, io_mail_available());
    for (;;) {
        EditField fields[3] = {
            {EF_PRESENT, FIELD_X, SENDER_Y, FIELD_WIDTH, SENDER_HEIGHT, g.settings.sender, GIFT_SENDER_SIZE,
             0},
            {EF_PRESENT | EF_MULTILINE, FIELD_X, DEDICATION_Y, FIELD_WIDTH, DEDICATION_HEIGHT,
             g.settings.dedication, GIFT_DEDICATION_SIZE, 0},
            {0, 0, 0, 0, 0, nullptr, 0, 0},
        };
        window_show(g.window, 1);
        const int result = window_focus_modal(g.window, fields);
        window_show(g.window, 0);
        if (result != GIFT_MAIL && result != GIFT_SAVE) return GIFT_CANCELLED;
        g.settings.hidePictures = button_state(g.tick) != 0;
        char name[DEFAULT_NAME_BYTES];
        gift_default_name(g.settings.sender, firstBox, name, sizeof name);
        if (result == GIFT_MAIL) {
            io_make_folder(GIFT_OUTBOX);
            std::snprintf(path, PATH_MAX_GAME, "%s/%s", GIFT_OUTBOX, name);
            return GIFT_MAIL;
        }
        if (choose_file(name, path)) return GIFT_SAVE;
    }
}

// The gift went to the outbox: the mail program takes it as the attachment of a new message.
// It reads the file only when the player sends the message, so a gift handed over stays; one
// that was refused goes at once.
// While the mail program takes the gift, the game keeps its window drawn under a progress bar.
int g_mail_steps;
void mail_waiting() { progress_set(lt_get(TEXT_MAILING), ++g_mail_steps % (MAIL_STEPS + 1)); }

void send(const char* path) {
    const int cursor = sys_cursor();
    sys_set_cursor(CURSOR_WAIT);
    g_mail_steps = 0;
    progress_open(MAIL_STEPS);
    progress_set(lt_get(TEXT_MAILING), 0);
    const int sent = io_mail_send(g.settings.sender, "", path, mail_waiting);
    progress_close();
    sys_set_cursor(cursor);
    if (sent) return;
    io_log("gift: %s was not mailed: %s\n", path, io_mail_result_text());
    // A mail tool that is still running may yet hand the file on; the outbox trimming takes it.
    if (!io_mail_pending()) io_delete_file(path);
    char text[LOG_LINE_MAX];
    std::snprintf(text, sizeof text, "%s\n\n%s", io_mail_result_text(), lt_get(TEXT_NOT_SENT));
    msgbox_show(text, MSG_OK);
}

// --- Writing the gift ---

int append_stub(FILE* out) {
    FILE* in = std::fopen(GIFT_STUB_FILE, "rb");
    if (!in) return 0;
    const long length = file_length(in);
    const int ok = length > 0 && file_copy_bytes(out, in, (size_t)length);
    std::fclose(in);
    return ok;
}

// A text record through the scratch file; nothing for an empty text.
int add_text(FILE* out, const char* text, const char* recordName) {
    if (!text[0]) return 1;
    return io_write_file_atomic(SCRATCH_FILE, text, std::strlen(text), 0) &&
           gift_add_file(out, SCRATCH_FILE, recordName);
}

int add_box(FILE* out, const char* name, int hidePicture) {
    char path[PATH_MAX_GAME], recordName[BOX_NAME_MAX + 8];
    if (!box_file_path(path, sizeof path, box_folder(), name, BOX_EXTENSION)) return 0;
    std::snprintf(recordName, sizeof recordName, "%s.%s", name, BOX_EXTENSION);
    if (!hidePicture) return gift_add_file(out, path, recordName);
    return io_copy_file(path, SCRATCH_FILE) && box_patch_field(SCRATCH_FILE, FIELD_HIDDEN_PICTURE, 1) &&
           gift_add_file(out, SCRATCH_FILE, recordName);
}

}  // namespace

// --- Public ---

void gift_build(const char* const* boxes, int count) {
    if (count <= 0) return;
    char path[PATH_MAX_GAME];
    const int result = ask(boxes[0], path);
    if (result == GIFT_CANCELLED) return;
    const int cursor = sys_cursor();
    sys_set_cursor(CURSOR_WAIT);
    const int ok = gift_write(path, &g.settings, boxes, count);
    sys_set_cursor(cursor);
    if (!ok) {
        io_log("gift: %s could not be written\n", path);
        msgbox_show_text(TEXT_NOT_MADE, MSG_OK);
        return;
    }
    if (result == GIFT_MAIL) {
        send(path);
        return;
    }
    // Where it went, in the screen's characters.
    char shown[PATH_MAX_GAME], text[LOG_LINE_MAX];
    chooser_shown_name(path, shown, sizeof shown);
    lt_with_value(TEXT_SAVED, shown, text, sizeof text);
    io_log("gift: saved as %s\n", path);
    msgbox_show(text, MSG_OK);
}

void gift_default_name(const char* sender, const char* firstBox, char* out, int size) {
    char clean[DEFAULT_NAME_MAX + 1], name[3 * DEFAULT_NAME_MAX + 1];
    if (io_clean_file_name(sender, clean, sizeof clean))
        str_cp1252_to_utf8(clean, name, sizeof name);  // typed text becomes a name on disk
    else if (firstBox && io_clean_file_name(firstBox, clean, sizeof clean))
        str_copy_bounded(name, clean, sizeof name);  // already a name on disk
    else
        str_copy_bounded(name, DEFAULT_NAME, sizeof name);
    std::snprintf(out, (size_t)size, "%s%s", name, GIFT_EXTENSION);
}

int gift_write(const char* path, const GiftSettings* settings, const char* const* boxes, int count) {
    IoFileWrite write;
    FILE* out = io_write_begin(&write, path);
    if (!out) return 0;
    int ok = append_stub(out) && gift_write_marker(out) && add_text(out, settings->sender, "name.txt") &&
             add_text(out, settings->dedication, "devote.txt");
    // A game without its installer still makes gifts, for receivers who have the game; an
    // installer that is there but cannot be copied whole would leave half a record.
    if (ok && io_file_exists(GIFT_INSTALLER_FILE))
        ok = gift_add_file(out, GIFT_INSTALLER_FILE, "present.bin");
    for (int i = 0; ok && i < count; i++)
        ok = add_box(out, boxes[i], settings->hidePictures);
    io_delete_file(SCRATCH_FILE);
    ok = ok && io_make_executable(write.temp);
    return io_write_end(&write, ok);
}

void gift_outbox_trim() {
    char pattern[PATH_MAX_GAME];
    std::snprintf(pattern, sizeof pattern, "%s/*", GIFT_OUTBOX);
    const int64_t oldest = (int64_t)std::time(nullptr) - OUTBOX_KEEP_SECONDS;
    IoFind find;
    IoFindEntry entry;
    for (int more = io_find_first(&find, pattern, 0, &entry); more; more = io_find_next(&find, &entry)) {
        if (entry.write_time >= oldest) continue;
        char file[2 * PATH_MAX_GAME];
        std::snprintf(file, sizeof file, "%s/%s", GIFT_OUTBOX, entry.name);
        io_delete_file(file);
    }
    io_find_close(&find);
}
