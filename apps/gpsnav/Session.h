// gpsnav's hold on the service: creates GPSCore by its ProgID (registering the modules found
// beside the program on first use), starts it, applies the options, receives its automatic
// events, and turns each command into service calls and the service's own texts. Setup.cpp
// starts and stops it; Session.cpp dispatches the commands and answers the orientation ones;
// PlaceCommands.cpp, RouteCommands.cpp and SettingsCommand.cpp answer the others.
#ifndef GPSNAV_SESSION_H_
#define GPSNAV_SESSION_H_

#include <gpslib/GPSLib.h>
#include <gpslib/support.h>

#include <atomic>
#include <chrono>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "Commands.h"

namespace gpsnav {

// One line to show: a command's answer or an event.
struct Line {
    std::string text;
};

struct Answer {
    enum class Status { kOk, kNotAvailable, kFailed, kUsage, kUnknown };
    Status status = Status::kOk;
    std::vector<std::string> texts;
    bool quit = false;
};
std::string_view StatusName(Answer::Status status);

struct Event {
    long time = 0; // Seconds into the walk.
    int type = 0;
    int urgency = 0;
    std::string text;
    double latitude = 0;
    double longitude = 0;
};
std::string_view EventTypeName(int type);
std::string_view UrgencyName(int urgency);

struct SessionOptions {
    std::string settingsDir; // With its trailing '/'.
    std::string mapsDir;     // "" keeps the saved one (or the sample town when none loads).
    std::string receiver;    // "" keeps the saved receiver.
    std::string at;          // "LAT,LON" or "".
    // Polls per second driven by gpsnav itself; 0 lets the service poll once a second.
    double speed = 0;
    // With `speed`: poll only while a `wait` runs (scripted runs, the same output every time).
    bool pollOnlyInWait = false;
    // The language the service speaks ("en", "de", ...; see <gpslib/language.h>), and whether
    // to remember it in the settings folder (it was chosen with --language).
    std::string language = "en";
    bool rememberLanguage = false;
};

// The language remembered in `settingsDir` (gpsnav.conf), or "" when none is.
std::string RememberedLanguage(const std::string& settingsDir);

class EventSink;

class Session {
public:
    Session();
    ~Session();
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    // Creates and starts the service; `texts` receives the start lines. False with `error` set
    // when the service cannot be created.
    bool Open(const SessionOptions& options, std::vector<std::string>* texts, std::string* error);
    // Stops the service (saving the settings); safe to call twice.
    void Close();

    Answer Run(const std::vector<std::string>& words);

    // Events that arrived since the last call, oldest first.
    std::vector<Event> TakeEvents();
    // A descriptor that becomes readable when events are waiting.
    int EventFd() const;
    long WalkSeconds() const;
    // Called while a `wait` runs, after each poll or every moment, to show the events so far.
    void SetEventPump(std::function<void()> pump) { m_pump = std::move(pump); }

    // Set from a signal handler: a running command stops at its next step.
    static std::atomic<bool> s_interrupted;

private:
    Answer Where(const std::vector<std::string>& args);
    Answer Intersection(bool ahead);
    Answer Status();
    Answer Heading();
    Answer Around(const std::vector<std::string>& args);
    Answer Find(const std::vector<std::string>& args);
    Answer Dest(const std::vector<std::string>& args);
    Answer Route(const std::vector<std::string>& args);
    Answer Follow();
    Answer Explore(const std::vector<std::string>& args);
    Answer Fav(const std::vector<std::string>& args);
    Answer History();
    Answer Note(const std::vector<std::string>& args);
    Answer Address(const std::vector<std::string>& args);
    Answer Record(const std::vector<std::string>& args);
    Answer Replay(const std::vector<std::string>& args);
    Answer Settings(const std::vector<std::string>& args);
    Answer ModeCommand(const std::vector<std::string>& args);
    Answer Wait(const std::vector<std::string>& args);

    Mode CurrentMode();
    bool UseReceiver(const std::string& receiver, std::string* text);
    void PollOnce();
    // The time between two polls of a walk replayed at `speed` polls a second.
    std::chrono::steady_clock::duration PollPeriod() const;
    gpslib::ComPtr<ILocationObject> NewLocation(double latitude, double longitude);
    gpslib::ComPtr<ILocationObject> Here();
    Answer PoiResults(long found, HRESULT hr);

    gpslib::ComPtr<IGPSCore> m_core;
    EventSink* m_sink = nullptr;
    SessionOptions m_options;
    bool m_started = false;
    std::chrono::steady_clock::time_point m_startTime;
    std::atomic<long> m_polls{0};
    std::atomic<bool> m_stopPolling{false};
    std::thread m_pollThread;
    std::mutex m_pollMutex; // One poll at a time from gpsnav's own threads.
    long m_foundPois = 0;
    std::function<void()> m_pump;
    gpslib::ComPtr<IAddressSearchConfigurationObject> m_addressSearch;
    gpslib::ComPtr<IAddressObject> m_address;
    std::string m_addressMap;
    std::string m_followAnswer; // What `follow` answered, until its event comes.
};

} // namespace gpsnav

#endif // GPSNAV_SESSION_H_
