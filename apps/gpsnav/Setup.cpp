// Setting the service up for gpsnav: finding and registering its modules, starting it with the
// options, the receiver, and the poll that drives a replayed walk.
#include <dlfcn.h>
#include <unistd.h>

#include <gpslib/language.h>
#include <gpslib/registry.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "Answers.h"
#include "ChildProcess.h"
#include "EventSink.h"
#include "Session.h"
#include "Text.h"

namespace gpsnav {

using gpslib::Bstr;
using gpslib::ComPtr;

namespace {

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

// The folders the string modules are looked for in: those installed beside the program, then
// the build tree's (the runtime adds its own installation's).
std::vector<std::string> StringModuleDirs() {
    return {ModuleDir() + "/../share/gpslib",
            std::filesystem::path(GPSNAV_BUILD_RESOURCES).parent_path().string()};
}

// gpsnav's own remembered choices, one "name=value" a line, beside the service's settings.
constexpr char kConfigName[] = "gpsnav.conf";

bool EndsWith(std::string_view text, std::string_view tail) {
    return text.size() >= tail.size() &&
           Lower(text.substr(text.size() - tail.size())) == Lower(tail);
}

} // namespace

std::string RememberedChoice(const std::string& settingsDir, const std::string& name) {
    std::ifstream in(settingsDir + kConfigName);
    const std::string key = name + "=";
    std::string line;
    while (std::getline(in, line))
        if (line.starts_with(key)) return std::string(StripLineEnd(line.substr(key.size())));
    return "";
}

void RememberChoice(const std::string& settingsDir, const std::string& name,
                    const std::string& value) {
    std::vector<std::string> kept;
    std::ifstream in(settingsDir + kConfigName);
    for (std::string line; std::getline(in, line);)
        if (!line.starts_with(name + "=") && !StripLineEnd(line).empty()) kept.push_back(line);
    in.close();
    kept.push_back(name + "=" + value);
    std::ofstream out(settingsDir + kConfigName);
    for (const std::string& line : kept)
        out << line << "\n";
}

std::string RememberedLanguage(const std::string& settingsDir) {
    return RememberedChoice(settingsDir, "language");
}

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
    // The service speaks the language whose string module the settings folder holds.
    gpslib::LanguageChoice language;
    std::string unknown;
    if (gpslib::UseLanguage(m_options.settingsDir, m_options.language, StringModuleDirs(),
                            &language, &unknown)) {
        if (language.fellBack) texts->push_back(language.note);
        if (m_options.rememberLanguage)
            RememberChoice(m_options.settingsDir, "language", language.language);
    }
    Bstr result;
    m_core->Start(Bstr(m_options.settingsDir).Get(), nullptr, result.Put());
    m_started = true;
    if (RememberedChoice(m_options.settingsDir, "crossings") == "on")
        if (ComPtr<IGPSPedestrian> walker = Walker()) walker->SetAnnounceCrossings(VARIANT_TRUE);
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
            auto next = std::chrono::steady_clock::now();
            while (!m_stopPolling) {
                next += PollPeriod();
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

// On a fixed schedule: the time a poll takes does not slow the walk down.
std::chrono::steady_clock::duration Session::PollPeriod() const {
    return std::chrono::duration_cast<std::chrono::steady_clock::duration>(
        std::chrono::duration<double>(1.0 / m_options.speed));
}

void Session::PollOnce() {
    std::lock_guard<std::mutex> lock(m_pollMutex);
    ++m_polls;
    VARIANT_BOOL read = VARIANT_FALSE;
    m_core->GPSForcePoll(&read);
}

std::string Session::TraceOf(const std::string& file, const std::string& name,
                             const std::string& use, std::string* why) {
    std::error_code ec;
    if (!std::filesystem::is_regular_file(file, ec)) {
        *why = "No such receiver, trace or GPX file: " + file;
        return "";
    }
    if (!EndsWith(file, ".gpx")) return file;
    // A GPX track is turned into a trace by gpxtrace, when it is installed.
    std::string trace = m_options.settingsDir + name;
    const std::string tool =
        std::filesystem::path(ModuleDir()).parent_path().string() + "/gpxtrace/gpxtrace";
    std::string command;
    for (const std::string& candidate : {ModuleDir() + "/gpxtrace", tool})
        if (access(candidate.c_str(), X_OK) == 0) command = candidate;
    if (command.empty()) command = "gpxtrace"; // Looked for on the PATH.
    if (!RunProgram({command, file, trace})) {
        *why = use + " a GPX track needs gpxtrace, which is not installed yet or could not read " +
               file + ".";
        return "";
    }
    return trace;
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
        file = TraceOf(receiver, "replay.trc", "Replaying", text);
        if (file.empty()) return false;
        settings->SetGPSReceiverType(GPSTypeSimulated);
        settings->SetSimulatedGPSFile(Bstr(std::filesystem::absolute(file).string()).Get());
    }
    VARIANT_BOOL opened = VARIANT_FALSE;
    HRESULT hr = m_core->GPSSetSettings(settings.Get(), &opened);
    const bool ok = SUCCEEDED(hr) && opened != VARIANT_FALSE;
    *text = ok ? "Receiver: " + receiver : "The receiver could not be opened: " + receiver;
    return ok;
}

} // namespace gpsnav
