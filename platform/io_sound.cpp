// platform/io_sound.cpp -- sound effects and the background tune through SDL2_mixer.
//
// Effects play on one mixer channel, so a new one cuts off the last. Tunes are rendered by the
// mixer's FluidSynth decoder with the General MIDI soundfont of the system's sf2 folder; the
// other MIDI decoders are switched off so that a tune sounds the same everywhere.
//
// The mixer reports a tune's end on its audio thread. The report only posts an SDL user event
// carrying the tune's generation; the platform's event loop hands it to midi_take_event (the
// event taker the sound installs when it starts) on the main thread, which runs
// midi_completion. Every stop bumps the generation, so the end of a tune that was stopped or
// replaced meanwhile is never mistaken for the end of the current one.
#include "platform/io_sound.h"

#include <SDL.h>
#include <SDL_mixer.h>
#include <dirent.h>
#include <strings.h>
#include <sys/stat.h>

#include <atomic>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "platform/io_debug.h"
#include "platform/sys.h"

namespace {

constexpr int MIX_RATE = 44100;
constexpr int MIX_CHUNK = 2048;          // sample frames per mixing pass
constexpr int EFFECT_CHANNEL = 0;        // the one channel sound effects use
constexpr long MIDI_FILE_MAX = 8 << 20;  // bytes; longer files are refused unread
constexpr int MIDI_ERROR_MAX = 1024;     // characters of an error text in the log
constexpr const char* SOUNDFONT_FOLDER = "/usr/share/sounds/sf2";
constexpr const char* SOUNDFONT_NAMES[] = {"TimGM6mb.sf2", "default-GM.sf2"};  // preferred first

struct SoundState {
    int open;                           // the mixer runs
    int ownsAudio;                      // SDL's audio subsystem was started here and is stopped here
    Mix_Chunk* effect;                  // the effect playing or last played, null for none
    std::vector<uint8_t> effectSource;  // the wave file it was converted from
    int hasSoundfont;                   // a soundfont was found; without one no tune is opened
    Mix_Music* music;                   // the open tune, null when none ("the device")
    std::vector<uint8_t> tune;          // the open tune's bytes, kept while the mixer may read them
    std::string path;                   // the tune to play again when it ends with repeat set
    int repeat;
    uint32_t endEvent;  // SDL event type of a tune's end, 0 until registered
};
SoundState g_sound;
std::atomic<int> g_generation{1};  // of the open tune; bumped by every stop

void SDLCALL music_finished() {
    // Audio thread (or inside a halt on the main thread): post, never touch the state.
    if (!g_sound.endEvent) return;
    SDL_Event e = {};
    e.type = g_sound.endEvent;
    e.user.code = 1;
    e.user.data1 = (void*)(intptr_t)g_generation.load();
    SDL_PushEvent(&e);
}

int is_regular_file(const char* path) {
    struct stat st;
    return stat(path, &st) == 0 && S_ISREG(st.st_mode);
}

// The soundfont list for the mixer: SDL_SOUNDFONTS when it names existing files, else the first
// preferred name in the sf2 folder, else any .sf2 file there. Empty when there is none.
std::string find_soundfonts() {
    if (const char* env = std::getenv("SDL_SOUNDFONTS"); env && env[0]) {
        std::string found, list = env;
        for (size_t at = 0; at <= list.size();) {
            size_t end = list.find(';', at);
            if (end == std::string::npos) end = list.size();
            std::string one = list.substr(at, end - at);
            if (!one.empty() && is_regular_file(one.c_str())) found += (found.empty() ? "" : ";") + one;
            at = end + 1;
        }
        return found;
    }
    for (const char* name : SOUNDFONT_NAMES) {
        std::string path = std::string(SOUNDFONT_FOLDER) + "/" + name;
        if (is_regular_file(path.c_str())) return path;
    }
    std::string found;
    if (DIR* dir = opendir(SOUNDFONT_FOLDER)) {
        while (dirent* d = readdir(dir)) {
            size_t n = std::strlen(d->d_name);
            std::string path = std::string(SOUNDFONT_FOLDER) + "/" + d->d_name;
            if (n > 4 && !strcasecmp(d->d_name + n - 4, ".sf2") && is_regular_file(path.c_str())) {
                found = path;
                break;
            }
        }
        closedir(dir);
    }
    return found;
}

void free_effect() {
    if (g_sound.effect) Mix_FreeChunk(g_sound.effect);
    g_sound.effect = nullptr;
    g_sound.effectSource.clear();
}

void log_failure(const char* what, const char* text) {
    io_log("%s: %.*s\n", what, MIDI_ERROR_MAX, text && text[0] ? text : "unknown error");
}

// Reads and checks a tune file; on failure the reason is in why.
int read_tune(const char* path, std::vector<uint8_t>* bytes, std::string* why) {
    struct stat st;
    if (!path || stat(path, &st) != 0) {
        *why = std::string("cannot open ") + (path ? path : "(none)") + ": " + std::strerror(errno);
        return 0;
    }
    if (!S_ISREG(st.st_mode) || st.st_size > MIDI_FILE_MAX) {
        *why = std::string(path) + ": not a MIDI file";
        return 0;
    }
    FILE* f = std::fopen(path, "rb");
    if (!f) {
        *why = std::string("cannot open ") + path + ": " + std::strerror(errno);
        return 0;
    }
    bytes->resize((size_t)st.st_size);
    size_t got = bytes->empty() ? 0 : std::fread(bytes->data(), 1, bytes->size(), f);
    std::fclose(f);
    bytes->resize(got);
    char reason[256];
    if (!midi_check(bytes->data(), bytes->size(), reason, sizeof reason)) {
        *why = std::string(path) + ": " + reason;
        return 0;
    }
    return 1;
}

// Opens a tune from checked bytes with the MIDI decoder; null with the reason in why.
Mix_Music* open_tune(const std::vector<uint8_t>& bytes, std::string* why) {
    if (!g_sound.open) {
        *why = "no audio device";
        return nullptr;
    }
    if (!g_sound.hasSoundfont) {
        *why = std::string("no General MIDI soundfont in ") + SOUNDFONT_FOLDER;
        return nullptr;
    }
    SDL_RWops* rw = SDL_RWFromConstMem(bytes.data(), (int)bytes.size());
    Mix_Music* music = rw ? Mix_LoadMUSType_RW(rw, MUS_MID, 1) : nullptr;
    if (!music) *why = Mix_GetError();
    return music;
}

}  // namespace

// MIDI file check -----------------------------------------------------------------------------

namespace {

// A cursor over untrusted bytes: reads past the end give zeros and set the overrun flag.
struct Cursor {
    const uint8_t* p;
    size_t left;
    int overrun;
    uint32_t u8() {
        if (!left) {
            overrun = 1;
            return 0;
        }
        left--;
        return *p++;
    }
    uint32_t be(int bytes) {
        uint32_t v = 0;
        while (bytes--)
            v = v << 8 | u8();
        return v;
    }
    // A variable-length quantity: at most four bytes of seven bits.
    int varlen(uint32_t* v) {
        *v = 0;
        for (int i = 0; i < 4; i++) {
            uint32_t b = u8();
            *v = *v << 7 | (b & 0x7F);
            if (!(b & 0x80)) return !overrun;
        }
        return 0;
    }
    int skip(uint32_t n) {
        if (n > left) return 0;
        p += n;
        left -= n;
        return 1;
    }
};

int fail(char* why, int why_size, const char* text) {
    if (why_size > 0) std::snprintf(why, why_size, "%s", text);
    return 0;
}

// The events of one track: delta times, running status, channel, system exclusive and meta
// events, each within the chunk.
int check_track(Cursor c, char* why, int why_size) {
    uint32_t status = 0;  // running status, 0 when none
    while (c.left) {
        uint32_t delta, length;
        if (!c.varlen(&delta)) return fail(why, why_size, "bad delta time");
        uint32_t b = c.u8();
        if (c.overrun) return fail(why, why_size, "event missing after its delta time");
        if (b == 0xFF) {  // meta event: type, length, data
            c.u8();
            if (!c.varlen(&length) || !c.skip(length))
                return fail(why, why_size, "meta event runs past its track");
            status = 0;
            continue;
        }
        if (b == 0xF0 || b == 0xF7) {  // system exclusive: length, data
            if (!c.varlen(&length) || !c.skip(length))
                return fail(why, why_size, "sysex runs past its track");
            status = 0;
            continue;
        }
        if (b >= 0xF0) return fail(why, why_size, "system message in a file");
        uint32_t first;
        if (b & 0x80) {
            status = b;
            first = c.u8();
        } else {
            if (!status) return fail(why, why_size, "data byte without a status");
            first = b;
        }
        const uint32_t kind = status & 0xF0;
        const uint32_t second = kind == 0xC0 || kind == 0xD0 ? 0 : c.u8();
        if (c.overrun) return fail(why, why_size, "channel event runs past its track");
        if ((first | second) & 0x80) return fail(why, why_size, "bad channel event data");
    }
    return 1;
}

}  // namespace

int midi_check(const void* data, size_t size, char* why, int why_size) {
    Cursor c = {(const uint8_t*)data, data ? size : 0, 0};
    if (c.be(4) != 0x4D546864) return fail(why, why_size, "no MThd header");  // "MThd"
    uint32_t head = c.be(4);
    const uint32_t format = c.be(2), tracks = c.be(2), division = c.be(2);
    if (c.overrun || head < 6 || !c.skip(head - 6)) return fail(why, why_size, "short header");
    if (format > 2 || tracks == 0 || division == 0) return fail(why, why_size, "bad header values");
    uint32_t found = 0;
    while (c.left >= 8) {
        uint32_t id = c.be(4), length = c.be(4);
        if (length > c.left) return fail(why, why_size, "chunk runs past the end of the file");
        if (id == 0x4D54726B) {  // "MTrk"
            if (!check_track(Cursor{c.p, length, 0}, why, why_size)) return 0;
            found++;
        }
        c.skip(length);
    }
    if (!found) return fail(why, why_size, "no track");
    return 1;
}

// Mixer ---------------------------------------------------------------------------------------

int io_sound_init() {
    if (g_sound.open) return 1;
    if (!SDL_WasInit(SDL_INIT_AUDIO)) {
        if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
            io_log("sound: no audio: %s\n", SDL_GetError());
            return 0;
        }
        g_sound.ownsAudio = 1;
    }
    if (!g_sound.endEvent) {
        uint32_t type = SDL_RegisterEvents(1);
        if (type != (uint32_t)-1) g_sound.endEvent = type;
        sys_set_event_taker(midi_take_event);
    }
    // Tunes go through FluidSynth only; the GUS-patch synthesizer would play them differently.
    SDL_setenv("SDL_MIXER_DISABLE_TIMIDITY", "1", 1);
    Mix_Init(MIX_INIT_MID);
    if (Mix_OpenAudio(MIX_RATE, AUDIO_S16SYS, 2, MIX_CHUNK) != 0) {
        io_log("sound: no audio device: %s\n", Mix_GetError());
        Mix_Quit();
        // The audio part stays up until the game ends: closing it waits for the audio driver's
        // device-watching thread, a tenth of a second that would be lost while the game starts.
        return 0;
    }
    g_sound.open = 1;
    Mix_AllocateChannels(1);
    std::string fonts = find_soundfonts();
    g_sound.hasSoundfont = !fonts.empty() && Mix_SetSoundFonts(fonts.c_str());
    if (!g_sound.hasSoundfont)
        io_log("sound: no General MIDI soundfont in %s; tunes stay silent\n", SOUNDFONT_FOLDER);
    if (!Mix_HasMusicDecoder("FLUIDSYNTH")) {
        io_log("sound: the mixer has no FluidSynth decoder; tunes stay silent\n");
        g_sound.hasSoundfont = 0;
    }
    Mix_HookMusicFinished(music_finished);
    return 1;
}

void io_sound_done() {
    if (!g_sound.open) {
        if (g_sound.ownsAudio) SDL_QuitSubSystem(SDL_INIT_AUDIO);
        g_sound.ownsAudio = 0;
        return;
    }
    io_sound_stop();
    free_effect();
    midi_stop();
    Mix_HookMusicFinished(nullptr);
    Mix_CloseAudio();
    Mix_Quit();
    if (g_sound.ownsAudio) SDL_QuitSubSystem(SDL_INIT_AUDIO);
    g_sound.open = 0;
    g_sound.ownsAudio = 0;
    g_sound.hasSoundfont = 0;
}

// Sound effects -------------------------------------------------------------------------------

int io_sound_play_memory(const void* data, size_t size) {
    if (!g_sound.open) return 0;
    Mix_HaltChannel(EFFECT_CHANNEL);
    const uint8_t* bytes = (const uint8_t*)data;
    // The same wave again (the join click, mostly) reuses its converted samples.
    const bool same = g_sound.effect && bytes && size == g_sound.effectSource.size() &&
                      std::memcmp(bytes, g_sound.effectSource.data(), size) == 0;
    if (!same) {
        free_effect();
        SDL_RWops* rw = bytes && size ? SDL_RWFromConstMem(bytes, (int)size) : nullptr;
        g_sound.effect = rw ? Mix_LoadWAV_RW(rw, 0) : nullptr;
        if (rw) SDL_RWclose(rw);  // closed here: the mixer leaks it on some refusals
        if (!g_sound.effect) return 0;
        g_sound.effectSource.assign(bytes, bytes + size);
    }
    return Mix_PlayChannel(EFFECT_CHANNEL, g_sound.effect, 0) >= 0;
}

void io_sound_stop() {
    if (g_sound.open) Mix_HaltChannel(EFFECT_CHANNEL);
}

// MIDI ----------------------------------------------------------------------------------------

int test_midi(const char* path) {
    midi_stop();
    std::vector<uint8_t> bytes;
    std::string why;
    if (!read_tune(path, &bytes, &why)) {
        log_failure("test_midi open", why.c_str());
        return 0;
    }
    // Well formed: a machine that cannot play tunes still accepts it for a box.
    if (!g_sound.open || !g_sound.hasSoundfont) return 1;
    Mix_Music* music = open_tune(bytes, &why);
    if (!music) {
        log_failure("test_midi open", why.c_str());
        return 0;
    }
    Mix_FreeMusic(music);
    return 1;
}

int play_midi(const char* path, int repeat) {
    std::string name = path ? path : "";  // path may be the remembered one, which stop keeps
    midi_stop();
    g_sound.path = name;
    g_sound.repeat = repeat;
    std::string why;
    if (!read_tune(name.c_str(), &g_sound.tune, &why) || !(g_sound.music = open_tune(g_sound.tune, &why))) {
        log_failure("play_midi open", why.c_str());
        g_sound.tune.clear();
        return 0;
    }
    if (Mix_PlayMusic(g_sound.music, 0) != 0) {
        log_failure("play_midi play", Mix_GetError());
        midi_stop();
        return 0;
    }
    return 1;
}

void midi_set_repeat(int repeat) { g_sound.repeat = repeat; }

void midi_stop() {
    if (!g_sound.music) return;
    Mix_HaltMusic();  // reports the end at once: the bump below makes that report stale
    g_generation++;
    Mix_FreeMusic(g_sound.music);
    g_sound.music = nullptr;
    g_sound.tune.clear();
}

int midi_playing() { return g_sound.music != nullptr; }

void midi_completion(int code) {
    if (!g_sound.music || code != 1) return;
    midi_stop();
    if (g_sound.repeat) play_midi(g_sound.path.c_str(), 1);
}

int midi_take_event(const SDL_Event& event) {
    if (!g_sound.endEvent || event.type != g_sound.endEvent) return 0;
    if ((intptr_t)event.user.data1 == g_generation.load()) midi_completion(event.user.code);
    return 1;
}
