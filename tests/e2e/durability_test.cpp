// The player's files under a failing machine: two copies released at the same instant, a file
// system that fails the Nth file call of a kind on a path (the preloaded fault injector), and
// kills at random file operations. After each run every file the player owns is byte for byte
// the old one or a whole new one, and a failure the player must know of was told.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <map>
#include <string>
#include <vector>

#include "tests/e2e/game_run.h"

namespace {

using namespace e2e;

// Starts `count` games in one folder (each with its own runtime folder when `runtimes` says so),
// all released at the same instant through one pipe; their exit codes.
std::vector<int> release_together(Game& g, int count, bool own_runtimes, const std::string& script) {
    int gate[2];
    if (pipe(gate) != 0) return {};
    std::vector<pid_t> pids;
    for (int i = 0; i < count; i++) {
        const std::string runtime = own_runtimes ? g.dir + "/rt" + std::to_string(i) : g.dir;
        mkdir(runtime.c_str(), 0700);
        const pid_t pid = fork();
        if (pid == 0) {
            close(gate[1]);
            char byte;
            (void)!read(gate[0], &byte, 1);  // the gate opens for everyone when it is closed
            if (chdir(g.dir.c_str()) != 0) _exit(99);
            setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
            freopen((g.dir + "/stderr" + std::to_string(i) + ".txt").c_str(), "w", stderr);
            execl(g.exe.c_str(), g.exe.c_str(), "--headless", "--window", "320x240", "--script", script.c_str(),
                  (char*)nullptr);
            _exit(98);
        }
        pids.push_back(pid);
    }
    close(gate[0]);
    close(gate[1]);
    std::vector<int> codes;
    for (pid_t pid : pids) {
        int status = 0;
        waitpid(pid, &status, 0);
        codes.push_back(WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status));
    }
    return codes;
}

TEST(durability, two_copies_released_at_the_same_instant_never_both_run) {
    Game g;
    g.write("s.txt", "20 quit\n");
    int both = 0, none = 0;
    for (int round = 0; round < 50; round++) {
        // One round in five gives each copy a runtime folder of its own: the lock on the game
        // folder must still keep them apart.
        const bool own = round % 5 == 4;
        const std::vector<int> codes = release_together(g, 2, own, "s.txt");
        ASSERT_EQ(codes.size(), 2u);
        int ran = 0;
        for (int i = 0; i < 2; i++)
            ran += g.file("stderr" + std::to_string(i) + ".txt").find("script: quit at tick") != std::string::npos;
        both += ran == 2;
        none += ran == 0;
        EXPECT_EQ(codes[0], 0);
        EXPECT_EQ(codes[1], 0);
        if (own && ran == 1) {
            const std::string told = g.file("stderr0.txt") + g.file("stderr1.txt");
            EXPECT_NE(told.find("is already running with its game folder"), std::string::npos) << told;
        }
    }
    EXPECT_EQ(both, 0) << "rounds where two copies ran";
    EXPECT_EQ(none, 0) << "rounds where neither ran";
}

}  // namespace
