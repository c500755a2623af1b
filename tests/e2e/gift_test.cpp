// tests/e2e/gift_test.cpp -- a gift's whole road. The game packs two boxes with a sender name and
// a dedication; the gift, run unattended in an empty home, installs the game from itself,
// delivers the boxes and names the command that starts the game; the installed game shows them
// on its shelf; a second run delivers nothing twice; and a running game takes a new box from a
// gift over its socket.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdio>
#include <string>
#include <vector>

#include "e2e/store_game.h"
#include "gift/giftfile.h"
#include "platform/io_ini.h"

namespace {

using e2e::read_all;

// An empty home for the receiver: nothing of the game installed, its own temporary and runtime
// folders.
struct Home {
    std::string dir;
    Home() {
        char tmpl[] = "/tmp/lumavex-home-XXXXXX";
        dir = mkdtemp(tmpl);
        for (const char* sub : {"/home", "/tmp", "/run"})
            mkdir((dir + sub).c_str(), 0700);
    }
    ~Home() {
        if (!std::getenv("LUMAVEX_KEEP_E2E")) std::system(("rm -rf '" + dir + "'").c_str());
    }
    std::string game() const { return dir + "/home/.local/share/lumavex"; }
};

struct Outcome {
    int code = -1;
    std::string out, err;
};

// Starts a program with the receiver's environment in folder `cwd`; its output goes to files
// named after `tag` in the home folder.
pid_t spawn(const Home& home, const std::string& cwd, std::vector<std::string> args, const std::string& tag) {
    pid_t pid = fork();
    if (pid == 0) {
        if (chdir(cwd.c_str()) != 0) _exit(99);
        setenv("HOME", (home.dir + "/home").c_str(), 1);
        setenv("TMPDIR", (home.dir + "/tmp").c_str(), 1);
        setenv("XDG_RUNTIME_DIR", (home.dir + "/run").c_str(), 1);
        unsetenv("XDG_CONFIG_HOME");
        unsetenv("XDG_DATA_HOME");
        if (!freopen((home.dir + "/" + tag + ".out").c_str(), "w", stdout) ||
            !freopen((home.dir + "/" + tag + ".err").c_str(), "w", stderr))
            _exit(97);
        std::vector<char*> argv;
        for (std::string& a : args)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        execv(argv[0], argv.data());
        _exit(98);
    }
    return pid;
}

// Waits for a spawned program to end (killing it after two minutes) and reads its output.
Outcome finish(const Home& home, pid_t pid, const std::string& tag) {
    Outcome r;
    int status = 0;
    if (!e2e::poll([&] { return waitpid(pid, &status, WNOHANG) == pid; }, 120)) {
        kill(pid, SIGKILL);
        waitpid(pid, &status, 0);
    } else {
        r.code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }
    r.out = read_all(home.dir + "/" + tag + ".out");
    r.err = read_all(home.dir + "/" + tag + ".err");
    return r;
}

Outcome run_in(const Home& home, const std::string& cwd, std::vector<std::string> args) {
    return finish(home, spawn(home, cwd, std::move(args), "run"), "run");
}

int count(const std::string& text, const std::string& what) {
    int n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
        n++;
    return n;
}

// A sample box as a box of its own: another name and a stamp no other box has.
void own_box(const std::string& folder, const std::string& sample, const std::string& name, char mark) {
    std::string box = read_all(std::string(LUMAVEX_GAME_DIR) + "/puzzles/" + sample + ".pzl");
    ASSERT_GT(box.size(), 20u);
    for (int i = 4; i < 20; i++)
        box[i] = (char)(mark + i);
    std::ofstream(folder + "/" + name + ".pzl", std::ios::binary) << box;
}

}  // namespace

TEST(gift, a_gift_installs_the_game_delivers_its_boxes_once_and_reaches_a_running_game) {
    // The sender: two boxes of their own, packed with a name and a dedication.
    e2e::StoreGame sender({});
    own_box(sender.dir + "/puzzles", "Sunset Lake", "Gift One", 'a');
    own_box(sender.dir + "/puzzles", "Tulip Fields", "Gift Two", 'k');
    sender.arrange({{"Gift One", e2e::slot(0)}, {"Gift Two", e2e::slot(1)}});
    std::system(("cd '" + sender.dir +
                 "' && mkdir -p docs config && cp '" LUMAVEX_GAME_DIR "/sfiles/loader.dat' '" LUMAVEX_GAME_DIR
                 "/sfiles/present.bin' sfiles/")
                    .c_str());
    sender.write("config/user-dirs.dirs", "XDG_DESKTOP_DIR=\"" + sender.dir + "/docs\"\n");
    setenv("XDG_CONFIG_HOME", (sender.dir + "/config").c_str(), 1);
    const auto box = [](int i) { return e2e::at(e2e::slot(i).x + 40, e2e::slot(i).y + 40); };
    const int built =
        sender.play("2 click " + box(0) + " left\n+20 click " + box(1) +
                    " left ctrl\n+20 click 76 128 left\n+10 type Alice\n+1 key tab\n"
                    "+1 type Enjoy these!\n+1 click 597 464 left\n+10 key enter\n+10 key enter\n+10 quit\n");
    unsetenv("XDG_CONFIG_HOME");
    ASSERT_EQ(built, 0) << sender.file("stderr.txt");
    const std::string gift = sender.dir + "/docs/Alice.run";
    ASSERT_TRUE(sender.has("docs/Alice.run"));

    // The receiver has nothing: the gift installs the game and delivers both boxes.
    Home home;
    Outcome first = run_in(home, home.dir, {gift, "--headless"});
    ASSERT_EQ(first.code, 0) << first.err;
    EXPECT_NE(first.err.find("Enjoy these!"), std::string::npos) << first.err;
    EXPECT_NE(first.err.find("Gift One - Uitgepakt"), std::string::npos) << first.err;
    EXPECT_NE(first.err.find("Gift Two - Uitgepakt"), std::string::npos) << first.err;
    EXPECT_EQ(first.out, home.game() + "/tesselo\n");
    EXPECT_EQ(read_all(home.dir + "/home/.config/Dremwick/Lumavex.ini"),
              "[Lumavex]\nInstallPath=" + home.game() + "\nVersion=126\n");

    // The installed game, started as the gift says, shows them on its shelf.
    std::ofstream(home.dir + "/quit.txt") << "30 quit\n";
    Outcome game = run_in(
        home, home.game(),
        {home.game() + "/tesselo", "--headless", "--window", "1024x768", "--script", home.dir + "/quit.txt"});
    ASSERT_EQ(game.code, 0) << game.err;
    const std::string config = read_all(home.game() + "/" + CONFIG_INI);
    EXPECT_NE(config.find("=Gift One\n"), std::string::npos) << config;
    EXPECT_NE(config.find("=Gift Two\n"), std::string::npos) << config;

    // Outcome again: the receiver has both already, and nothing is copied twice.
    Outcome second = run_in(home, home.dir, {gift, "--headless"});
    ASSERT_EQ(second.code, 0) << second.err;
    EXPECT_EQ(count(second.err, "Dit heeft u reeds"), 2) << second.err;
    struct stat st;
    EXPECT_NE(stat((home.game() + "/puzzles/Gift One 1.pzl").c_str(), &st), 0);

    // A game that runs takes the box of a new gift over its socket at once: it has read the box
    // (and written its shelf preview) before it is asked to close, and keeps it on its shelf.
    own_box(home.dir, "Sunset Lake", "Gift Three", 'u');
    const std::string three = home.dir + "/three.run";
    FILE* file = std::fopen(three.c_str(), "wb");
    const std::string stub = read_all(std::string(LUMAVEX_GAME_DIR) + "/sfiles/loader.dat");
    ASSERT_TRUE(file && std::fwrite(stub.data(), 1, stub.size(), file) == stub.size());
    // Its dedication carries terminal control bytes, which must never reach the terminal.
    std::ofstream(home.dir + "/devote.txt") << "Hi\x1b[2J\x07there\rX";
    ASSERT_TRUE(gift_write_marker(file) && gift_add_file(file, (home.dir + "/devote.txt").c_str(), nullptr) &&
                gift_add_file(file, (home.dir + "/Gift Three.pzl").c_str(), nullptr));
    std::fclose(file);
    chmod(three.c_str(), 0700);
    const pid_t running = spawn(home, home.game(), {home.game() + "/tesselo", "--headless"}, "game");
    ASSERT_TRUE(
        e2e::poll([&] { return stat((home.dir + "/run/lumavex/KVLUMAVEXCLASS").c_str(), &st) == 0; }, 30));
    Outcome third = run_in(home, home.dir, {three, "--headless"});
    EXPECT_EQ(third.code, 0) << third.err;
    EXPECT_NE(third.err.find("Gift Three - Uitgepakt"), std::string::npos) << third.err;
    EXPECT_NE(third.err.find("Hi?[2J?there?X"), std::string::npos) << third.err;
    EXPECT_EQ(third.err.find_first_of("\x1b\x07\r"), std::string::npos);
    EXPECT_TRUE(
        e2e::poll([&] { return stat((home.game() + "/sfiles/temp/Gift Three.prw").c_str(), &st) == 0; }, 30));
    kill(running, SIGTERM);
    ASSERT_EQ(finish(home, running, "game").code, 0);
    EXPECT_NE(read_all(home.game() + "/" + CONFIG_INI).find("=Gift Three\n"), std::string::npos);
}
