// platform/io_ini.cpp -- INI files read and rewritten whole. Lines keep their own endings;
// new lines end with "\n". A value is trimmed of blanks and of one pair of enclosing quotes.
#include "platform/io_ini.h"

#include <errno.h>
#include <fcntl.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "base/limits.h"
#include "base/str.h"
#include "platform/io_file.h"

namespace {

std::string resolve(const char* file) {
    if (file[0] == '/' || !io_start_folder()[0]) return file;
    return std::string(io_start_folder()) + "/" + file;
}

// Files found unreadable in this run: never read again, never written.
std::unordered_set<std::string> g_unreadable;
IoIniUnreadable g_unreadable_hook;

void mark_unreadable(const std::string& path) {
    if (!g_unreadable.insert(path).second) return;
    if (g_unreadable_hook) g_unreadable_hook(path.c_str());
}

// The file's lines; false when it exists but cannot be read whole.
bool read_lines_from_disk(const std::string& path, std::vector<std::string>* lines) {
    lines->clear();
    FILE* f = io_fopen_read(path.c_str());
    if (!f) return false;
    std::string line;
    int c;
    while ((c = std::fgetc(f)) != EOF) {
        line += (char)c;
        if (c == '\n') {
            lines->push_back(line);
            line.clear();
        }
    }
    if (!line.empty()) lines->push_back(line);
    const bool ok = !std::ferror(f);
    std::fclose(f);
    return ok;
}

// The last file read, kept while it is unchanged on disk: reading hundreds of keys of one file
// (the language texts) then costs one read, and one pass that indexes its keys.
struct LineCache {
    std::string path;
    struct timespec mtime;
    off_t size;
    ino_t inode;
    std::vector<std::string> lines;
    bool valid;
    bool indexed;
    std::unordered_map<std::string, int> keys;  // "section\nkey" in lower case -> its line
};
LineCache g_cache;

// The file's lines; a missing file has none. *readable becomes false when the file is there
// but cannot be read (then it has none either, and it is never written in this run).
const std::vector<std::string>& read_lines(const std::string& path, bool* readable = nullptr) {
    static const std::vector<std::string> none;
    bool ok = !g_unreadable.count(path);
    struct stat st;
    const bool found = ok && stat(path.c_str(), &st) == 0;
    if (ok && !found && errno != ENOENT && errno != ENOTDIR) ok = false;  // there, but out of reach
    if (found && g_cache.valid && g_cache.path == path && g_cache.size == st.st_size &&
        g_cache.inode == st.st_ino && g_cache.mtime.tv_sec == st.st_mtim.tv_sec &&
        g_cache.mtime.tv_nsec == st.st_mtim.tv_nsec) {
        if (readable) *readable = true;
        return g_cache.lines;
    }
    if (found && (!S_ISREG(st.st_mode) || !read_lines_from_disk(path, &g_cache.lines))) ok = false;
    if (!ok) mark_unreadable(path);
    if (readable) *readable = ok;
    if (!found || !ok) {
        g_cache.valid = false;
        g_cache.lines.clear();
        return none;
    }
    g_cache.path = path;
    g_cache.size = st.st_size;
    g_cache.inode = st.st_ino;
    g_cache.mtime = st.st_mtim;
    g_cache.valid = true;
    g_cache.indexed = false;
    return g_cache.lines;
}

std::string trim(const std::string& s) {
    size_t a = 0, b = s.size();
    while (a < b && std::isspace((unsigned char)s[a]))
        a++;
    while (b > a && std::isspace((unsigned char)s[b - 1]))
        b--;
    return s.substr(a, b - a);
}

// "[name]" gives name; anything else gives false.
bool section_name(const std::string& line, std::string* name) {
    std::string t = trim(line);
    if (t.size() < 2 || t[0] != '[') return false;
    size_t close = t.find(']');
    if (close == std::string::npos) return false;
    *name = trim(t.substr(1, close - 1));
    return true;
}

bool key_value(const std::string& line, std::string* key, std::string* value) {
    std::string t = trim(line);
    if (t.empty() || t[0] == ';' || t[0] == '[') return false;
    size_t eq = t.find('=');
    if (eq == std::string::npos) return false;
    *key = trim(t.substr(0, eq));
    *value = trim(t.substr(eq + 1));
    return true;
}

bool same(const std::string& a, const char* b) { return strcasecmp(a.c_str(), b) == 0; }

// Index of the key's line and the line range of its section; -1 where not found.
struct Place {
    int section_line;  // the "[name]" line
    int section_end;   // one past the section's last line with content
    int key_line;
};

Place find_place(const std::vector<std::string>& lines, const char* section, const char* key) {
    Place p = {-1, -1, -1};
    bool inside = false;
    for (int i = 0; i < (int)lines.size(); i++) {
        std::string name, k, v;
        if (section_name(lines[i], &name)) {
            if (inside) break;
            inside = same(name, section);
            if (inside) p.section_line = i, p.section_end = i + 1;
            continue;
        }
        if (!inside) continue;
        if (!trim(lines[i]).empty()) p.section_end = i + 1;
        if (p.key_line < 0 && key && key_value(lines[i], &k, &v) && same(k, key)) p.key_line = i;
    }
    return p;
}

std::string lower(std::string s) {
    for (char& c : s)
        if (c >= 'A' && c <= 'Z') c = (char)(c - 'A' + 'a');
    return s;
}

// The key lines of the cached file as find_place finds them: only the first section of a name
// counts, and in it the first line of a key.
void build_index() {
    g_cache.keys.clear();
    std::unordered_set<std::string> seen;
    std::string current;
    bool inside = false;
    for (int i = 0; i < (int)g_cache.lines.size(); i++) {
        std::string name, k, v;
        if (section_name(g_cache.lines[i], &name)) {
            current = lower(name);
            inside = seen.insert(current).second;
            continue;
        }
        if (inside && key_value(g_cache.lines[i], &k, &v)) g_cache.keys.emplace(current + "\n" + lower(k), i);
    }
    g_cache.indexed = true;
}

// The key's line in the file, or -1.
int find_key_line(const std::string& path, const char* section, const char* key) {
    if (read_lines(path).empty() || !g_cache.valid) return -1;
    if (!g_cache.indexed) build_index();
    auto it = g_cache.keys.find(lower(section) + "\n" + lower(key));
    return it == g_cache.keys.end() ? -1 : it->second;
}

int write_lines(const std::string& path, const std::vector<std::string>& lines) {
    g_cache.valid = false;
    std::string all;
    for (const std::string& l : lines)
        all += l;
    return io_write_file_atomic(path.c_str(), all.data(), all.size(), 0);
}

std::string one_line(const char* text) {
    std::string v = text ? text : "";
    for (char& c : v)
        if (c == '\r' || c == '\n') c = ' ';  // a value never breaks the file's lines
    if (v.size() > (size_t)INI_VALUE_MAX) v.resize(INI_VALUE_MAX);
    return v;
}

int edit(const char* file, const char* section, const char* key, const char* text) {
    std::string path = resolve(file);
    bool readable;
    std::vector<std::string> lines = read_lines(path, &readable);
    if (!readable) return 0;  // what cannot be read is never replaced
    Place p = find_place(lines, section, key);
    if (!text) {
        if (p.key_line < 0) return 1;
        lines.erase(lines.begin() + p.key_line);
        return write_lines(path, lines);
    }
    std::string line = std::string(key) + "=" + one_line(text) + "\n";
    if (p.key_line >= 0) {
        const std::string& old = lines[p.key_line];
        std::string old_key, old_value;
        key_value(old, &old_key, &old_value);
        line = old_key + "=" + one_line(text) + "\n";  // the key keeps the spelling it has
        if (old.size() >= 2 && old[old.size() - 2] == '\r') line.insert(line.size() - 1, "\r");
        lines[p.key_line] = line;
    } else if (p.section_line >= 0) {
        std::string& before = lines[p.section_end - 1];
        if (before.empty() || before.back() != '\n') before += "\n";
        lines.insert(lines.begin() + p.section_end, line);
    } else {
        if (!lines.empty() && lines.back().back() != '\n') lines.back() += "\n";
        lines.push_back(std::string("[") + section + "]\n");
        lines.push_back(line);
    }
    return write_lines(path, lines);
}

}  // namespace

int io_ini_read(const char* file, const char* section, const char* key, char* out, int size) {
    if (size <= 0) return 0;
    out[0] = 0;
    const int line = find_key_line(resolve(file), section, key);
    if (line < 0) return 0;
    std::string k, v;
    key_value(g_cache.lines[line], &k, &v);
    if (v.size() >= 2 && (v[0] == '"' || v[0] == '\'') && v.back() == v[0]) v = v.substr(1, v.size() - 2);
    if (v.size() > (size_t)INI_VALUE_MAX) v.resize(INI_VALUE_MAX);
    int n = (int)v.size() < size - 1 ? (int)v.size() : size - 1;
    std::memcpy(out, v.data(), n);
    out[n] = 0;
    return n;
}

int io_ini_write(const char* file, const char* section, const char* key, const char* text) {
    return edit(file, section, key, text ? text : "");
}

int io_ini_delete_key(const char* file, const char* section, const char* key) {
    return edit(file, section, key, nullptr);
}

int io_ini_read_section(const char* file, const char* section, IoIniEntry entry, void* context) {
    const std::vector<std::string>& lines = read_lines(resolve(file));
    std::unordered_set<std::string> seen;
    int count = 0;
    bool inside = false, done = false;
    for (size_t i = 0; i < lines.size() && !done; i++) {
        std::string name, k, v;
        if (section_name(lines[i], &name)) {
            done = inside;  // only the first section of the name counts
            inside = same(name, section);
            continue;
        }
        if (!inside || !key_value(lines[i], &k, &v) || !seen.insert(lower(k)).second) continue;
        if (v.size() >= 2 && (v[0] == '"' || v[0] == '\'') && v.back() == v[0]) v = v.substr(1, v.size() - 2);
        if (v.size() > (size_t)INI_VALUE_MAX) v.resize(INI_VALUE_MAX);
        entry(context, k.c_str(), v.c_str());
        count++;
    }
    return count;
}

int io_ini_write_section(const char* file, const char* section, const char* const* keys,
                         const char* const* values, int count) {
    const std::string path = resolve(file);
    bool readable;
    std::vector<std::string> lines = read_lines(path, &readable);
    if (!readable) return 0;  // what cannot be read is never replaced
    const Place p = find_place(lines, section, nullptr);
    std::vector<std::string> body;
    if (count > 0) body.push_back(std::string("[") + section + "]\n");
    for (int i = 0; i < count; i++)
        body.push_back(std::string(keys[i]) + "=" + one_line(values[i]) + "\n");
    std::vector<std::string> out;
    if (p.section_line >= 0) {
        // The section's own lines give way to the new ones (its name keeps the spelling it has);
        // blank lines after it stay.
        if (count > 0) body[0] = lines[p.section_line];
        if (count > 0 && body[0].back() != '\n') body[0] += "\n";
        out.assign(lines.begin(), lines.begin() + p.section_line);
        out.insert(out.end(), body.begin(), body.end());
        out.insert(out.end(), lines.begin() + p.section_end, lines.end());
    } else {
        if (count == 0) return 1;
        out = lines;
        if (!out.empty() && out.back().back() != '\n') out.back() += "\n";
        out.insert(out.end(), body.begin(), body.end());
    }
    if (out == lines) return 1;
    return write_lines(path, out);
}

void io_ini_set_unreadable_hook(IoIniUnreadable hook) { g_unreadable_hook = hook; }
int io_ini_unreadable(const char* file) { return g_unreadable.count(resolve(file)) ? 1 : 0; }

int io_ini_flush(const char* file) {
    int fd = open(resolve(file).c_str(), O_RDONLY);
    if (fd < 0) return 0;
    int ok = fsync(fd) == 0;
    close(fd);
    return ok;
}

int io_ini_read_text(const char* file, const char* section, const char* key, char* out, int size) {
    return io_ini_read(file, section, key, out, size);
}

int io_ini_read_int(const char* file, const char* section, const char* key, int* value) {
    char text[INI_VALUE_MAX + 1];
    if (!io_ini_read(file, section, key, text, sizeof text)) return 0;
    return std::sscanf(text, "%i", value) == 1;
}

int io_ini_read_bool(const char* file, const char* section, const char* key, int* value) {
    char text[INI_VALUE_MAX + 1];
    if (!io_ini_read(file, section, key, text, sizeof text)) return 0;
    return str_parse_bool(text, value);
}

int io_ini_read_pair(const char* file, const char* section, const char* key, int* a, int* b) {
    char text[INI_VALUE_MAX + 1];
    if (!io_ini_read(file, section, key, text, sizeof text)) return 0;
    return std::sscanf(text, "%i %i", a, b) == 2;
}

int io_ini_read_colour(const char* file, const char* section, const char* key, int* colour) {
    char text[INI_VALUE_MAX + 1];
    if (!io_ini_read(file, section, key, text, sizeof text)) return 0;
    if (strcasecmp(text, "transparent") == 0) {
        *colour = -1;
        return 1;
    }
    int r, g, b;
    if (std::sscanf(text, "%i %i %i", &r, &g, &b) != 3) return 0;
    *colour = (r & 255) << 16 | (g & 255) << 8 | (b & 255);
    return 1;
}

int io_ini_read_real(const char* file, const char* section, const char* key, double* value) {
    char text[INI_VALUE_MAX + 1];
    if (!io_ini_read(file, section, key, text, sizeof text)) return 0;
    return std::sscanf(text, "%lf", value) == 1;
}

int io_ini_read_triple(const char* file, const char* section, const char* key, int* a, int* b, int* c) {
    char text[INI_VALUE_MAX + 1];
    if (!io_ini_read(file, section, key, text, sizeof text)) return 0;
    return std::sscanf(text, "%i %i %i", a, c, b) == 3;
}

int io_ini_write_int(const char* file, const char* section, const char* key, int value) {
    char text[16];
    std::snprintf(text, sizeof text, "%i", value);
    return io_ini_write(file, section, key, text);
}

int io_ini_write_bool(const char* file, const char* section, const char* key, int value) {
    return io_ini_write(file, section, key, value ? "1" : "0");
}

int io_ini_write_pair(const char* file, const char* section, const char* key, int a, int b) {
    char text[32];
    std::snprintf(text, sizeof text, "%i %i", a, b);
    return io_ini_write(file, section, key, text);
}
