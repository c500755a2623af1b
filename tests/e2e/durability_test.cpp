// The player's files under a failing machine: two copies released at the same instant, a file
// system that fails the Nth file call of a kind on a path (the preloaded fault injector), and
// kills at random file operations. After each run every file the player owns is byte for byte
// the old one or a whole new one, and a failure the player must know of was told.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "tests/e2e/game_run.h"

namespace {

using namespace e2e;

// Starts `count` games in one folder with no script (each with a runtime folder of its own when
// own_runtimes says so), all released at the same instant through one pipe; their process ids.
std::vector<pid_t> release_together(Game& g, int count, bool own_runtimes) {
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
            execl(g.exe.c_str(), g.exe.c_str(), "--headless", "--window", "320x240", (char*)nullptr);
            _exit(98);
        }
        pids.push_back(pid);
    }
    close(gate[0]);
    close(gate[1]);
    return pids;
}

int exit_code(int status) { return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status); }

TEST(durability, two_copies_released_at_the_same_instant_never_both_run) {
    // Each round: the copy that won keeps running (it has no script) until the other has ended
    // and then is closed with SIGTERM. Both copies still alive after the wait is the fault.
    Game g;
    int both = 0, none = 0;
    for (int round = 0; round < 50; round++) {
        // One round in five gives each copy a runtime folder of its own: the lock on the game
        // folder must still keep them apart.
        const bool own = round % 5 == 4;
        const std::vector<pid_t> pids = release_together(g, 2, own);
        ASSERT_EQ(pids.size(), 2u);
        int codes[2] = {-1, -1};
        auto alive = [&] {
            for (int i = 0; i < 2; i++) {
                int status;
                if (codes[i] < 0 && waitpid(pids[i], &status, WNOHANG) == pids[i])
                    codes[i] = exit_code(status);
            }
            return (codes[0] < 0) + (codes[1] < 0);
        };
        poll([&] { return alive() < 2; }, 20);
        const int running = alive();
        both += running == 2;
        none += running == 0;
        const int winner = codes[0] < 0 ? 0 : 1;
        for (int i = 0; i < 2; i++)
            if (codes[i] < 0) {
                kill(pids[i], SIGTERM);
                int status;
                waitpid(pids[i], &status, 0);
                codes[i] = exit_code(status);
            }
        EXPECT_EQ(codes[0], 0);
        EXPECT_EQ(codes[1], 0);
        if (own && running == 1) {
            const std::string told = g.file("stderr" + std::to_string(1 - winner) + ".txt");
            EXPECT_NE(told.find("is already running with its game folder"), std::string::npos) << told;
        }
    }
    EXPECT_EQ(both, 0) << "rounds where two copies ran";
    EXPECT_EQ(none, 0) << "rounds where neither ran";
}

// A game of one box, run with the fault injector's settings.
struct FaultGame : Game {
    std::string box;
    explicit FaultGame(const std::string& name) : box(name) { copy_boxes({name}); }
    int play(const std::string& script, const std::string& window = "1024x768", bool open_box = true) {
        write("script.txt", script);
        std::vector<std::string> args = {"--headless", "--window", window, "--script",
                                         "script.txt", "-debug",   "1"};
        if (open_box) args.push_back("puzzles/" + box + ".pzl");
        start(args);
        return wait(120);
    }
    // How often the log holds a line.
    int logged(const std::string& text) {
        const std::string log = file("application.log");
        int n = 0;
        for (size_t at = log.find(text); at != std::string::npos; at = log.find(text, at + 1))
            n++;
        return n;
    }
};

TEST(durability, a_game_goes_from_desk_to_desk_and_a_save_of_another_cut_is_never_replaced) {
    // Mandala plays on the desk itself at 1920 x 1200 and on a larger table at 800 x 600: the cut
    // is the box's own on both, so both take up the one game, kept relative to the table's centre.
    FaultGame g("Mandala");
    ASSERT_EQ(g.play("5 drag 300 300 500 400 10\n+30 quit\n", "1920x1200"), 0) << g.file("stderr.txt");
    const std::string large = g.file("sfiles/qs/Mandala.qsv");
    ASSERT_FALSE(large.empty());
    EXPECT_EQ(chunk_i32(large, 4), 961);
    ASSERT_EQ(g.play("5 quit\n", "800x600"), 0);
    EXPECT_TRUE(g.file("sfiles/qs/800x600/Mandala.qsv").empty()) << "no save of its own";
    EXPECT_EQ(chunk(g.file("sfiles/qs/Mandala.qsv"), 100), chunk(large, 100)) << "the layout is taken up";
    ASSERT_EQ(g.play("5 quit\n", "1920x1200"), 0);
    EXPECT_EQ(chunk(g.file("sfiles/qs/Mandala.qsv"), 100), chunk(large, 100));

    // A save of another cut of the box (as a picture shrunk to a small desk once left) stays as it
    // is; this cut's game is kept beside it.
    std::string other = large;
    const size_t count = other.find(std::string("\x04\x00\x00\x00\x04\x00\x00\x00", 8));
    ASSERT_NE(count, std::string::npos);
    const int32_t fewer = 900;
    other.replace(count + 8, 4, std::string((const char*)&fewer, 4));
    g.write_bytes("sfiles/qs/Mandala.qsv", other);
    ASSERT_EQ(g.play("5 quit\n", "800x600"), 0);
    EXPECT_EQ(g.file("sfiles/qs/Mandala.qsv"), other);
    EXPECT_EQ(chunk_i32(g.file("sfiles/qs/full/Mandala.qsv"), 4), 961);
}

TEST(durability, a_failed_save_is_told_once_tried_again_and_never_damages_the_old_one) {
    FaultGame g("Sunset Lake");
    ASSERT_EQ(g.play("5 drag 440 390 540 440 10\n+30 quit\n"), 0);  // from a piece of the fresh desk
    const std::string before = g.file("sfiles/qs/Sunset Lake.qsv");
    ASSERT_FALSE(before.empty());

    // Every write under the quick saves fails with a full disk: two autosave periods, then the
    // room is left (the question to try again is answered Cancel), then the game quits.
    g.faults("write", "sfiles/qs/", 1, "after");
    ASSERT_EQ(g.play("5 drag 585 390 700 450 10\n"
                     "+1000 key enter\n"  // the message of the first failed autosave
                     "+1000 key escape\n"
                     "+10 key escape\n"  // Cancel: go on without saving
                     "+10 quit\n"),
              0)
        << g.file("stderr.txt");
    EXPECT_EQ(g.logged("msgbox: Your game could not be saved because the disk is full"), 1);
    EXPECT_EQ(g.logged("msgbox: Your game could not be saved. If the disk is full"), 1);
    EXPECT_GE(g.logged("game: the game could not be saved"), 3) << "two autosaves and the end";
    EXPECT_EQ(g.file("sfiles/qs/Sunset Lake.qsv"), before);

    // A saved game that cannot be read is never written over: the player is told, and this game
    // is kept beside it.
    g.faults("read", "sfiles/qs/Sunset Lake.qsv", 1, "after", "EIO");
    ASSERT_EQ(g.play("5 key enter\n+5 drag 400 300 600 400 10\n+20 key escape\n+10 quit\n"), 0);
    EXPECT_EQ(g.logged("msgbox: The saved game of this box cannot be read"), 1);
    EXPECT_EQ(g.file("sfiles/qs/Sunset Lake.qsv"), before);
    EXPECT_EQ(chunk_i32(g.file("sfiles/qs/full/Sunset Lake.qsv"), 4), chunk_i32(before, 4));
}

TEST(durability, a_full_disk_or_an_unreadable_settings_file_at_start_is_told_and_loses_nothing) {
    FaultGame g("Sunset Lake");
    ASSERT_EQ(g.play("5 drag 300 300 500 400 10\n+30 key escape\n+10 quit\n"), 0);
    const std::string config = g.file("sfiles/config.ini"), save = g.file("sfiles/qs/Sunset Lake.qsv");
    ASSERT_FALSE(config.empty());
    ASSERT_FALSE(save.empty());
    // Leftovers of writers killed before their rename go at the next start.
    g.write("sfiles/qs/Sunset Lake.qsv.999999999.new", "half");
    g.write("sfiles/config.ini.999999999.new", "half");

    // Every write under the game's folder fails with a full disk: the game starts all the same
    // (its working copies go to the private folder), says so once, and changes nothing.
    g.faults("write", "sfiles/", 1, "after");
    ASSERT_EQ(g.play("5 key enter\n+5 drag 300 300 500 400 10\n+1000 key enter\n+10 key escape\n"
                     "+10 key escape\n+10 quit\n"),
              0)
        << g.file("stderr.txt");
    EXPECT_EQ(g.logged("msgbox: The disk is full, so nothing you do now can be saved"), 1);
    // The box cannot be opened (its working files cannot be written): told as a full disk, never
    // as a damaged box.
    EXPECT_EQ(g.logged("msgbox: The disk is full, so this box cannot be opened now"), 1);
    EXPECT_EQ(g.logged("damaged"), 0);
    EXPECT_EQ(g.file("sfiles/config.ini"), config);
    EXPECT_EQ(g.file("sfiles/qs/Sunset Lake.qsv"), save);
    EXPECT_FALSE(g.has("sfiles/qs/Sunset Lake.qsv.999999999.new"));
    EXPECT_FALSE(g.has("sfiles/config.ini.999999999.new"));

    // The settings file cannot be read: it is told once and left as it is, though the window
    // places and the shelf are written at the end.
    g.faults("read", "sfiles/config.ini", 1, "after", "EIO");
    ASSERT_EQ(g.play("5 key enter\n+10 drag 60 60 400 400 10\n+10 key escape\n+10 quit\n", "800x600", false),
              0);
    EXPECT_EQ(g.logged("msgbox: Lumavex cannot read its settings file"), 1);
    EXPECT_EQ(g.file("sfiles/config.ini"), config);
}

// The files a player owns in a game folder, by path, with their bytes: everything under "sfiles"
// and the puzzles folder but the run's working copies, the log and writers' temporaries.
std::map<std::string, std::string> owned_files(Game& g) {
    static const char* const WORKING[] = {"sfiles/bimage.tmp", "sfiles/bdesc.tmp", "sfiles/baddress.tmp",
                                          "sfiles/bmidi.mid",  "sfiles/a.tmp",     "sfiles/skin.ini",
                                          "sfiles/lang.ini"};
    std::map<std::string, std::string> files;
    for (const char* top : {"sfiles", "puzzles"}) {
        const std::string root = g.dir + "/" + top;
        for (const auto& entry : std::filesystem::recursive_directory_iterator(root)) {
            if (!entry.is_regular_file()) continue;
            const std::string name = entry.path().string().substr(g.dir.size() + 1);
            if (name.size() > 4 && name.compare(name.size() - 4, 4, ".new") == 0) continue;
            if (std::find(std::begin(WORKING), std::end(WORKING), name) != std::end(WORKING)) continue;
            files[name] = g.file(name);
        }
    }
    return files;
}

// A whole file of its kind, as written tag last: the tag is there and the parts agree.
bool whole(const std::string& name, const std::string& bytes) {
    auto ends = [&](const char* tail) {
        const size_t n = std::strlen(tail);
        return name.size() >= n && name.compare(name.size() - n, n, tail) == 0;
    };
    if (ends(".qsv")) {
        const int32_t count = chunk_i32(bytes, 4);
        return bytes.compare(0, 4, "QICK") == 0 && count > 0 &&
               chunk(bytes, 100).size() == (size_t)count * 20 &&
               chunk(bytes, 101).size() == (size_t)count * 4;
    }
    if (ends(".prw")) return bytes.compare(0, 4, "PRVW") == 0;
    if (ends(".tmp")) return bytes.compare(0, 4, "TEMP") == 0;
    if (ends(".dat")) return bytes.compare(0, 4, "GALL") == 0;
    if (ends(".ini")) return bytes.find("OldScreenSize=") != std::string::npos;
    return false;  // boxes are never rewritten by playing
}

TEST(durability, a_box_saved_again_that_cannot_be_read_back_gives_way_to_the_old_one) {
    // The create room saves an edited box (one piece size up); the fault strikes when the new box
    // is read back to be shown.
    const std::string box = "puzzles/Tulip Fields.pzl";
    const std::string edit =
        "2 click 170 170 left\n+20 click 357 80 left\n+5 click 414 108 left\n"
        "+3 click 915 740 left\n+20 key enter\n+10 quit\n";
    auto shelf_of_one = [](FaultGame& g) {
        g.write("sfiles/config.ini",
                "[MAIN]\nOldScreenSize=1024 768\n[BOXNAMES]\n0=Tulip Fields\n[BOXPOSS]\n0=130 130\n");
    };
    // Once without a fault, to find which read of the box follows its rename.
    FaultGame probe("Tulip Fields");
    shelf_of_one(probe);
    const std::string before = probe.file(box);
    probe.env = {{"LD_PRELOAD", LUMAVEX_FAULTFS},
                 {"FAULTFS_OP", "any"},
                 {"FAULTFS_PATH", box},
                 {"FAULTFS_LOG", probe.dir + "/ops.log"}};
    ASSERT_EQ(probe.play(edit, "1024x768", false), 0) << probe.file("stderr.txt");
    ASSERT_NE(probe.file(box), before) << "the edit saved the box again";
    std::istringstream ops(probe.file("ops.log"));
    std::string line;
    int reads = 0, nth = 0;
    bool renamed = false;
    while (std::getline(ops, line) && !nth) {
        const bool read = line.find(" read ") != std::string::npos;
        reads += read;
        if (renamed && read) nth = reads;
        renamed = renamed || line.compare(0, 7, "rename ") == 0;
    }
    ASSERT_GT(nth, 0) << ops.str();

    FaultGame faulty("Tulip Fields");
    auto* g = &faulty;
    shelf_of_one(faulty);
    faulty.faults("read", box, nth, "once", "EIO");
    ASSERT_EQ(faulty.play(edit, "1024x768", false), 0) << faulty.file("stderr.txt");
    EXPECT_EQ(g->file(box), before) << "the old box is back";
    EXPECT_EQ(g->logged("msgbox: The changes could not be saved. The box is kept as it was."), 1);
    EXPECT_NE(g->file("sfiles/config.ini").find("0=Tulip Fields"), std::string::npos) << "still on the shelf";
    std::vector<std::string> left;
    for (const auto& entry : std::filesystem::directory_iterator(g->dir + "/puzzles"))
        left.push_back(entry.path().filename().string());
    EXPECT_EQ(left, std::vector<std::string>{"Tulip Fields.pzl"});
}

// One writer of the player's files, walked through every kind of failing call.
struct Writer {
    const char* name;
    const char* watched;  // the path the failing call is on
    const char* script;   // what makes the game write it (Sunset Lake open from the command line)
    const char* told;     // the message the player must see when the write fails ("" none)
    bool open_box;
};

TEST(durability, every_writer_under_every_failing_call_keeps_the_old_file_or_writes_a_whole_new_one) {
    const Writer writers[] = {
        {"quick save", "sfiles/qs/", "5 autosolve 6 1\n+20 key escape\n+20 key escape\n+10 quit\n",
         "msgbox: Your game could not be saved. If the disk is full", true},
        {"autosave", "sfiles/qs/", "5 autosolve 6 1\n+1000 key enter\n+10 quit\n",
         "msgbox: Your game could not be saved", true},
        {"cut cache", "sfiles/temp/Sunset Lake.tmp", "5 quit\n", "", true},
        {"shelf preview", "sfiles/temp/Sunset Lake.prw", "5 quit\n", "", false},
        {"configuration", "sfiles/config.ini", "5 drag 60 60 300 300 10\n+10 quit\n", "", false},
    };
    const char* const calls[] = {"write", "fwrite", "fflush", "fsync", "fclose", "rename"};
    for (const Writer& w : writers) {
        // A folder where the writer has written once already: the old files to keep.
        FaultGame g("Sunset Lake");
        g.copy_boxes({"Tulip Fields"});
        ASSERT_EQ(g.play("5 drag 300 300 500 400 10\n+20 key escape\n+20 quit\n"), 0);
        if (std::string(w.watched).find(".tmp") != std::string::npos ||
            std::string(w.watched).find(".prw") != std::string::npos)
            std::filesystem::remove(g.dir + "/" + w.watched);  // a cache or preview is written afresh
        const std::map<std::string, std::string> before = owned_files(g);
        for (const char* call : calls) {
            for (const auto& [name, bytes] : before)
                g.write_bytes(name, bytes);
            // Every such call on the path fails from the first on (a read's close comes first).
            g.faults(call, w.watched, 1, "after", call == std::string("fsync") ? "EIO" : "ENOSPC");
            std::filesystem::remove(g.dir + "/application.log");
            ASSERT_EQ(g.play(w.script, "1024x768", w.open_box), 0)
                << w.name << " " << call << g.file("stderr.txt");
            const std::map<std::string, std::string> after = owned_files(g);
            for (const auto& [name, bytes] : before) {
                const auto it = after.find(name);
                const bool kept = it != after.end() && (it->second == bytes || whole(name, it->second));
                EXPECT_TRUE(kept || (it == after.end() && whole(name, "")))
                    << w.name << ": " << name << " after a failing " << call;
            }
            for (const auto& [name, bytes] : after)
                if (!before.count(name)) {
                    EXPECT_TRUE(whole(name, bytes))
                        << w.name << ": new " << name << " after a failing " << call;
                }
            // A save that failed is told once (a game's save sees every one of these failures).
            if (w.told[0]) {
                EXPECT_GT(g.logged("game: the game could not be saved"), 0) << w.name << " " << call;
                EXPECT_EQ(g.logged(w.told), 1) << w.name << " " << call << "\n" << g.file("application.log");
            }
        }
    }
}

TEST(durability, a_game_killed_at_any_file_operation_keeps_every_file_old_or_new_and_reopens) {
    FaultGame g("Sunset Lake");
    g.copy_boxes({"Tulip Fields"});
    // The state before: both boxes played once, so saves, previews and cut caches exist.
    ASSERT_EQ(g.play("5 drag 300 300 500 400 10\n+20 key escape\n+20 quit\n"), 0);
    g.box = "Tulip Fields";
    ASSERT_EQ(g.play("5 drag 300 300 500 400 10\n+20 key escape\n+20 quit\n"), 0);
    g.box = "Sunset Lake";
    const std::map<std::string, std::string> before = owned_files(g);
    ASSERT_GE(before.size(), 7u);

    // The run that is killed: moves, an autosave, the store room, a box moved on the shelf, quit.
    const std::string run =
        "5 drag 300 300 520 420 10\n+20 drag 500 300 300 420 10\n+1000 key escape\n"
        "+20 drag 100 120 600 500 10\n+20 quit\n";
    const std::string watched = "sfiles/|puzzles/";
    g.env = {{"LD_PRELOAD", LUMAVEX_FAULTFS},
             {"FAULTFS_OP", "any"},
             {"FAULTFS_PATH", watched},
             {"FAULTFS_LOG", g.dir + "/ops.log"}};
    ASSERT_EQ(g.play(run), 0);
    int operations = 0;
    for (char c : g.file("ops.log"))
        operations += c == '\n';
    ASSERT_GT(operations, 50);

    unsigned seed = 20261208;
    int killed = 0, reopened = 0;
    for (int round = 0; round < 50; round++) {
        // Every round starts from the same files.
        std::filesystem::remove_all(g.dir + "/sfiles");
        for (const auto& [name, bytes] : before)
            g.write_bytes(name, bytes);
        seed = seed * 1103515245 + 12345;
        const int nth = 1 + (int)((seed >> 8) % (unsigned)operations);
        g.env = {{"LD_PRELOAD", LUMAVEX_FAULTFS},
                 {"FAULTFS_OP", "any"},
                 {"FAULTFS_PATH", watched},
                 {"FAULTFS_NTH", std::to_string(nth)},
                 {"FAULTFS_MODE", "kill"}};
        killed += g.play(run) == 128 + SIGKILL;
        const std::map<std::string, std::string> after = owned_files(g);
        for (const auto& [name, bytes] : before) {
            const auto it = after.find(name);
            if (it == after.end()) {
                ADD_FAILURE() << name << " is gone after a kill at operation " << nth;
                continue;
            }
            EXPECT_TRUE(it->second == bytes || whole(name, it->second))
                << name << " is neither old nor whole after a kill at operation " << nth;
        }
        for (const auto& [name, bytes] : after)
            if (!before.count(name)) {
                EXPECT_TRUE(whole(name, bytes)) << name << " (new) after operation " << nth;
            }
        // And the game takes up where it was.
        g.env.clear();
        reopened += g.play("5 quit\n") == 0 && g.logged("cannot open the box") == 0 &&
                    whole("x.qsv", g.file("sfiles/qs/Sunset Lake.qsv"));
    }
    EXPECT_GE(killed, 45) << "rounds that were really killed";
    EXPECT_EQ(reopened, 50);
}

}  // namespace
