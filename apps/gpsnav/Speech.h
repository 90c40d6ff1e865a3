// Speaking gpsnav's lines: through the speech daemon's C library when the daemon answers, else
// through the espeak-ng program, else not at all. Everything said goes through one thread, so a
// slow or hung speech engine never holds up the prompt: Say only queues the text.
#ifndef GPSNAV_SPEECH_H_
#define GPSNAV_SPEECH_H_

#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

namespace gpsnav {

class Speaker {
public:
    struct Options {
        // "auto" (daemon, else espeak-ng), "speechd", "espeak-ng" or "none".
        std::string engine = "auto";
        int wordsPerMinute = 175;
        std::string voice;
        // The language of what is said ("de", "pt-BR"): the daemon's language, and espeak-ng's
        // voice when no voice is given.
        std::string language = "en";
        // espeak-ng only: each line is written to this wave file instead of the sound device
        // (the last line said is what the file holds).
        std::string waveFile;
    };

    explicit Speaker(Options options);
    ~Speaker();
    Speaker(const Speaker&) = delete;
    Speaker& operator=(const Speaker&) = delete;

    // The engine chosen: "speech-dispatcher", "espeak-ng" or "none". Waits at most two seconds
    // for the choice (a daemon that does not answer by then counts as none).
    std::string Engine();
    // Queues `text`; never blocks. While the engine is busy the queue keeps the newest lines.
    void Say(std::string text);
    // Drops the lines not said yet (the line being said is finished).
    void Hush();
    // Waits until everything queued has been said, at most `timeoutMs` (for scripted runs).
    void Drain(int timeoutMs);

private:
    struct Backend;
    // What the speaking thread shares with the Speaker. The thread holds it too, so a thread
    // left behind by a hung engine never reads a Speaker that is gone.
    struct State {
        Options options;
        std::mutex mutex;
        std::condition_variable changed;
        std::deque<std::string> queue;
        std::string engine; // Empty until chosen.
        bool busy = false;
        bool stop = false;
    };
    static void Run(const std::shared_ptr<State>& state);

    std::shared_ptr<State> m_state;
    std::thread m_thread;
};

} // namespace gpsnav

#endif // GPSNAV_SPEECH_H_
