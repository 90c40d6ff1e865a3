#include "Speech.h"

#include <dlfcn.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdlib>
#include <vector>

#include "ChildProcess.h"

namespace gpsnav {

namespace {

constexpr std::size_t kMaxQueued = 16;

// The few calls of the speech daemon's client library, loaded at run time so that gpsnav runs
// (and builds) where the library is missing.
struct SpeechDispatcher {
    using Open = void* (*)(const char*, const char*, const char*, int);
    using Say = int (*)(void*, int, const char*);
    using SetInt = int (*)(void*, int);
    using SetText = int (*)(void*, const char*);
    using Close = void (*)(void*);
    void* library = nullptr;
    void* connection = nullptr;
    Say say = nullptr;
    Close close = nullptr;

    bool Connect(int rate, const std::string& voice, const std::string& language) {
        library = dlopen("libspeechd.so.2", RTLD_NOW | RTLD_LOCAL);
        if (library == nullptr) return false;
        auto open = reinterpret_cast<Open>(dlsym(library, "spd_open"));
        say = reinterpret_cast<Say>(dlsym(library, "spd_say"));
        close = reinterpret_cast<Close>(dlsym(library, "spd_close"));
        auto setRate = reinterpret_cast<SetInt>(dlsym(library, "spd_set_voice_rate"));
        auto setVoice = reinterpret_cast<SetText>(dlsym(library, "spd_set_synthesis_voice"));
        auto setLanguage = reinterpret_cast<SetText>(dlsym(library, "spd_set_language"));
        if (open == nullptr || say == nullptr || close == nullptr) return false;
        connection = open("gpsnav", "main", nullptr, 0 /* SPD_MODE_SINGLE */);
        if (connection == nullptr) return false;
        if (setRate != nullptr) setRate(connection, rate);
        if (setLanguage != nullptr) setLanguage(connection, language.c_str());
        if (setVoice != nullptr && !voice.empty()) setVoice(connection, voice.c_str());
        return true;
    }
    ~SpeechDispatcher() {
        if (connection != nullptr) close(connection);
        // The library stays loaded: its own threads may outlive the connection briefly.
    }
};

bool ProgramOnPath(const char* name) {
    const char* path = std::getenv("PATH");
    std::string dirs = path != nullptr ? path : "/usr/bin:/bin";
    std::size_t start = 0;
    while (start <= dirs.size()) {
        std::size_t end = dirs.find(':', start);
        if (end == std::string::npos) end = dirs.size();
        std::string candidate = dirs.substr(start, end - start) + "/" + name;
        if (access(candidate.c_str(), X_OK) == 0) return true;
        start = end + 1;
    }
    return false;
}

// espeak-ng's voice for a language: its own names are lower case ("pt-br").
std::string EspeakVoice(const std::string& voice, const std::string& language) {
    if (!voice.empty() || language.empty() || language == "en") return voice;
    std::string name;
    for (char c : language)
        name.push_back(static_cast<char>(std::tolower(static_cast<unsigned char>(c))));
    return name;
}

// Runs espeak-ng on one line and waits for it.
void Espeak(const std::string& text, int wordsPerMinute, const std::string& voice,
            const std::string& waveFile) {
    std::vector<std::string> args = {"espeak-ng", "-s", std::to_string(wordsPerMinute)};
    if (!voice.empty()) args.insert(args.end(), {"-v", voice});
    if (!waveFile.empty()) args.insert(args.end(), {"-w", waveFile});
    args.insert(args.end(), {"--", text});
    RunProgram(std::move(args), true);
}

} // namespace

struct Speaker::Backend {
    std::unique_ptr<SpeechDispatcher> daemon;
};

Speaker::Speaker(Options options) : m_state(std::make_shared<State>()) {
    m_state->options = std::move(options);
    m_state->options.wordsPerMinute = std::clamp(m_state->options.wordsPerMinute, 80, 450);
    m_thread = std::thread([state = m_state] { Run(state); });
}

Speaker::~Speaker() {
    State& s = *m_state;
    {
        std::lock_guard<std::mutex> lock(s.mutex);
        s.stop = true;
        s.queue.clear();
    }
    s.changed.notify_all();
    // A hung engine must not hang the exit: wait a moment, then leave the thread behind.
    std::unique_lock<std::mutex> lock(s.mutex);
    if (s.changed.wait_for(lock, std::chrono::seconds(2), [&s] { return s.engine == "done"; })) {
        lock.unlock();
        m_thread.join();
    } else {
        lock.unlock();
        m_thread.detach();
    }
}

std::string Speaker::Engine() {
    State& s = *m_state;
    std::unique_lock<std::mutex> lock(s.mutex);
    s.changed.wait_for(lock, std::chrono::seconds(2), [&s] { return !s.engine.empty(); });
    return s.engine.empty() || s.engine == "done" ? "none" : s.engine;
}

void Speaker::Say(std::string text) {
    State& s = *m_state;
    {
        std::lock_guard<std::mutex> lock(s.mutex);
        if (s.stop || text.empty()) return;
        if (s.queue.size() >= kMaxQueued) s.queue.pop_front();
        s.queue.push_back(std::move(text));
    }
    s.changed.notify_all();
}

void Speaker::Hush() {
    State& s = *m_state;
    {
        std::lock_guard<std::mutex> lock(s.mutex);
        s.queue.clear();
    }
    s.changed.notify_all();
}

void Speaker::Drain(int timeoutMs) {
    State& s = *m_state;
    std::unique_lock<std::mutex> lock(s.mutex);
    s.changed.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                       [&s] { return s.queue.empty() && !s.busy; });
}

void Speaker::Run(const std::shared_ptr<State>& state) {
    State& s = *state;
    const Options& options = s.options; // Written before the thread started, read-only after.
    Backend backend;
    std::string engine = "none";
    const std::string& wanted = options.engine;
    if (wanted == "auto" || wanted == "speechd") {
        auto daemon = std::make_unique<SpeechDispatcher>();
        // The daemon's rate runs from -100 to 100 around its normal speed.
        const int rate = std::clamp((options.wordsPerMinute - 175) * 100 / 175, -100, 100);
        if (daemon->Connect(rate, options.voice, options.language)) {
            backend.daemon = std::move(daemon);
            engine = "speech-dispatcher";
        }
    }
    if (engine == "none" && (wanted == "auto" || wanted == "espeak-ng") &&
        ProgramOnPath("espeak-ng"))
        engine = "espeak-ng";
    {
        std::lock_guard<std::mutex> lock(s.mutex);
        s.engine = engine;
    }
    s.changed.notify_all();
    for (;;) {
        std::string text;
        {
            std::unique_lock<std::mutex> lock(s.mutex);
            s.busy = false;
            s.changed.notify_all();
            s.changed.wait(lock, [&s] { return s.stop || !s.queue.empty(); });
            if (s.stop) break;
            text = std::move(s.queue.front());
            s.queue.pop_front();
            s.busy = true;
        }
        if (backend.daemon)
            backend.daemon->say(backend.daemon->connection, 3 /* SPD_TEXT */, text.c_str());
        else if (engine == "espeak-ng")
            Espeak(text, options.wordsPerMinute, EspeakVoice(options.voice, options.language),
                   options.waveFile);
    }
    backend.daemon.reset();
    {
        std::lock_guard<std::mutex> lock(s.mutex);
        s.engine = "done";
        s.busy = false;
    }
    s.changed.notify_all();
}

} // namespace gpsnav
