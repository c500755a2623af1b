// tools/mkpresent/main.cpp -- makes the installer the game ships as "sfiles/present.bin": the
// prsetup program with the game's files appended (installer/prpack.h).
//   mkpresent OUT PRSETUP MANIFEST [--require SONAME PACKAGE]...
// MANIFEST has a line "KIND<tab>NAME<tab>SOURCE" for every file, KIND one of game, program,
// sample, share, desktop (what each means is in installer/prpack.h). The shared libraries each
// program needs (its ELF NEEDED entries, found where the dynamic loader finds them) are written
// as requirements with the Debian package that holds them; --require adds one more. Entries keep
// the manifest's order and hold no dates, so the same files always give the same bytes.
// Exit 0, 1 when a file cannot be read or written, 2 for a bad command line or manifest.
#include <dlfcn.h>
#include <link.h>
#include <zlib.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "installer/prpack.h"
#include "platform/io_file.h"

namespace {

using Bytes = std::vector<unsigned char>;

struct Need {
    std::string soname, package;
};

int fail(int code, const std::string& message) {
    std::fprintf(stderr, "mkpresent: %s\n", message.c_str());
    return code;
}

bool read_file(const std::string& path, Bytes* out) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    out->assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return !in.bad();
}

bool add_entry(Bytes* out, uint32_t kind, const std::string& name, const Bytes& data) {
    uLongf stored = compressBound(data.size());
    Bytes packed(stored);
    if (compress2(packed.data(), &stored, data.data(), data.size(), Z_BEST_COMPRESSION) != Z_OK) return false;
    unsigned char head[PR_HEAD_SIZE];
    pr_put32(head, kind);
    pr_put32(head + 4, (uint32_t)name.size());
    pr_put32(head + 8, (uint32_t)data.size());
    pr_put32(head + 12, (uint32_t)stored);
    pr_put32(head + 16, (uint32_t)crc32(0, data.data(), (uInt)data.size()));
    out->insert(out->end(), head, head + PR_HEAD_SIZE);
    out->insert(out->end(), name.begin(), name.end());
    out->insert(out->end(), packed.begin(), packed.begin() + (long)stored);
    return true;
}

// The NEEDED sonames of a 64-bit little-endian ELF file, in their order.
bool elf_needed(const Bytes& elf, std::vector<std::string>* names) {
    auto in = [&](uint64_t at, uint64_t size) { return at <= elf.size() && size <= elf.size() - at; };
    if (!in(0, 64) || std::memcmp(elf.data(),
                                  "\x7f"
                                  "ELF\x02\x01",
                                  6) != 0)
        return false;
    const uint64_t shoff = pr_get64(&elf[0x28]);
    const unsigned shentsize = elf[0x3a] | elf[0x3b] << 8, shnum = elf[0x3c] | elf[0x3d] << 8;
    if (shentsize < 64 || !in(shoff, (uint64_t)shentsize * shnum)) return false;
    auto section = [&](unsigned i) { return &elf[shoff + (uint64_t)i * shentsize]; };
    for (unsigned i = 0; i < shnum; i++) {
        const unsigned char* dyn = section(i);
        if (pr_get32(dyn + 4) != 6) continue;  // SHT_DYNAMIC
        const uint32_t link = pr_get32(dyn + 40);
        if (link >= shnum) return false;
        const uint64_t str = pr_get64(section(link) + 24), str_size = pr_get64(section(link) + 32);
        const uint64_t at = pr_get64(dyn + 24), size = pr_get64(dyn + 32);
        if (!in(at, size) || !in(str, str_size)) return false;
        for (uint64_t d = at; d + 16 <= at + size; d += 16) {
            const uint64_t tag = pr_get64(&elf[d]), value = pr_get64(&elf[d + 8]);
            if (tag == 0) break;  // DT_NULL
            if (tag != 1) continue;
            if (value >= str_size) return false;
            const char* name = (const char*)&elf[str + value];
            names->emplace_back(name, strnlen(name, str_size - value));
        }
        return true;
    }
    return false;
}

// Where the dynamic loader finds a soname; empty when it does not.
std::string library_path(const std::string& soname) {
    void* handle = dlopen(soname.c_str(), RTLD_LAZY | RTLD_LOCAL);
    if (!handle) return "";
    link_map* map = nullptr;
    std::string path;
    if (dlinfo(handle, RTLD_DI_LINKMAP, &map) == 0 && map && map->l_name) path = map->l_name;
    dlclose(handle);
    return path;
}

std::string quoted(const std::string& text) {
    std::string out = "'";
    for (char c : text)
        out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

// Fills in the Debian package of every need whose library is found, with one dpkg query. A
// library may be known to dpkg under /lib or /usr/lib (merged /usr), or under its real name.
void find_packages(std::vector<Need>* needs) {
    std::map<std::string, std::vector<std::string>> candidates;
    std::string command = "LC_ALL=C dpkg-query -S";
    for (const Need& need : *needs) {
        const std::string path = library_path(need.soname);
        if (path.empty()) continue;
        std::vector<std::string>& paths = candidates[need.soname];
        paths.push_back(path);
        if (path.rfind("/usr/", 0) == 0)
            paths.push_back(path.substr(4));
        else
            paths.push_back("/usr" + path);
        std::error_code error;
        const std::string real = std::filesystem::canonical(path, error).string();
        if (!error && real != path) paths.push_back(real);
        for (const std::string& p : paths)
            command += " " + quoted(p);
    }
    if (candidates.empty()) return;
    std::map<std::string, std::string> owner;  // path -> package
    if (FILE* pipe = popen((command + " 2>/dev/null").c_str(), "r")) {
        char line[4096];
        while (std::fgets(line, sizeof line, pipe)) {
            std::string text(line);
            while (!text.empty() && (text.back() == '\n' || text.back() == '\r'))
                text.pop_back();
            const size_t colon = text.find(": ");
            if (text.rfind("diversion ", 0) == 0 || colon == std::string::npos) continue;
            std::string package = text.substr(0, colon);
            package = package.substr(0, package.find(','));  // the first of several owners
            package = package.substr(0, package.find(':'));  // without the architecture
            owner.emplace(text.substr(colon + 2), package);
        }
        pclose(pipe);
    }
    for (Need& need : *needs)
        for (const std::string& path : candidates[need.soname])
            if (need.package.empty() && owner.count(path)) need.package = owner[path];
}

struct Item {
    uint32_t kind;
    std::string name, source;
};

int read_manifest(const std::string& path, std::vector<Item>* items) {
    static const std::map<std::string, uint32_t> kinds = {{"game", PR_GAME},
                                                          {"program", PR_PROGRAM},
                                                          {"sample", PR_SAMPLE},
                                                          {"share", PR_SHARE},
                                                          {"desktop", PR_DESKTOP}};
    std::ifstream in(path);
    if (!in) return fail(1, "cannot read " + path);
    std::string line;
    for (int number = 1; std::getline(in, line); number++) {
        if (line.empty()) continue;
        const size_t a = line.find('\t'), b = a == std::string::npos ? a : line.find('\t', a + 1);
        const auto kind = kinds.find(line.substr(0, a));
        if (b == std::string::npos || kind == kinds.end() || !pr_plain_path(line.substr(a + 1, b - a - 1)))
            return fail(2, path + ":" + std::to_string(number) + ": not KIND<tab>NAME<tab>SOURCE");
        items->push_back({kind->second, line.substr(a + 1, b - a - 1), line.substr(b + 1)});
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 4) return fail(2, "usage: mkpresent OUT PRSETUP MANIFEST [--require SONAME PACKAGE]...");
    std::vector<Need> extra;
    for (int i = 4; i < argc; i += 3) {
        if (std::strcmp(argv[i], "--require") != 0 || i + 2 >= argc)
            return fail(2, std::string("unknown or incomplete switch ") + argv[i]);
        extra.push_back({argv[i + 1], argv[i + 2]});
    }
    std::vector<Item> items;
    if (int code = read_manifest(argv[3], &items)) return code;

    Bytes out;
    if (!read_file(argv[2], &out) || out.empty()) return fail(1, std::string("cannot read ") + argv[2]);
    const uint64_t offset = out.size();
    std::vector<Bytes> data(items.size());
    std::vector<Need> needs;
    for (size_t i = 0; i < items.size(); i++) {
        if (!read_file(items[i].source, &data[i])) return fail(1, "cannot read " + items[i].source);
        if (items[i].kind != PR_PROGRAM) continue;
        std::vector<std::string> sonames;
        if (!elf_needed(data[i], &sonames)) return fail(1, items[i].source + " is no 64-bit ELF program");
        for (const std::string& soname : sonames) {
            bool known = false;
            for (const Need& need : needs)
                known |= need.soname == soname;
            if (!known) needs.push_back({soname, ""});
        }
    }
    find_packages(&needs);
    for (const Need& need : needs)
        if (need.package.empty())
            std::fprintf(stderr, "mkpresent: warning: no Debian package holds %s\n", need.soname.c_str());
    needs.insert(needs.end(), extra.begin(), extra.end());

    if (needs.size() + items.size() > (size_t)PR_ENTRY_MAX) return fail(2, "too many files");
    for (const Need& need : needs)
        if (!pr_plain_path(need.soname) || need.soname.find('/') != std::string::npos)
            return fail(2, "not a library name: " + need.soname);
    uint32_t count = 0;
    bool packed = true;
    for (const Need& need : needs) {
        packed &= add_entry(&out, PR_NEED, need.soname, Bytes(need.package.begin(), need.package.end()));
        count++;
    }
    for (size_t i = 0; i < items.size(); i++, count++)
        packed &= add_entry(&out, items[i].kind, items[i].name, data[i]);
    if (!packed) return fail(1, "zlib could not compress a file");
    unsigned char trailer[PR_TRAILER_SIZE];
    pr_put64(trailer, offset);
    pr_put32(trailer + 8, count);
    pr_put32(trailer + 12, PR_MAGIC);
    out.insert(out.end(), trailer, trailer + PR_TRAILER_SIZE);

    if (!io_write_file_atomic(argv[1], out.data(), out.size(), 0))
        return fail(1, std::string("cannot write ") + argv[1]);
    std::error_code error;
    std::filesystem::permissions(argv[1], std::filesystem::perms(0755), error);
    std::printf("mkpresent: %s: %u entries, %zu bytes (%zu libraries checked)\n", argv[1], count, out.size(),
                needs.size());
    return 0;
}
