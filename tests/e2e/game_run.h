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
    void write(const std::string& name, const std::string& text) { std::ofstream(dir + "/" + name) << text; }
    std::string file(const std::string& name) { return read_all(dir + "/" + name); }

    // Starts the game in its folder, by default with a private runtime folder; returns at once.
    void start(std::vector<std::string> args, const std::string& runtime = "") {
        pid = fork();
        if (pid == 0) {
            if (chdir(dir.c_str()) != 0) _exit(99);
            setenv("XDG_RUNTIME_DIR", (runtime.empty() ? dir : runtime).c_str(), 1);
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
