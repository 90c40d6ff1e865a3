#include "Session.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>

#include <gpslib/registry.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <utility>

#include "Text.h"

extern char** environ;

namespace gpsnav {

using gpslib::Bstr;
using gpslib::ComPtr;

std::atomic<bool> Session::s_interrupted{false};

namespace {

constexpr std::size_t kMaxListed = 5; // Lines of a list said at once.

std::string Utf8(const Bstr& text) {
    return text.Utf8();
}

Answer Texts(std::vector<std::string> texts) {
    Answer a;
    for (std::string& t : texts)
        if (!t.empty()) a.texts.push_back(std::move(t));
    return a;
}

Answer Usage(std::string_view name) {
    Answer a;
    a.status = Answer::Status::kUsage;
    const Command* c = FindCommand(name);
    a.texts.push_back("usage: " + std::string(name) + " " + std::string(c ? c->usage : ""));
    return a;
}

// The answer to a call that did not succeed: E_NOTIMPL means the service does not do it yet.
Answer Failure(std::string_view what, HRESULT hr) {
    Answer a;
    char code[16];
    std::snprintf(code, sizeof code, "0x%08X", static_cast<unsigned>(hr));
    if (hr == E_NOTIMPL) {
        a.status = Answer::Status::kNotAvailable;
        a.texts.push_back(std::string(what) +
                          ": not available yet in this version of the service.");
    } else {
        a.status = Answer::Status::kFailed;
        a.texts.push_back(std::string(what) + ": the service answered " + code + ".");
    }
    return a;
}

Answer Fact(std::string text, Answer::Status status = Answer::Status::kOk) {
    Answer a;
    a.status = status;
    a.texts.push_back(std::move(text));
    return a;
}

template <class T> ComPtr<T> Create(const CLSID& clsid, const IID& iid) {
    ComPtr<T> object;
    gpslib::CreateObject(clsid, iid, &object);
    return object;
}

// Strings (or objects naming themselves through GetName-like calls) of a returned list.
std::vector<std::string> StringsOf(VARIANT* list) {
    std::vector<std::u16string> items;
    std::vector<std::string> out;
    if (SUCCEEDED(gpslib::ReadStringList(list, &items)))
        for (const auto& item : items)
            out.push_back(gpslib::ToUtf8(item));
    return out;
}

// The folder of the running program.
std::string ModuleDir() {
    std::error_code ec;
    return std::filesystem::read_symlink("/proc/self/exe", ec).parent_path().string();
}

// The service modules to register when GPSCore cannot be created: those installed beside the
// program, else those of the build tree it was built in.
std::vector<std::string> ModuleCandidates() {
    const std::string here = ModuleDir();
    const std::vector<std::vector<std::string>> sets = {
        {here + "/../lib/gpslib/libgpscore.so", here + "/../lib/gpslib/libgpsmap.so",
         here + "/../lib/gpslib/libgpsdb.so"},
        {GPSNAV_BUILD_CORE, GPSNAV_BUILD_MAP, GPSNAV_BUILD_DB},
    };
    for (const auto& set : sets)
        if (std::all_of(set.begin(), set.end(),
                        [](const std::string& p) { return std::filesystem::exists(p); }))
            return set;
    return {};
}

bool RegisterModule(const std::string& path) {
    void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) return false;
    auto entry = reinterpret_cast<PFN_DllRegisterServer>(dlsym(handle, "DllRegisterServer"));
    return entry != nullptr && SUCCEEDED(entry());
}

HRESULT CreateCore(ComPtr<IGPSCore>* core) {
    CLSID clsid;
    HRESULT hr = CLSIDFromProgID(u"GPS.GPSCore", &clsid);
    if (FAILED(hr)) return hr;
    return CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IGPSCore, core->PutVoid());
}

std::string SampleMapDir() {
    const std::string here = ModuleDir();
    for (const std::string& dir : {here + "/../share/gpslib/maps", std::string(GPSNAV_SAMPLE_MAPS)})
        if (std::filesystem::exists(dir + "/Sampleton.rmf")) return dir;
    return "";
}

// The service reads its words from the string module in the settings folder: a new folder gets
// the one installed with the service (or the build tree's).
void CopyStringModule(const std::string& settingsDir) {
    constexpr char kName[] = "GPSResources_EN.dll";
    std::error_code ec;
    if (std::filesystem::exists(settingsDir + kName, ec)) return;
    for (const std::string& from :
         {ModuleDir() + "/../share/gpslib/" + kName, std::string(GPSNAV_BUILD_RESOURCES)})
        if (std::filesystem::copy_file(from, settingsDir + kName, ec)) return;
}

// Runs a program with its arguments (no shell) and waits for it; true when it succeeded.
bool RunProgram(std::vector<std::string> args) {
    std::vector<char*> argv;
    for (std::string& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    // Its own messages stay off gpsnav's answers.
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    pid_t pid = -1;
    const int spawned = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) return false;
    int status = 0;
    while (waitpid(pid, &status, 0) < 0)
        if (errno != EINTR) return false;
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

bool EndsWith(std::string_view text, std::string_view tail) {
    return text.size() >= tail.size() &&
           Lower(text.substr(text.size() - tail.size())) == Lower(tail);
}

} // namespace

std::string_view StatusName(Answer::Status status) {
    switch (status) {
    case Answer::Status::kOk:
        return "ok";
    case Answer::Status::kNotAvailable:
        return "not-available";
    case Answer::Status::kFailed:
        return "failed";
    case Answer::Status::kUsage:
        return "usage";
    case Answer::Status::kUnknown:
        return "unknown";
    }
    return "failed";
}

// The type library's name without its prefix: "RouteStartFollowing".
std::string_view EventTypeName(int type) {
    const char* name = NameOf(static_cast<EventType>(type));
    return name != nullptr ? std::string_view(name).substr(5) : "Unknown";
}

// The JSON output's lower-case words for UrgencyLow to UrgencyCritical.
std::string_view UrgencyName(int urgency) {
    static constexpr std::string_view kNames[] = {"low", "normal", "high", "critical"};
    return urgency >= UrgencyLow && urgency <= UrgencyCritical ? kNames[urgency] : "low";
}

// The client's sink: copies what each event says into a queue and wakes the main loop through
// a pipe. It runs on the service's polling thread with the service's lock held, so it only
// reads the event and never waits for anything else.
class EventSink final : public IGPSAutoEventSink {
public:
    explicit EventSink(std::function<long()> clock) : m_clock(std::move(clock)) {
        if (pipe2(m_pipe, O_CLOEXEC | O_NONBLOCK) != 0) m_pipe[0] = m_pipe[1] = -1;
    }
    HRESULT QueryInterface(REFIID riid, void** ppv) override {
        if (ppv == nullptr) return E_POINTER;
        if (riid == IID_IUnknown || riid == IID_IDispatch || riid == IID_IGPSAutoEventSink) {
            *ppv = static_cast<IGPSAutoEventSink*>(this);
            AddRef();
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    ULONG AddRef() override { return ++m_refs; }
    ULONG Release() override {
        const ULONG left = --m_refs;
        if (left == 0) delete this;
        return left;
    }
    HRESULT GetTypeInfoCount(UINT* count) override {
        if (count == nullptr) return E_POINTER;
        *count = 0;
        return S_OK;
    }
    HRESULT GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    HRESULT Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override {
        return E_NOTIMPL;
    }
    HRESULT OnAutomaticEvent(IAutomaticEventObject* event) override {
        if (event == nullptr) return E_POINTER;
        Event e;
        e.time = m_clock();
        EventType type = EventUnknown;
        UrgencyLevel urgency = UrgencyLow;
        Bstr text;
        event->GetEventType(&type);
        event->GetUrgencyLevel(&urgency);
        event->GetDescription(text.Put());
        ComPtr<ILocationObject> location;
        if (SUCCEEDED(event->GetLocation(location.Put())) && location) {
            location->GetLatitude(&e.latitude);
            location->GetLongitude(&e.longitude);
        }
        e.type = type;
        e.urgency = urgency;
        e.text = text.Utf8();
        event->Release(); // The reference the service handed over.
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_events.push_back(std::move(e));
        }
        if (m_pipe[1] >= 0) [[maybe_unused]]
            auto n = write(m_pipe[1], "e", 1);
        return S_OK;
    }
    std::vector<Event> Take() {
        char drain[64];
        while (m_pipe[0] >= 0 && read(m_pipe[0], drain, sizeof drain) > 0) {
        }
        std::lock_guard<std::mutex> lock(m_mutex);
        std::vector<Event> out(m_events.begin(), m_events.end());
        m_events.clear();
        return out;
    }
    int Fd() const { return m_pipe[0]; }

private:
    ~EventSink() {
        for (int fd : m_pipe)
            if (fd >= 0) close(fd);
    }
    std::atomic<ULONG> m_refs{1};
    std::function<long()> m_clock;
    std::mutex m_mutex;
    std::deque<Event> m_events;
    int m_pipe[2] = {-1, -1};
};

Session::Session() = default;

Session::~Session() {
    Close();
    if (m_sink != nullptr) m_sink->Release();
}

bool Session::Open(const SessionOptions& options, std::vector<std::string>* texts,
                   std::string* error) {
    m_options = options;
    CoInitializeEx(nullptr, 0);
    HRESULT hr = CreateCore(&m_core);
    if (FAILED(hr) || !m_core) {
        // First use: register the modules found beside the program and try once more.
        const std::vector<std::string> modules = ModuleCandidates();
        bool registered = !modules.empty();
        for (const std::string& m : modules)
            registered = RegisterModule(m) && registered;
        if (registered) {
            texts->push_back("Registered the service modules in " + gpslib::RegistryPath() + ".");
            hr = CreateCore(&m_core);
        }
    }
    if (FAILED(hr) || !m_core) {
        char code[16];
        std::snprintf(code, sizeof code, "0x%08X", static_cast<unsigned>(hr));
        *error = std::string("cannot create the service GPS.GPSCore (") + code +
                 "); register it with gpsreg";
        return false;
    }
    m_startTime = std::chrono::steady_clock::now();
    m_sink = new EventSink([this] { return WalkSeconds(); });

    std::filesystem::create_directories(m_options.settingsDir);
    CopyStringModule(m_options.settingsDir);
    Bstr result;
    m_core->Start(Bstr(m_options.settingsDir).Get(), nullptr, result.Put());
    m_started = true;
    std::string outcome = result.Utf8();
    Bstr version;
    if (SUCCEEDED(m_core->SystemGetVersion(version.Put())) && version.Length() > 0)
        texts->push_back(version.Utf8());

    std::string maps = m_options.mapsDir;
    SHORT loaded = 0;
    m_core->GetNumberOfMapsLoaded(&loaded);
    if (maps.empty() && loaded == 0) maps = SampleMapDir();
    if (!maps.empty()) {
        ComPtr<ISystemSettingsObject> settings;
        if (SUCCEEDED(m_core->SystemGetSettings(settings.Put())) && settings) {
            settings->SetMapPOIDirectory(Bstr(maps).Get());
            m_core->SystemSetSettings(settings.Get());
            m_core->SystemMapsPOIsLoad(&loaded);
        }
        outcome = loaded > 0 ? "OK" : "No map found in " + maps + ".";
    }
    if (!outcome.empty()) texts->push_back(outcome == "OK" ? "Service started." : outcome);
    if (loaded > 0)
        texts->push_back(std::to_string(loaded) + (loaded == 1 ? " map" : " maps") + " loaded.");

    m_core->RegisterUIAutoEventCallback(m_sink);
    if (!m_options.receiver.empty()) {
        std::string text;
        UseReceiver(m_options.receiver, &text);
        texts->push_back(text);
    }
    if (!m_options.at.empty()) {
        auto at = ParseLatLon(m_options.at);
        if (!at) {
            *error = "--at wants LAT,LON in decimal degrees, for example 45.002,10.0015";
            return false;
        }
        ComPtr<ILocationObject> location = NewLocation(at->latitude, at->longitude);
        hr = m_core->VirtualSet(location.Get(), 0);
        if (SUCCEEDED(hr)) {
            m_core->SystemSetCurrentMode(VirtualMode);
            texts->push_back("Virtual position set.");
        } else {
            // Until virtual exploration answers, the receiver is placed there instead.
            m_core->GPSForceLocation(location.Get(), 0);
            texts->push_back("Virtual exploration is not available yet; the receiver is placed "
                             "at the position instead.");
        }
    }
    if (m_options.speed <= 0) {
        m_core->GPSTurnOnAutomaticPolling();
    } else if (!m_options.pollOnlyInWait) {
        m_pollThread = std::thread([this] {
            // On a fixed schedule: the time a poll takes does not slow the walk down.
            const auto period = std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                std::chrono::duration<double>(1.0 / m_options.speed));
            auto next = std::chrono::steady_clock::now();
            while (!m_stopPolling) {
                next += period;
                std::this_thread::sleep_until(next);
                if (!m_stopPolling) PollOnce();
            }
        });
    }
    return true;
}

void Session::Close() {
    m_stopPolling = true;
    if (m_pollThread.joinable()) m_pollThread.join();
    if (m_core && m_started) {
        m_core->GPSTurnOffAutomaticPolling();
        m_core->Stop();
        m_started = false;
    }
}

std::vector<Event> Session::TakeEvents() {
    std::vector<Event> events = m_sink ? m_sink->Take() : std::vector<Event>{};
    // `follow` already said how the route starts; the event that repeats it on the first poll
    // is not said again.
    if (!m_followAnswer.empty())
        for (auto it = events.begin(); it != events.end(); ++it)
            if (it->type == EventRouteStartFollowing && it->text == m_followAnswer) {
                events.erase(it);
                m_followAnswer.clear();
                break;
            }
    return events;
}
int Session::EventFd() const {
    return m_sink ? m_sink->Fd() : -1;
}

long Session::WalkSeconds() const {
    if (m_options.speed > 0) return m_polls.load();
    return static_cast<long>(std::chrono::duration_cast<std::chrono::seconds>(
                                 std::chrono::steady_clock::now() - m_startTime)
                                 .count());
}

void Session::PollOnce() {
    std::lock_guard<std::mutex> lock(m_pollMutex);
    ++m_polls;
    VARIANT_BOOL read = VARIANT_FALSE;
    m_core->GPSForcePoll(&read);
}

Mode Session::CurrentMode() {
    Mode mode = GPSMode;
    m_core->SystemGetCurrentMode(&mode);
    return mode;
}

ComPtr<ILocationObject> Session::NewLocation(double latitude, double longitude) {
    auto location = Create<ILocationObject>(CLSID_LocationObject, IID_ILocationObject);
    if (location) {
        location->SetLatitude(latitude);
        location->SetLongitude(longitude);
    }
    return location;
}

ComPtr<ILocationObject> Session::Here() {
    ComPtr<ILocationObject> here;
    m_core->GetLocation(CurrentMode(), here.Put());
    return here;
}

bool Session::UseReceiver(const std::string& receiver, std::string* text) {
    ComPtr<IGPSSettingsObject> settings;
    if (FAILED(m_core->GPSGetSettings(settings.Put())) || !settings) {
        *text = "The receiver settings cannot be read.";
        return false;
    }
    std::string file = receiver;
    if (receiver == "none") {
        settings->SetGPSReceiverType(GPSTypeNone);
    } else if (receiver.starts_with("gpsd://") || receiver == "gpsd") {
        // gpsd://HOST:PORT: the port number is the service's port number.
        std::string rest = receiver == "gpsd" ? "" : receiver.substr(7);
        std::string host = rest, port = "2947";
        if (auto colon = rest.rfind(':'); colon != std::string::npos) {
            host = rest.substr(0, colon);
            port = rest.substr(colon + 1);
        }
        if (host.empty()) host = "localhost";
        auto number = ParseNumber(port, 1, 65535);
        if (!number) {
            *text = "A gpsd port is a number from 1 to 65535: " + receiver;
            return false;
        }
        // The service names the device "<port name><port number>:". A port above the settings'
        // largest number (32767) keeps all but its last digit in the name: gpsd://HOST:4000 and
        // 0 make gpsd://HOST:40000.
        std::string name = "gpsd://" + host + ":";
        if (*number > 32767) {
            name += std::to_string(*number / 10);
            *number %= 10;
        }
        settings->SetGPSReceiverType(GPSTypeSerial);
        settings->SetGPSPortName(Bstr(name).Get());
        settings->SetGPSPortNumber(static_cast<SHORT>(*number));
    } else if (receiver.starts_with("/dev/")) {
        // A device: its name without the trailing number is the port name, the number its port.
        std::size_t digits = receiver.size();
        while (digits > 0 && std::isdigit(static_cast<unsigned char>(receiver[digits - 1])))
            --digits;
        auto number = ParseNumber(receiver.substr(digits), 0, 32767);
        if (!number) {
            *text = "A receiver device ends in its number, for example /dev/ttyUSB0: " + receiver;
            return false;
        }
        settings->SetGPSReceiverType(GPSTypeSerial);
        settings->SetGPSPortName(Bstr(receiver.substr(0, digits)).Get());
        settings->SetGPSPortNumber(static_cast<SHORT>(*number));
    } else {
        std::error_code ec;
        if (!std::filesystem::is_regular_file(receiver, ec)) {
            *text = "No such receiver, trace or GPX file: " + receiver;
            return false;
        }
        if (EndsWith(receiver, ".gpx")) {
            // A GPX track is turned into a trace by gpxtrace, when it is installed.
            file = m_options.settingsDir + "replay.trc";
            const std::string tool =
                std::filesystem::path(ModuleDir()).parent_path().string() + "/gpxtrace/gpxtrace";
            std::string command;
            for (const std::string& candidate : {ModuleDir() + "/gpxtrace", tool})
                if (access(candidate.c_str(), X_OK) == 0) command = candidate;
            if (command.empty()) command = "gpxtrace"; // Looked for on the PATH.
            if (!RunProgram({command, receiver, file})) {
                *text = "Replaying a GPX track needs gpxtrace, which is not installed yet or "
                        "could not read " +
                        receiver + ".";
                return false;
            }
        }
        settings->SetGPSReceiverType(GPSTypeSimulated);
        settings->SetSimulatedGPSFile(Bstr(std::filesystem::absolute(file).string()).Get());
    }
    VARIANT_BOOL opened = VARIANT_FALSE;
    HRESULT hr = m_core->GPSSetSettings(settings.Get(), &opened);
    const bool ok = SUCCEEDED(hr) && opened != VARIANT_FALSE;
    *text = ok ? "Receiver: " + receiver : "The receiver could not be opened: " + receiver;
    return ok;
}

Answer Session::Run(const std::vector<std::string>& words) {
    if (words.empty()) return {};
    const Command* command = FindCommand(words[0]);
    if (command == nullptr) {
        Answer a;
        a.status = Answer::Status::kUnknown;
        const std::string nearest = Nearest(words[0], CommandNames());
        a.texts.push_back(
            "Unknown command " + words[0] + "." +
            (nearest.empty() ? " Type help for the commands." : " Did you mean " + nearest + "?"));
        return a;
    }
    const std::vector<std::string> args(words.begin() + 1, words.end());
    switch (command->id) {
    case CommandId::kWhere:
        return Where(args);
    case CommandId::kCorner:
        return Intersection(false);
    case CommandId::kAhead:
        return Intersection(true);
    case CommandId::kStatus:
        return Status();
    case CommandId::kHeading:
        return Heading();
    case CommandId::kAround:
        return Around(args);
    case CommandId::kFind:
        return Find(args);
    case CommandId::kDest:
        return Dest(args);
    case CommandId::kRoute:
        return Route(args);
    case CommandId::kFollow:
        return Follow();
    case CommandId::kExplore:
        return Explore(args);
    case CommandId::kFav:
        return Fav(args);
    case CommandId::kHistory:
        return History();
    case CommandId::kNote:
        return Note(args);
    case CommandId::kAddress:
        return Address(args);
    case CommandId::kRecord:
        return Record(args);
    case CommandId::kReplay:
        return Replay(args);
    case CommandId::kSettings:
        return Settings(args);
    case CommandId::kMode:
        return ModeCommand(args);
    case CommandId::kWait:
        return Wait(args);
    case CommandId::kEcho: {
        std::string text;
        for (const std::string& a : args)
            text += (text.empty() ? "" : " ") + a;
        return Texts({text});
    }
    case CommandId::kHelp: {
        Answer a;
        if (!args.empty()) {
            const Command* c = FindCommand(args[0]);
            if (c == nullptr) return Run({args[0]});
            std::string names(c->name);
            if (!c->shortName.empty()) names += " (" + std::string(c->shortName) + ")";
            a.texts.push_back(names + (c->usage.empty() ? "" : " " + std::string(c->usage)) + ": " +
                              std::string(c->help));
            return a;
        }
        std::string list;
        for (const Command& c : Commands())
            list += (list.empty() ? "" : ", ") + std::string(c.name);
        a.texts.push_back("Commands: " + list + ". Type help and a command for more.");
        return a;
    }
    case CommandId::kQuit: {
        Answer a;
        a.quit = true;
        return a;
    }
    }
    return {};
}

Answer Session::Where(const std::vector<std::string>& args) {
    ComPtr<IWhereAmIObject> where;
    HRESULT hr;
    if (!args.empty()) {
        auto at = ParseLatLon(args[0]);
        if (!at) return Usage("where");
        hr = m_core->WhereAmIAtLocation(NewLocation(at->latitude, at->longitude).Get(), -1,
                                        where.Put());
    } else {
        hr = m_core->WhereAmI(CurrentMode(), where.Put());
    }
    if (FAILED(hr) || !where) return Failure("where", hr);
    Bstr text;
    where->GetDescription(text.Put());
    // The service answers a known position the maps say nothing about with an empty text.
    if (text.Length() == 0) return Texts({"No street nearby on the loaded maps."});
    return Texts({Utf8(text)});
}

Answer Session::Intersection(bool ahead) {
    ComPtr<IIntersectionObject> corner;
    HRESULT hr = ahead ? m_core->GetNextIntersectionAhead(CurrentMode(), corner.Put())
                       : m_core->GetNearestIntersection(CurrentMode(), corner.Put());
    if (FAILED(hr) || !corner) return Failure(ahead ? "ahead" : "corner", hr);
    Bstr text;
    corner->GetIntersectionDescription(text.Put());
    return Texts({Utf8(text)});
}

Answer Session::Status() {
    ComPtr<IGPSStatusObject> status;
    HRESULT hr = m_core->GPSGetStatus(status.Put());
    if (FAILED(hr) || !status) return Failure("status", hr);
    Bstr accuracy;
    status->GetEstimatedAccuracyDescription(accuracy.Put());
    return Texts({Utf8(accuracy)});
}

Answer Session::Heading() {
    Bstr heading;
    HRESULT hr = m_core->GetHeading(CurrentMode(), Compass, heading.Put());
    if (FAILED(hr)) return Failure("heading", hr);
    return Texts({Utf8(heading)});
}

Answer Session::PoiResults(long found, HRESULT hr) {
    if (FAILED(hr)) return Failure("around", hr);
    m_foundPois = found;
    auto config = Create<IPOIDescriptionConfigurationObject>(
        CLSID_POIDescriptionConfigurationObject, IID_IPOIDescriptionConfigurationObject);
    // The spoken form: distance, direction and side, leaving out what the search already says.
    if (config) config->SetDescriptionDynamic(VARIANT_TRUE);
    gpslib::Variant list;
    LONG count = 0;
    hr = m_core->POIGetLastSearchDescriptions(CurrentMode(), config.Get(), &list, &count);
    if (FAILED(hr)) return Failure("around", hr);
    std::vector<std::string> texts = StringsOf(&list);
    if (texts.size() > kMaxListed) texts.resize(kMaxListed);
    for (std::size_t i = 0; i < texts.size(); ++i)
        texts[i] = std::to_string(i + 1) + ". " + texts[i];
    if (texts.empty()) {
        Bstr distance;
        m_core->POIGetLastSearchDistanceDescription(distance.Put());
        texts.push_back(distance.Utf8());
    }
    return Texts(std::move(texts));
}

namespace {

// Whether a word of `name` starts with `wanted` ("shop" finds "Shopping", "drink" finds "Food
// and drink"), or the whole name does ("food and" finds "Food and drink").
bool NameMatches(const std::string& name, const std::string& wanted) {
    const std::string lower = Lower(name);
    if (lower.starts_with(wanted)) return true;
    for (std::size_t at = lower.find(' '); at != std::string::npos; at = lower.find(' ', at + 1))
        if (lower.compare(at + 1, wanted.size(), wanted) == 0) return true;
    return false;
}

struct Category {
    SHORT number = -1;
    SHORT sub = -1; // -1: the whole category.
    std::string name;
};

// The categories (or, with `sub`, the subcategories of `category`) the service lists.
std::vector<Category> CategoriesOf(IGPSCore* core, bool sub, SHORT category) {
    gpslib::Variant list;
    std::vector<Category> out;
    HRESULT hr = sub ? core->POIGetAllSubCategories(category, VARIANT_FALSE, &list)
                     : core->POIGetAllCategories(&list, VARIANT_FALSE);
    std::vector<IUnknown*> objects;
    if (FAILED(hr) ||
        FAILED(gpslib::ReadObjectList(
            &list, sub ? IID_IPOISubCategoryObject : IID_IPOICategoryObject, 1000, &objects)))
        return out;
    for (IUnknown* o : objects) {
        Category c;
        Bstr name;
        if (sub) {
            auto* s = static_cast<IPOISubCategoryObject*>(static_cast<void*>(o));
            s->GetSubCategoryName(name.Put());
            s->GetSubCategoryNumber(&c.sub);
            c.number = category;
        } else {
            auto* k = static_cast<IPOICategoryObject*>(static_cast<void*>(o));
            k->GetCategoryName(name.Put());
            k->GetCategoryNumber(&c.number);
        }
        c.name = name.Utf8();
        out.push_back(std::move(c));
        o->Release();
    }
    return out;
}

} // namespace

Answer Session::Around(const std::vector<std::string>& args) {
    ComPtr<IPOIObject> poi;
    LONG found = 0;
    if (args.empty())
        return PoiResults(found, m_core->POIsFindNearest(CurrentMode(), poi.Put(), &found));
    // A category or a subcategory by its name or a word of it.
    std::string wanted;
    for (const std::string& a : args)
        wanted += (wanted.empty() ? "" : " ") + Lower(a);
    const std::vector<Category> categories = CategoriesOf(m_core.Get(), false, 0);
    if (categories.empty()) {
        gpslib::Variant probe;
        HRESULT hr = m_core->POIGetAllCategories(&probe, VARIANT_FALSE);
        return Failure("around", FAILED(hr) ? hr : E_FAIL);
    }
    std::optional<Category> chosen;
    for (const Category& c : categories)
        if (c.number > 0 && !chosen && NameMatches(c.name, wanted)) chosen = c;
    for (const Category& c : categories) {
        if (chosen || c.number <= 0) continue;
        for (const Category& s : CategoriesOf(m_core.Get(), true, c.number))
            if (s.sub > 0 && !chosen && NameMatches(s.name, wanted)) chosen = s;
    }
    if (!chosen) {
        std::string known;
        for (const Category& c : categories)
            if (c.number > 0) known += (known.empty() ? "" : ", ") + c.name;
        return Fact("No category " + wanted + ". Categories: " + known + ".",
                    Answer::Status::kFailed);
    }
    auto config = Create<IPOISearchConfigurationObject>(CLSID_POISearchConfigurationObject,
                                                        IID_IPOISearchConfigurationObject);
    config->SetCategoryNumber(chosen->number);
    if (chosen->sub > 0) config->SetSubCategoryNumber(chosen->sub);
    config->SetNewSearch(VARIANT_TRUE);
    return PoiResults(found, m_core->POIsFind(CurrentMode(), config.Get(), poi.Put(), &found));
}

Answer Session::Find(const std::vector<std::string>& args) {
    if (args.empty()) return Usage("find");
    std::string text;
    for (const std::string& a : args)
        text += (text.empty() ? "" : " ") + a;
    auto config = Create<IPOISearchConfigurationObject>(CLSID_POISearchConfigurationObject,
                                                        IID_IPOISearchConfigurationObject);
    auto pattern = Create<IPOIObject>(CLSID_POIObject, IID_IPOIObject);
    pattern->SetName(Bstr(text).Get());
    config->SetPOISearchObject(pattern.Get());
    config->SetStartsWithSearch(VARIANT_TRUE);
    config->SetNewSearch(VARIANT_TRUE);
    ComPtr<IPOIObject> poi;
    LONG found = 0;
    Answer a = PoiResults(found, m_core->POIsFind(CurrentMode(), config.Get(), poi.Put(), &found));
    if (a.status == Answer::Status::kNotAvailable)
        a.texts = {"find: not available yet in this version of the service."};
    return a;
}

Answer Session::Dest(const std::vector<std::string>& args) {
    HRESULT hr = S_OK;
    if (!args.empty()) {
        const std::string what = Lower(args[0]);
        if (what == "clear") {
            hr = m_core->DestinationClear();
            return FAILED(hr) ? Failure("dest", hr) : Fact("Destination cleared.");
        } else if (what == "here") {
            hr = m_core->DestinationSetByLocation(Here().Get());
        } else if (what == "poi" || what == "fav") {
            auto n = args.size() > 1 ? ParseNumber(args[1], 1, 100000) : std::nullopt;
            if (!n) return Usage("dest");
            ComPtr<IPOIObject> poi;
            hr = what == "poi" ? m_core->POIGet(*n - 1, poi.Put())
                               : m_core->FavoritesGetItem(static_cast<SHORT>(*n - 1), poi.Put());
            if (FAILED(hr) || !poi) return Failure("dest", FAILED(hr) ? hr : E_INVALIDARG);
            hr = m_core->DestinationSetByPOI(poi.Get());
        } else if (what == "address") {
            if (!m_address)
                return Fact("No address found yet: use address first.", Answer::Status::kFailed);
            hr = m_core->DestinationSetByAddress(m_address.Get());
        } else if (auto at = ParseLatLon(args[0])) {
            auto location = NewLocation(at->latitude, at->longitude);
            std::string name;
            for (std::size_t i = 1; i < args.size(); ++i)
                name += (name.empty() ? "" : " ") + args[i];
            if (!name.empty()) location->SetName(Bstr(name).Get());
            hr = m_core->DestinationSetByLocation(location.Get());
        } else {
            return Usage("dest");
        }
        if (FAILED(hr)) return Failure("dest", hr);
    }
    auto config = Create<IDescriptionConfigurationObject>(CLSID_DescriptionConfigurationObject,
                                                          IID_IDescriptionConfigurationObject);
    Bstr text;
    hr = m_core->DestinationWhereIs(CurrentMode(), config.Get(), text.Put());
    if (FAILED(hr)) return Failure("dest", hr);
    return Texts({Utf8(text)});
}

Answer Session::Route(const std::vector<std::string>& args) {
    if (args.empty()) return Usage("route");
    const std::string what = Lower(args[0]);
    Bstr text;
    HRESULT hr;
    if (what == "walk" || what == "drive") {
        auto config = Create<IRouteConfigurationObject>(CLSID_RouteConfigurationObject,
                                                        IID_IRouteConfigurationObject);
        config->SetRouteType(what == "walk" ? RouteTypePedestrian : RouteTypeVehicle);
        VARIANT_BOOL created = VARIANT_FALSE;
        hr = m_core->RouteCreateAutomatic(CurrentMode(), config.Get(), &created);
        if (FAILED(hr)) return Failure("route", hr);
        if (!created) return Fact("No route found to the destination.", Answer::Status::kFailed);
        ComPtr<IRouteObject> route;
        if (SUCCEEDED(m_core->RouteGet(route.Put())) && route)
            route->TotalRouteDistanceDescription(text.Put());
        return Texts({text.Utf8().empty() ? "Route planned." : text.Utf8()});
    }
    if (what == "next" || what == "back") {
        ComPtr<IWaypointObject> waypoint;
        hr = what == "next" ? m_core->RouteVirtualExploreForward(WaypointModeTurnsOnly,
                                                                 waypoint.Put(), text.Put())
                            : m_core->RouteVirtualExploreBackward(WaypointModeTurnsOnly,
                                                                  waypoint.Put(), text.Put());
        if (FAILED(hr)) return Failure("route", hr);
        return Texts({Utf8(text)});
    }
    if (what == "close") {
        hr = m_core->RouteClose();
        return FAILED(hr) ? Failure("route", hr) : Fact("Route closed.");
    }
    return Usage("route");
}

Answer Session::Follow() {
    Bstr announcement;
    VARIANT_BOOL requested = VARIANT_FALSE;
    HRESULT hr = m_core->RouteFollow(announcement.Put(), &requested);
    if (FAILED(hr)) return Failure("follow", hr);
    m_followAnswer = requested ? Utf8(announcement) : std::string();
    return Texts({Utf8(announcement)});
}

Answer Session::Explore(const std::vector<std::string>& args) {
    Bstr text;
    HRESULT hr;
    const std::string what = args.empty() ? "" : Lower(args[0]);
    if (what.empty())
        hr = m_core->VirtualGetOnStreetMessage(text.Put());
    else if (what == "forward" || what == "f")
        hr = m_core->VirtualForward(text.Put());
    else if (what == "back" || what == "b")
        hr = m_core->VirtualBackup(text.Put());
    else if (what == "left" || what == "l")
        hr = m_core->VirtualTurnLeft(text.Put());
    else if (what == "right" || what == "r")
        hr = m_core->VirtualTurnRight(text.Put());
    else if (what == "cross" || what == "c")
        hr = m_core->VirtualCrossStreet(text.Put());
    else
        return Usage("explore");
    if (FAILED(hr)) return Failure("explore", hr);
    return Texts({Utf8(text)});
}

Answer Session::Fav(const std::vector<std::string>& args) {
    HRESULT hr;
    if (!args.empty()) {
        if (Lower(args[0]) != "add") return Usage("fav");
        auto here = Here();
        std::string name;
        for (std::size_t i = 1; i < args.size(); ++i)
            name += (name.empty() ? "" : " ") + args[i];
        if (here && !name.empty()) here->SetName(Bstr(name).Get());
        VARIANT_BOOL added = VARIANT_FALSE;
        hr = m_core->FavoritesAddLocation(here.Get(), &added);
        if (FAILED(hr)) return Failure("fav", hr);
        return Fact(added ? "Added to the favorites." : "Not added to the favorites.",
                    added ? Answer::Status::kOk : Answer::Status::kFailed);
    }
    gpslib::Variant list;
    SHORT count = 0;
    hr = m_core->FavoritesGetList(CurrentMode(), &list, &count);
    if (FAILED(hr)) return Failure("fav", hr);
    std::vector<std::string> texts = StringsOf(&list);
    for (std::size_t i = 0; i < texts.size(); ++i)
        texts[i] = std::to_string(i + 1) + ". " + texts[i];
    if (texts.empty()) texts.push_back("No favorites.");
    return Texts(std::move(texts));
}

Answer Session::History() {
    gpslib::Variant list;
    SHORT count = 0;
    HRESULT hr = m_core->HistoryGetList(CurrentMode(), &list, &count);
    if (FAILED(hr)) return Failure("history", hr);
    std::vector<std::string> texts = StringsOf(&list);
    if (texts.size() > kMaxListed) texts.resize(kMaxListed);
    if (texts.empty()) texts.push_back("No places in the history.");
    return Texts(std::move(texts));
}

Answer Session::Note(const std::vector<std::string>& args) {
    HRESULT hr;
    if (args.empty()) {
        gpslib::Variant list;
        hr = m_core->AnnotationsGetList(CurrentMode(), &list);
        if (FAILED(hr)) return Failure("note", hr);
        std::vector<std::string> texts = StringsOf(&list);
        if (texts.size() > kMaxListed) texts.resize(kMaxListed);
        if (texts.empty()) texts.push_back("No annotations.");
        return Texts(std::move(texts));
    }
    ComPtr<IPOIObject> note;
    hr = m_core->POICreate(CurrentMode(), POICreationTypeAnnotation, note.Put());
    if (FAILED(hr) || !note) return Failure("note", hr);
    note->SetName(Bstr(args[0]).Get());
    if (args.size() > 1) {
        std::error_code ec;
        if (!std::filesystem::is_regular_file(args[1], ec))
            return Fact("No such recorded file: " + args[1], Answer::Status::kFailed);
        note->SetMediaFile(Bstr(std::filesystem::absolute(args[1]).string()).Get());
    }
    VARIANT_BOOL added = VARIANT_FALSE;
    hr = m_core->AnnotationsAdd(note.Get(), &added);
    if (FAILED(hr)) return Failure("note", hr);
    return Fact(added ? "Annotation added." : "Annotation not added.",
                added ? Answer::Status::kOk : Answer::Status::kFailed);
}

Answer Session::Address(const std::vector<std::string>& args) {
    if (args.size() < 2) return Usage("address");
    const std::string step = Lower(args[0]);
    std::string text;
    for (std::size_t i = 1; i < args.size(); ++i)
        text += (text.empty() ? "" : " ") + args[i];
    HRESULT hr;
    gpslib::Variant list;
    SHORT count = 0;
    if (step == "city") {
        gpslib::Variant maps;
        hr = m_core->AddressFindMapsForCitySearch(Bstr(std::string_view("")).Get(), &maps, &count);
        if (FAILED(hr)) return Failure("address", hr);
        std::vector<std::string> names = StringsOf(&maps);
        m_addressSearch = Create<IAddressSearchConfigurationObject>(
            CLSID_AddressSearchConfigurationObject, IID_IAddressSearchConfigurationObject);
        m_addressSearch->SetSearchName(Bstr(text).Get());
        m_addressSearch->SetStartsWith(VARIANT_TRUE);
        for (const std::string& map : names) {
            count = 0;
            hr = m_core->AddressFindCity(Bstr(map).Get(), m_addressSearch.Get(), &list, &count);
            if (FAILED(hr)) return Failure("address", hr);
            std::vector<std::string> cities = StringsOf(&list);
            if (!cities.empty()) {
                m_addressMap = map;
                if (cities.size() > kMaxListed) cities.resize(kMaxListed);
                return Texts(std::move(cities));
            }
        }
        return Fact("No city " + text + ".", Answer::Status::kFailed);
    }
    if (!m_addressSearch)
        return Fact("Choose the city first: address city NAME.", Answer::Status::kFailed);
    if (step == "street") {
        // The first city of the previous step is the one chosen.
        m_addressSearch->SetLastSearchIndex(0);
        m_addressSearch->SetSearchName(Bstr(text).Get());
        hr = m_core->AddressFindStreet(m_addressSearch.Get(), &list, &count);
        if (FAILED(hr)) return Failure("address", hr);
        std::vector<std::string> streets = StringsOf(&list);
        if (streets.empty()) return Fact("No street " + text + ".", Answer::Status::kFailed);
        if (streets.size() > kMaxListed) streets.resize(kMaxListed);
        return Texts(std::move(streets));
    }
    if (step == "number") {
        // The first street found is the one chosen, and then the first place of its number.
        m_addressSearch->SetLastSearchIndex(0);
        m_addressSearch->SetStreetAddressNumber(Bstr(text).Get());
        hr = m_core->AddressFindStreetAddress(m_addressSearch.Get(), &list, &count);
        if (FAILED(hr)) return Failure("address", hr);
        m_addressSearch->SetLastSearchIndex(0);
        VARIANT_BOOL ok = VARIANT_FALSE;
        m_address.Reset();
        hr = m_core->AddressGet(m_addressSearch.Get(), m_address.Put(), &ok);
        if (FAILED(hr)) return Failure("address", hr);
        if (!ok || !m_address) return Fact("No such house number.", Answer::Status::kFailed);
        Bstr found;
        m_address->GetAddress(found.Put());
        return Texts({found.Utf8()});
    }
    return Usage("address");
}

Answer Session::Record(const std::vector<std::string>& args) {
    if (args.empty()) return Usage("record");
    const std::string what = Lower(args[0]);
    HRESULT hr;
    if (what == "stop") {
        hr = m_core->GPSStopRecording();
        return FAILED(hr) ? Failure("record", hr) : Fact("Recording stopped.");
    }
    if (what == "note") {
        std::string text;
        for (std::size_t i = 1; i < args.size(); ++i)
            text += (text.empty() ? "" : " ") + args[i];
        if (text.empty()) return Usage("record");
        hr = m_core->GPSInsertAnnotationIntoRecording(Bstr(text).Get());
        return FAILED(hr) ? Failure("record", hr) : Fact("Note recorded.");
    }
    hr = m_core->GPSStartRecording(Bstr(args[0]).Get());
    if (FAILED(hr)) return Fact("Cannot record into " + args[0] + ".", Answer::Status::kFailed);
    return Fact("Recording into " + args[0] + ".");
}

Answer Session::Replay(const std::vector<std::string>& args) {
    if (args.size() != 1) return Usage("replay");
    std::string text;
    const bool ok = UseReceiver(args[0], &text);
    return Fact(text, ok ? Answer::Status::kOk : Answer::Status::kFailed);
}

namespace {

struct Named {
    std::string_view name;
    int value;
};
constexpr Named kUnits[] = {{"metric", Metric},
                            {"imperial", Imperial},
                            {"nautical", Nautical},
                            {"british", BritishNautical}};
constexpr Named kHeadings[] = {{"clock", ClockFace},
                               {"ahead", AheadLeft},
                               {"combo", Combo},
                               {"compass", LeftRightDegreesCompass}};
constexpr Named kUrgencies[] = {{"low", UrgencyLow},
                                {"normal", UrgencyNormal},
                                {"high", UrgencyHigh},
                                {"critical", UrgencyCritical}};

template <std::size_t N> std::optional<int> Lookup(const Named (&table)[N], std::string_view word) {
    for (const Named& n : table)
        if (n.name == Lower(word)) return n.value;
    return std::nullopt;
}
template <std::size_t N> std::string_view NameOf(const Named (&table)[N], int value) {
    for (const Named& n : table)
        if (n.value == value) return n.name;
    return "?";
}
template <std::size_t N> std::string Choices(const Named (&table)[N]) {
    std::string out;
    for (const Named& n : table)
        out += (out.empty() ? "" : ", ") + std::string(n.name);
    return out;
}

} // namespace

Answer Session::Settings(const std::vector<std::string>& args) {
    ComPtr<ISystemSettingsObject> system;
    HRESULT hr = m_core->SystemGetSettings(system.Put());
    if (FAILED(hr) || !system) return Failure("settings", hr);
    if (args.empty()) {
        Units units = Metric;
        RelativeHeadingType heading = ClockFace;
        UrgencyLevel urgency = UrgencyLow;
        system->GetUnits(&units);
        system->GetHeadingMode(&heading);
        m_core->LookaroundGetUrgencyReportingLevel(&urgency);
        std::string text = "Units " + std::string(NameOf(kUnits, units)) + ", heading " +
                           std::string(NameOf(kHeadings, heading)) + ", urgency " +
                           std::string(NameOf(kUrgencies, urgency));
        ComPtr<ILookaroundSettingsObject> look;
        if (SUCCEEDED(m_core->LookaroundGetSettings(look.Put())) && look) {
            VARIANT_BOOL on = 0, i = 0, p = 0, s = 0, c = 0, m = 0;
            look->IsLookaroundEnabled(&on);
            look->IsIntersectionsEnabled(&i);
            look->IsCommercialPOIsEnabled(&p);
            look->IsStreetChangesEnabled(&s);
            look->IsCityChangesEnabled(&c);
            look->IsMapChangesEnabled(&m);
            auto sw = [](VARIANT_BOOL b) { return b ? "on" : "off"; };
            text += std::string(", lookaround ") + sw(on) + ", intersections " + sw(i) + ", pois " +
                    sw(p) + ", streets " + sw(s) + ", cities " + sw(c) + ", maps " + sw(m);
        }
        return Texts({text + "."});
    }
    const std::string what = Lower(args[0]);
    if (args.size() != 2) return Usage("settings");
    if (what == "units") {
        auto u = Lookup(kUnits, args[1]);
        if (!u) return Fact("Units are " + Choices(kUnits) + ".", Answer::Status::kUsage);
        system->SetUnits(static_cast<Units>(*u));
        hr = m_core->SystemSetSettings(system.Get());
        return FAILED(hr) ? Failure("settings", hr) : Fact("Units " + Lower(args[1]) + ".");
    }
    if (what == "heading") {
        auto h = Lookup(kHeadings, args[1]);
        if (!h)
            return Fact("Heading styles are " + Choices(kHeadings) + ".", Answer::Status::kUsage);
        system->SetHeadingMode(static_cast<RelativeHeadingType>(*h));
        hr = m_core->SystemSetSettings(system.Get());
        return FAILED(hr) ? Failure("settings", hr) : Fact("Heading " + Lower(args[1]) + ".");
    }
    if (what == "urgency") {
        auto u = Lookup(kUrgencies, args[1]);
        if (!u)
            return Fact("Urgency levels are " + Choices(kUrgencies) + ".", Answer::Status::kUsage);
        hr = m_core->LookaroundSetUrgencyReportingLevel(static_cast<UrgencyLevel>(*u));
        return FAILED(hr) ? Failure("settings", hr) : Fact("Urgency " + Lower(args[1]) + ".");
    }
    auto on = ParseSwitch(args[1]);
    if (!on) return Usage("settings");
    ComPtr<ILookaroundSettingsObject> look;
    hr = m_core->LookaroundGetSettings(look.Put());
    if (FAILED(hr) || !look) return Failure("settings " + what, hr);
    const VARIANT_BOOL b = *on ? VARIANT_TRUE : VARIANT_FALSE;
    if (what == "lookaround")
        look->EnableLookaround(b);
    else if (what == "intersections")
        look->EnableIntersections(b);
    else if (what == "pois")
        look->EnableCommercialPOIs(b);
    else if (what == "streets")
        look->EnableStreetChanges(b);
    else if (what == "cities")
        look->EnableCityChanges(b);
    else if (what == "maps")
        look->EnableMapChanges(b);
    else
        return Usage("settings");
    hr = m_core->LookaroundSetSettings(look.Get());
    return FAILED(hr) ? Failure("settings " + what, hr) : Fact(what + (*on ? " on." : " off."));
}

Answer Session::ModeCommand(const std::vector<std::string>& args) {
    if (!args.empty()) {
        const std::string what = Lower(args[0]);
        if (what != "gps" && what != "virtual") return Usage("mode");
        m_core->SystemSetCurrentMode(what == "gps" ? GPSMode : VirtualMode);
    }
    return Fact(CurrentMode() == GPSMode ? "Mode gps." : "Mode virtual.");
}

Answer Session::Wait(const std::vector<std::string>& args) {
    auto seconds = args.size() == 1 ? ParseNumber(args[0], 0, 86400) : std::nullopt;
    if (!seconds) return Usage("wait");
    if (m_options.speed > 0 && m_options.pollOnlyInWait) {
        // On a fixed schedule: the time a poll takes does not slow the walk down.
        const auto period = std::chrono::duration_cast<std::chrono::steady_clock::duration>(
            std::chrono::duration<double>(1.0 / m_options.speed));
        auto next = std::chrono::steady_clock::now();
        for (long i = 0; i < *seconds && !s_interrupted; ++i) {
            next += period;
            std::this_thread::sleep_until(next);
            PollOnce();
            if (m_pump) m_pump();
        }
    } else {
        const double speed = m_options.speed > 0 ? m_options.speed : 1;
        const auto end = std::chrono::steady_clock::now() +
                         std::chrono::duration<double>(static_cast<double>(*seconds) / speed);
        while (std::chrono::steady_clock::now() < end && !s_interrupted) {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
            if (m_pump) m_pump();
        }
    }
    return {};
}

} // namespace gpsnav
