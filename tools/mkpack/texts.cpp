// tools/mkpack/texts.cpp -- "english.ini" from assets/english.ini: checked line by line, then
// stored unchanged.
#include "tools/mkpack/texts.h"

#include <strings.h>

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <set>
#include <string_view>
#include <vector>

#include "base/limits.h"
#include "tools/mkpack/mkpack.h"

namespace {

// Every number a screen, button, message or question of the game asks for. 133 and 157 are
// kept for the wordings of their neighbours' families although no screen shows them yet.
const NeededText NEEDED[] = {
    {15, nullptr, "title of the information windows"},
    {16, nullptr, "a box name that is already on the shelf"},
    {19, nullptr, "title of the about screen"},
    {20, nullptr, "label of the version line"},
    {21, nullptr, "the developer's web address"},
    {22, nullptr, "copyright line"},
    {25, nullptr, "a box picture too large to edit on this screen"},
    {41, nullptr, "help button"},
    {43, nullptr, "cancel button"},
    {45, nullptr, "save button"},
    {100, nullptr, "store room title"},
    {101, nullptr, "label of a new box"},
    {102, nullptr, "info window with nothing selected: what to do"},
    {105, nullptr, "title of the use-picture choice"},
    {106, nullptr, "choice: into the gallery"},
    {107, nullptr, "choice: desktop wallpaper"},
    {108, nullptr, "the wallpaper could not be set"},
    {109, nullptr, "the wallpaper was set"},
    {110, nullptr, "play button"},
    {111, nullptr, "new box button"},
    {112, nullptr, "gift button"},
    {113, nullptr, "gallery button"},
    {114, nullptr, "options button of the tools window"},
    {115, nullptr, "help button"},
    {116, nullptr, "quit button"},
    {117, nullptr, "title of the store room's main panel"},
    {120, nullptr, "title of the tools window"},
    {121, nullptr, "edit button"},
    {122, nullptr, "delete button"},
    {123, nullptr, "use picture button"},
    {124, nullptr, "rename button"},
    {125, nullptr, "about button"},
    {126, nullptr, "reset button"},
    {127, nullptr, "web site button"},
    {130, nullptr, "box info: name"},
    {131, nullptr, "box info: size"},
    {132, nullptr, "box info: progress"},
    {133, nullptr, "box info: pieces"},
    {134, nullptr, "box info: playing time"},
    {135, nullptr, "box info: date finished"},
    {136, "%i", "shelf label: the number of pieces"},
    {140, nullptr, "question: delete one box"},
    {141, nullptr, "question: delete several boxes"},
    {142, nullptr, "a box could not be deleted"},
    {145, nullptr, "question: reset one box"},
    {146, nullptr, "question: reset several boxes"},
    {150, nullptr, "no box selected where one is needed"},
    {151, nullptr, "several boxes selected where one is needed"},
    {152, nullptr, "no box selected where at least one is needed"},
    {153, nullptr, "a link box cannot do this"},
    {154, nullptr, "a box that cannot be opened"},
    {155, nullptr, "the puzzle is not finished yet"},
    {156, nullptr, "question: new name of a box"},
    {157, nullptr, "a name is needed"},
    {158, nullptr, "a hidden picture cannot be edited"},
    {159, nullptr, "a box could not be renamed"},
    {160, nullptr, "the settings file cannot be read"},
    {161, nullptr, "a game not saved: the disk is full"},
    {162, nullptr, "a game not saved"},
    {163, nullptr, "a saved game that cannot be read"},
    {164, nullptr, "a game not saved at its end: try again"},
    {165, nullptr, "the game's folder cannot be written"},
    {166, nullptr, "the disk is full at start"},
    {167, "%s", "a box file whose name cannot be used or changed (its name)"},
    {168, nullptr, "a box cannot be opened: the disk is full"},
    {170, nullptr, "title of the gift window"},
    {171, nullptr, "gift: sender's name"},
    {172, nullptr, "gift: dedication"},
    {173, nullptr, "gift: hide the pictures"},
    {174, nullptr, "gift: send by e-mail"},
    {175, nullptr, "gift: save as a file"},
    {176, nullptr, "gift: cancel"},
    {184, nullptr, "the gift could not be written"},
    {185, nullptr, "the gift was not mailed"},
    {186, "%s", "the gift was saved (its path)"},
    {187, nullptr, "the gift goes to the mail program"},
    {190, nullptr, "store room title in the gift interface"},
    {191, nullptr, "gift interface: play"},
    {192, nullptr, "gift interface: normal interface"},
    {193, nullptr, "gift interface: help"},
    {194, nullptr, "gift interface: quit"},
    {200, nullptr, "play room title"},
    {201, nullptr, "progress while cutting"},
    {202, nullptr, "question: play a finished puzzle again"},
    {203, nullptr, "the picture stays hidden"},
    {204, nullptr, "title line: after the percent joined"},
    {210, nullptr, "gather loose pieces"},
    {211, nullptr, "faint picture on the desk"},
    {212, nullptr, "show the picture window"},
    {213, nullptr, "play room help"},
    {214, nullptr, "leave the play room"},
    {220, nullptr, "title of the picture window"},
    {230, "%s%i%s", "puzzle finished: box name, piece count, time"},
    {300, nullptr, "gallery title"},
    {301, nullptr, "question: save while holding a picture"},
    {302, nullptr, "mouse look button"},
    {303, nullptr, "nothing held to hang"},
    {304, nullptr, "gallery info: what mouse look does and how to stop it"},
    {305, nullptr, "gallery info: how to walk"},
    {306, nullptr, "the gallery could not be saved"},
    {310, nullptr, "an empty place"},
    {311, nullptr, "picture info: name"},
    {312, nullptr, "picture info: pieces"},
    {313, nullptr, "picture info: playing time"},
    {314, nullptr, "picture info: date"},
    {320, nullptr, "title of the view window"},
    {330, nullptr, "title of the holding window"},
    {331, nullptr, "hang button"},
    {332, nullptr, "take button"},
    {333, nullptr, "discard button"},
    {400, nullptr, "create room title, new box"},
    {401, nullptr, "question: name of the new box"},
    {402, nullptr, "a new box could not be written"},
    {403, nullptr, "a box could not be saved again"},
    {410, nullptr, "new box info: name"},
    {411, nullptr, "new box info: pieces"},
    {412, nullptr, "new box info: size"},
    {413, "%i%i", "recommended screen: width, height"},
    {414, "%i%i%i%i", "what the grid leaves out: left, right, top, bottom"},
    {420, nullptr, "title of the picture window"},
    {421, nullptr, "import picture button"},
    {422, nullptr, "find pictures button: the chooser in the pictures folder"},
    {423, nullptr, "size slider"},
    {424, nullptr, "largest size button"},
    {425, "%i%i", "the picture's size under the size slider: width, height"},
    {430, nullptr, "the picture does not load"},
    {431, nullptr, "the picture is too small"},
    {432, nullptr, "progress: a picture is being read"},
    {433, nullptr, "progress: a box is being saved"},
    {440, nullptr, "title of the pieces window"},
    {441, nullptr, "random settings button"},
    {442, nullptr, "piece size slider"},
    {443, nullptr, "irregularity slider"},
    {444, "%i%i%i%i", "under the piece size slider: piece size, columns, rows, pieces"},
    {445, nullptr, "fit the grid to the whole picture button"},
    {450, nullptr, "title of the options window"},
    {452, nullptr, "rotation tick box"},
    {453, nullptr, "hidden picture tick box"},
    {454, nullptr, "tune tick box"},
    {455, nullptr, "repeat tune tick box"},
    {456, nullptr, "play tune button"},
    {457, nullptr, "stop tune button"},
    {460, nullptr, "the tune does not play"},
    {500, nullptr, "create room title, editing a box"},
    {600, nullptr, "options: interface language list"},
    {601, nullptr, "options: help pages list"},
    {602, nullptr, "options: background colour field"},
    {603, nullptr, "options: brightness slider"},
    {604, nullptr, "options: force-feedback tick box"},
    {605, nullptr, "options: restore defaults"},
    {606, nullptr, "options: the publisher's language page"},
    {640, nullptr, "title of the open dialog"},
    {641, nullptr, "title of the save dialog"},
    {642, nullptr, "file chooser: the folder-up button"},
    {643, nullptr, "file chooser: label of the name line"},
    {644, nullptr, "file chooser: the list was cut short"},
    {645, "%s", "file chooser: replace an existing file (its name)"},
    {646, nullptr, "file chooser place: the home folder"},
    {647, nullptr, "file chooser place: the desktop folder"},
    {648, nullptr, "file chooser place: the pictures folder"},
    {649, nullptr, "file chooser place: the documents folder"},
    {650, nullptr, "file chooser place: the downloads folder"},
    {651, nullptr, "file chooser place: the game's puzzles folder"},
    {652, nullptr, "file chooser: a folder that cannot be read"},
};

struct Checker {
    const std::string& file;
    int faults = 0;

    void fault(int line, const std::string& what) {
        std::fprintf(stderr, "mkpack: %s:%d: %s\n", file.c_str(), line, what.c_str());
        faults++;
    }
};

std::string trim(const std::string& s) {
    size_t a = 0, b = s.size();
    while (a < b && (s[a] == ' ' || s[a] == '\t' || s[a] == '\r'))
        a++;
    while (b > a && (s[b - 1] == ' ' || s[b - 1] == '\t' || s[b - 1] == '\r'))
        b--;
    return s.substr(a, b - a);
}

bool whole_number(const std::string& s, long* value) {
    if (s.empty() || s.size() > 9) return false;
    for (char c : s)
        if (c < '0' || c > '9') return false;
    *value = std::strtol(s.c_str(), nullptr, 10);
    return true;
}

// The conversions of a format text in order ("%s%i"); "%%" is a plain percent sign.
std::string conversions(const std::string& text) {
    std::string out;
    for (size_t i = 0; i < text.size(); i++) {
        if (text[i] != '%') continue;
        if (i + 1 < text.size() && text[i + 1] == '%') {
            i++;
            continue;
        }
        size_t j = i + 1;
        while (j < text.size() && std::string_view("-+ #0123456789.").find(text[j]) != std::string_view::npos)
            j++;
        out += '%';
        if (j < text.size()) out += text[j];
        i = j;
    }
    return out;
}

const NeededText* needed(long number) {
    for (const NeededText& t : NEEDED)
        if (t.number == number) return &t;
    return nullptr;
}

void check_text(Checker* c, int line, long number, const std::string& value) {
    std::string tag = "text " + std::to_string(number);
    if (value.empty()) return c->fault(line, tag + " is empty");
    if ((int)value.size() > INI_VALUE_MAX)
        c->fault(line, tag + " is longer than " + std::to_string(INI_VALUE_MAX) + " characters");
    if (value.size() >= 2 && (value[0] == '"' || value[0] == '\'') && value.back() == value[0])
        c->fault(line, tag + " is enclosed in quotes, which the reader strips");
    for (size_t i = 0; i < value.size(); i++) {
        unsigned char ch = (unsigned char)value[i];
        if (ch < 32 || ch > 126) {
            c->fault(line, tag + " holds a character outside plain ASCII (code " + std::to_string(ch) +
                               "), which the game's fonts cannot draw");
            break;
        }
        if (ch == '\\' && (i + 1 >= value.size() || value[i + 1] != 'n')) {
            c->fault(line, tag + " holds a backslash that is not followed by n");
            break;
        }
    }
    const NeededText* need = needed(number);
    std::string found = conversions(value);
    if (need && need->format) {
        if (found != need->format)
            c->fault(line, tag + " (" + need->role + ") must hold the conversions " + need->format +
                               " in this order, not \"" + found + "\"");
    } else if (value.find('%') != std::string::npos) {
        c->fault(line, tag + " is not a format and must not hold a percent sign");
    }
}

}  // namespace

std::span<const NeededText> texts_needed() { return NEEDED; }

bool texts_check(const std::string& file, const std::string& bytes) {
    Checker c{file};
    std::string section;
    std::set<std::string> sections_seen;
    std::set<long> numbers;
    int texts_line = 0, line_count = 0;
    long version = -1, charset = -1;
    size_t pos = 0;
    for (int line = 1; pos < bytes.size(); line++) {
        size_t end = bytes.find('\n', pos);
        if (end == std::string::npos) end = bytes.size();
        std::string text = trim(bytes.substr(pos, end - pos));
        pos = end + 1;
        line_count = line;
        if (text.empty() || text[0] == ';') continue;
        if (text[0] == '[') {
            if (text.back() != ']') {
                c.fault(line, "a section line must end with ']'");
                continue;
            }
            section = trim(text.substr(1, text.size() - 2));
            std::string upper = section;
            for (char& ch : upper)
                ch = (char)std::toupper((unsigned char)ch);
            if (upper != "MAIN" && upper != "TEXTS") c.fault(line, "unknown section [" + section + "]");
            if (!sections_seen.insert(upper).second)
                c.fault(line, "section [" + section + "] appears twice; the reader sees only the first");
            section = upper;
            if (upper == "TEXTS") texts_line = line;
            continue;
        }
        size_t eq = text.find('=');
        if (eq == std::string::npos) {
            c.fault(line, "expected \"key=value\", a [section] or a ';' comment");
            continue;
        }
        std::string key = trim(text.substr(0, eq));
        std::string value = trim(text.substr(eq + 1));
        if (section.empty()) {
            c.fault(line, "\"" + key + "\" stands before any section");
        } else if (section == "MAIN") {
            long v;
            long* target = !strcasecmp(key.c_str(), "Version")   ? &version
                           : !strcasecmp(key.c_str(), "CharSet") ? &charset
                                                                 : nullptr;
            if (!target)
                c.fault(line, "unknown key \"" + key + "\" in [MAIN]");
            else if (!whole_number(value, &v))
                c.fault(line, key + " must be a whole number");
            else if (*target >= 0)
                c.fault(line, key + " is given twice");
            else
                *target = v;
        } else {
            long number;
            if (!whole_number(key, &number) || number >= TEXT_MAX) {
                c.fault(line,
                        "\"" + key + "\" is not a text number from 0 to " + std::to_string(TEXT_MAX - 1));
                continue;
            }
            if (!numbers.insert(number).second) {
                c.fault(line,
                        "text " + std::to_string(number) + " is given twice; the reader takes the first");
                continue;
            }
            check_text(&c, line, number, value);
        }
    }
    int end_line = line_count ? line_count : 1;
    if (version < 0)
        c.fault(end_line, "[MAIN] Version is missing");
    else if (version < 1)
        c.fault(end_line, "[MAIN] Version must be 1 or more");
    if (charset < 0)
        c.fault(end_line, "[MAIN] CharSet is missing");
    else if (charset != 0)
        c.fault(end_line, "[MAIN] CharSet must be 0: the texts are drawn with the game's own fonts");
    for (const NeededText& t : NEEDED)
        if (!numbers.count(t.number))
            c.fault(texts_line ? texts_line : end_line,
                    "text " + std::to_string(t.number) + " (" + t.role + ") is missing");
    return c.faults == 0;
}

bool part_texts(const std::string& assets, std::vector<PackResource>* out, std::vector<SheetPicture>*) {
    std::string path = assets + "/english.ini";
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) {
        std::fprintf(stderr, "mkpack: %s:0: cannot open the language file\n", path.c_str());
        return false;
    }
    std::string bytes;
    char buffer[4096];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0)
        bytes.append(buffer, n);
    std::fclose(f);
    if (!texts_check(path, bytes)) return false;
    out->push_back({"english.ini", std::vector<uint8_t>(bytes.begin(), bytes.end())});
    return true;
}
