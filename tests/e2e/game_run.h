// tests/e2e/game_run.h -- runs a game program headless in a folder of its own: start, wait,
// read its files.
#pragma once
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace e2e {

inline std::string read_all(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// Asks ready() every 10 ms for up to the given seconds; whether it said yes.
template <class F>
bool poll(F ready, int seconds) {
    for (int i = 0; i < seconds * 100; i++, std::this_thread::sleep_for(std::chrono::milliseconds(10)))
        if (ready()) return true;
    return false;
}

struct Game {
    std::string dir;
    pid_t pid = -1;
    std::vector<std::pair<std::string, std::string>> env;  // set for the game's process only

    // A game folder of its own, with the built data pack.
    std::string exe = std::string(LUMAVEX_GAME_DIR) + "/tesselo";

    Game() {
        char tmpl[] = "/tmp/lumavex-e2e-XXXXXX";
        dir = mkdtemp(tmpl);
        std::string pack = std::string(LUMAVEX_GAME_DIR) + "/data.pck";
        if (symlink(pack.c_str(), (dir + "/data.pck").c_str()) != 0) std::perror("symlink");
    }
    ~Game() {
        if (pid > 0) {
            kill(pid, SIGKILL);
            waitpid(pid, nullptr, 0);
        }
        if (!std::getenv("LUMAVEX_KEEP_E2E")) std::system(("rm -rf " + dir).c_str());  // kept to look at
    }
    // The runs to come go through the preloaded fault injector: the call op on paths holding
    // path (a '|' list) fails at its nth time ("once"), from then on ("after"), or kills the game
    // there ("kill"), with errno error. env.clear() ends it.
    void faults(const std::string& op, const std::string& path, int nth, const std::string& mode = "once",
                const std::string& error = "ENOSPC") {
        env = {{"LD_PRELOAD", LUMAVEX_FAULTFS},      {"FAULTFS_OP", op},     {"FAULTFS_PATH", path},
               {"FAULTFS_NTH", std::to_string(nth)}, {"FAULTFS_MODE", mode}, {"FAULTFS_ERRNO", error}};
    }
    void write(const std::string& name, const std::string& text) { std::ofstream(dir + "/" + name) << text; }
    // Bytes as a file of the folder, its folders made first.
    void write_bytes(const std::string& name, const std::string& bytes) {
        const std::string path = dir + "/" + name;
        std::system(("mkdir -p '" + path.substr(0, path.rfind('/')) + "'").c_str());
        std::ofstream(path, std::ios::binary) << bytes;
    }
    // Copies sample boxes of the built game into this game's puzzles folder.
    void copy_boxes(const std::vector<std::string>& boxes) {
        std::system(("mkdir -p '" + dir + "/puzzles' '" + dir + "/sfiles'").c_str());
        for (const std::string& name : boxes)
            std::system(
                ("cp '" LUMAVEX_GAME_DIR "/puzzles/" + name + ".pzl' '" + dir + "/puzzles/'").c_str());
    }
    std::string file(const std::string& name) { return read_all(dir + "/" + name); }

    // Starts the game in its folder, by default with a private runtime folder; returns at once.
    void start(std::vector<std::string> args, const std::string& runtime = "") {
        pid = fork();
        if (pid == 0) {
            if (chdir(dir.c_str()) != 0) _exit(99);
            setenv("XDG_RUNTIME_DIR", (runtime.empty() ? dir : runtime).c_str(), 1);
            for (const auto& [name, value] : env)
                setenv(name.c_str(), value.c_str(), 1);
            freopen((dir + "/stderr.txt").c_str(), "w", stderr);
            std::vector<char*> argv = {(char*)exe.c_str()};
            for (std::string& a : args)
                argv.push_back((char*)a.c_str());
            argv.push_back(nullptr);
            execv(exe.c_str(), argv.data());
            _exit(98);
        }
    }
    // Waits for the game to end; its exit code, or -1 after the time limit.
    int wait(int seconds = 60) {
        int status = 0;
        if (!poll([&] { return waitpid(pid, &status, WNOHANG) == pid; }, seconds)) return -1;
        pid = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }
    int run(std::vector<std::string> args) {
        start(std::move(args));
        return wait();
    }
    bool has(const std::string& name) {
        struct stat st;
        return stat((dir + "/" + name).c_str(), &st) == 0;
    }
    bool wait_for_file(const std::string& name) {
        return poll([&] { return has(name); }, 20);
    }
};

// The data of the first chunk `id` of a tagged file (after its 24-byte head), or "".
inline std::string chunk(const std::string& file, uint32_t id) {
    for (size_t at = 24; at + 8 <= file.size();) {
        uint32_t head[2];
        std::memcpy(head, file.data() + at, 8);
        if (at + 8 + head[1] > file.size()) break;
        if (head[0] == id) return file.substr(at + 8, head[1]);
        at += 8 + head[1];
    }
    return "";
}

// The chunk `id` read as a 32-bit number, or `otherwise`.
inline int32_t chunk_i32(const std::string& file, uint32_t id, int32_t otherwise = 0) {
    const std::string data = chunk(file, id);
    if (data.size() == 4) std::memcpy(&otherwise, data.data(), 4);
    return otherwise;
}

// The value of the first line "key=..." of an INI text, or "(none)".
inline std::string ini_value(const std::string& ini, const std::string& key) {
    const size_t at = ini.find("\n" + key + "=");
    if (at == std::string::npos) return "(none)";
    const size_t from = at + key.size() + 2;
    return ini.substr(from, ini.find_first_of("\r\n", from) - from);
}

inline std::string at(int x, int y) { return std::to_string(x) + " " + std::to_string(y); }

// Width and height from a PNG's header.
inline std::pair<int, int> png_size(const std::string& png) {
    if (png.size() <= 24) return {0, 0};
    auto be32 = [&](size_t at) {
        return (int)((uint8_t)png[at] << 24 | (uint8_t)png[at + 1] << 16 | (uint8_t)png[at + 2] << 8 |
                     (uint8_t)png[at + 3]);
    };
    return {be32(16), be32(20)};
}

}  // namespace e2e
