// gpsnav's hold on the service: creates GPSCore by its ProgID (registering the modules found
// beside the program on first use), starts it, applies the options, receives its automatic
// events, and turns each command into service calls and the service's own texts. Setup.cpp
// starts and stops it; Session.cpp dispatches the commands and answers the orientation ones;
// Lists.cpp keeps the list last heard (more, list, again, pick); PoiCommands.cpp,
// PlaceCommands.cpp, AddressCommand.cpp, RouteCommands.cpp, RouteFileCommands.cpp and
// SettingsCommand.cpp answer the others.
#ifndef GPSNAV_SESSION_H_
#define GPSNAV_SESSION_H_

#include <gpslib/GPSLib.h>
#include <gpslib/support.h>

#include <atomic>
#include <chrono>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
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
// gpsnav's own remembered choices ("language", "crossings"), one "name=value" a line in
// gpsnav.conf beside the service's settings; empty when none.
std::string RememberedChoice(const std::string& settingsDir, const std::string& name);
void RememberChoice(const std::string& settingsDir, const std::string& name,
                    const std::string& value);

class EventSink;

// What the entries of a list are, and so what choosing one of them does.
enum class ListKind {
    kNone,
    kPois,       // find, around: the service's found list.
    kFavorites,  // fav
    kHistory,    // history
    kNotes,      // note
    kPlaces,     // places: the user's own POIs.
    kCities,     // address city
    kStreets,    // address street
    kAddresses,  // address number
    kDirections, // route directions: the waypoints, by their index in the route.
    kCrossings,  // crossings: those of the nearest intersection, nearest first.
};

// The list last heard: its entries as said, how many have been said, and for each entry the
// service's index of the thing it names.
struct Listing {
    ListKind kind = ListKind::kNone;
    std::vector<std::string> entries;
    std::vector<long> ids;
    bool numbered = true;
    std::size_t said = 0;
};

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

    // Runs one command; `again` repeats the answer of the command before it.
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
    Answer Dispatch(const Command& command, const std::vector<std::string>& args);
    Answer Where(const std::vector<std::string>& args);
    Answer Intersection(bool ahead);
    // The crossings (CrossingCommands.cpp): the walker's interface of the service, the
    // crossings of the nearest intersection as a list, the sentence the corner answers add when
    // the crossings setting is on, and that setting.
    gpslib::ComPtr<IGPSPedestrian> Walker() const;
    Answer Crossings();
    // The crossings of the nearest corner (`nearest`), or of `corner`.
    std::vector<gpslib::ComPtr<ICrossingObject>> CrossingsOfCorner(IIntersectionObject* corner,
                                                                   bool nearest);
    std::string CrossingsSentence(IIntersectionObject* corner, bool nearest);
    Answer CrossingsSetting(const std::string& value);
    // The crossings the active route goes over, in its order: metres along it, and the
    // sentence that tells each.
    std::vector<std::pair<double, std::string>> RouteCrossings();
    Units UserUnits() const;
    bool CrossingsOn() const;
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
    Answer Mark(const std::vector<std::string>& args);
    Answer Places();
    Answer RenamePlace(const std::vector<std::string>& args);
    Answer DeletePlace(const std::vector<std::string>& args);
    Answer ChangePlace(ListKind kind, const std::string& which, const std::string* name,
                       const char* command);
    Answer Address(const std::vector<std::string>& args);
    Answer AddressPick(ListKind kind, std::size_t index);
    Answer Record(const std::vector<std::string>& args);
    Answer Replay(const std::vector<std::string>& args);
    Answer Settings(const std::vector<std::string>& args);
    Answer ModeCommand(const std::vector<std::string>& args);
    Answer Wait(const std::vector<std::string>& args);
    // Route subcommands (RouteCommands.cpp, RouteFileCommands.cpp).
    Answer RouteGo(const std::string& where);
    Answer RouteStatus();
    Answer RouteReverse();
    Answer RouteRecalc();
    Answer RouteSave(const std::vector<std::string>& args);
    Answer RouteLoad(const std::vector<std::string>& args);
    Answer RouteDirections(const std::vector<std::string>& args);
    Answer RouteFrom(const std::vector<std::string>& args);
    gpslib::ComPtr<IRouteObject> ActiveRoute();
    Answer Planned(const std::string& what);

    // Lists (Lists.cpp). Shows the entries (numbered unless `numbered` is false) from the first,
    // a page at a time, and keeps them for more, list and pick; `ids` default to the positions.
    Answer ShowList(ListKind kind, std::vector<std::string> entries, std::string empty,
                    std::vector<long> ids = {}, bool numbered = true);
    Answer NextPage();
    Answer More();
    Answer ListAgain();
    Answer Pick(const std::vector<std::string>& args);
    // The entries of `kind` as the service holds them now (the list a number or name in a
    // command refers to), with their ids.
    Listing Entries(ListKind kind);
    // The entry of `list` that `words` name (a number or a name; nothing when the list holds
    // one entry): its id, or an answer saying why none is chosen (several names: the narrower
    // list, which becomes the list last heard).
    std::optional<long> Choose(const Listing& list, const std::vector<std::string>& words,
                               Answer* why);
    Answer DestWhere();
    Answer DestTo(ListKind kind, long id);
    Mode CurrentMode();
    bool UseReceiver(const std::string& receiver, std::string* text);
    void PollOnce();
    // The time between two polls of a walk replayed at `speed` polls a second.
    std::chrono::steady_clock::duration PollPeriod() const;
    gpslib::ComPtr<ILocationObject> NewLocation(double latitude, double longitude);
    gpslib::ComPtr<ILocationObject> Here();
    Answer PoiResults(const char* command, long found, HRESULT hr);
    // The categories by a name or a word of it: number and subcategory (-1: all of it).
    std::optional<std::pair<SHORT, SHORT>> CategoryNamed(const std::string& wanted, Answer* why);
    // The trace to play or make a route from: a trace file itself, a GPX track turned into a
    // trace named `name` in the settings folder by gpxtrace; "" with `why` (which says what
    // the track was for: `use`) when there is none.
    std::string TraceOf(const std::string& file, const std::string& name, const std::string& use,
                        std::string* why);

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
    long m_addressCity = -1;   // The city chosen, by its index in the city list.
    long m_addressStreet = -1; // The street chosen, by its index in the street list.
    Listing m_listing;
    Answer m_lastAnswer;
    std::string m_recording;    // The trace being recorded into, "" when none.
    std::string m_followAnswer; // What `follow` answered, until its event comes.
};

} // namespace gpsnav

#endif // GPSNAV_SESSION_H_
