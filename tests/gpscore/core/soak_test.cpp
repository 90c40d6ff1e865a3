// The service under load, over the sample town. A soak: the polling thread reads a receiver on a
// pseudo-terminal that walks around the town, four client threads call the service's methods at
// random (Stop and Start, settings, streets, the walker, places, favorites, routes and address
// search among them), and a sink counts the events. And a day's walk on the fake clock: a trace
// replayed poll by poll with lookaround, a destination and a followed route. Both check that
// every event made reaches the sink once, and that memory, open files and the service's own
// lists stay bounded.
//
// The soak lasts GPSLIB_SOAK_SECONDS (default: GPSLIB_SOAK_DEFAULT_SECONDS, set by the build) and
// the walk GPSLIB_SOAK_WALK_HOURS of fake time (default: GPSLIB_SOAK_DEFAULT_WALK_HOURS).
// GPSLIB_SOAK_SEED repeats a soak's random choices.
#include <gtest/gtest.h>
#include <malloc.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <random>
#include <string>
#include <thread>
#include <vector>

#if defined(__SANITIZE_ADDRESS__)
#define GPSLIB_TEST_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define GPSLIB_TEST_ASAN 1
#endif
#endif
#ifdef GPSLIB_TEST_ASAN
// The sanitizer runtime's count of live heap bytes (declared here: not every compiler ships the
// header that declares it).
extern "C" std::size_t __sanitizer_get_current_allocated_bytes();
#endif

#include "base/Utility.h"
#include "formats/TrackTrace.h"
#include "recording_sink.h"
#include "service_fixture.h"
#include "streets_fixture.h"

namespace gpslib::test {
namespace {

long EnvNumber(const char* name, long fallback) {
    const char* text = std::getenv(name);
    if (text == nullptr || *text == '\0') return fallback;
    char* end = nullptr;
    const long value = std::strtol(text, &end, 10);
    return *end == '\0' && value > 0 ? value : fallback;
}

// What the process holds: resident memory and open descriptors. Under the address sanitizer,
// whose quarantine keeps freed blocks resident by design, "resident" is the live heap instead.
struct ProcessUse {
    long rssKiB = 0;
    long fds = 0;
};

// Memory freed but kept by the allocator is handed back first, so that what is left is what is
// held.
ProcessUse Measure() {
    ::malloc_trim(0);
    ProcessUse use;
    long pages = 0, resident = 0;
    if (std::FILE* f = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(f, "%ld %ld", &pages, &resident) != 2) resident = 0;
        std::fclose(f);
    }
    use.rssKiB = resident * (::sysconf(_SC_PAGESIZE) / 1024);
#ifdef GPSLIB_TEST_ASAN
    use.rssKiB = static_cast<long>(__sanitizer_get_current_allocated_bytes() / 1024);
#endif
    std::error_code error;
    for (auto it = std::filesystem::directory_iterator("/proc/self/fd", error);
         !error && it != std::filesystem::directory_iterator(); it.increment(error))
        ++use.fds;
    return use;
}

// The fake clock and files of the service's tests, with DebugOutput counting the one line the
// checks need (an event made while no sink was registered).
// The log lines of events made are counted as they are appended: the log is moved aside at
// 8 MiB, so its files hold only the latest lines of a long run.
class CountingEnv : public FakeEnv {
public:
    using Status = gpslib::os::Status;
    void DebugOutput(std::string_view text) override {
        if (text.find("m_pAutoEvent is NULL") != std::string_view::npos) ++undelivered;
    }
    Status NewAppendableFile(std::string_view path,
                             std::unique_ptr<gpslib::os::WritableFile>* result) override {
        Status status = FakeEnv::NewAppendableFile(path, result);
        if (status.ok()) *result = std::make_unique<CountingFile>(std::move(*result), &logged);
        return status;
    }
    std::atomic<long> undelivered{0};
    std::atomic<long> logged{0}; // "Event Added" lines written

private:
    class CountingFile final : public gpslib::os::WritableFile {
    public:
        CountingFile(std::unique_ptr<gpslib::os::WritableFile> file, std::atomic<long>* logged)
            : m_file(std::move(file)), m_logged(logged) {}
        Status Append(std::string_view data) override {
            for (auto at = data.find(kEventAdded); at != std::string_view::npos;
                 at = data.find(kEventAdded, at + 1))
                ++*m_logged;
            return m_file->Append(data);
        }
        Status Flush() override { return m_file->Flush(); }
        Status Sync() override { return m_file->Sync(); }
        Status Close() override { return m_file->Close(); }

    private:
        static constexpr std::string_view kEventAdded = "**AddEvent**  Event Added";
        std::unique_ptr<gpslib::os::WritableFile> m_file;
        std::atomic<long>* m_logged;
    };
};

// A client's sink that only counts. It notices an event handed over twice in a row, and calls
// back into the service as a client's sink may.
class CountingSink final : public gpslib::test::SinkBase {
public:
    HRESULT OnAutomaticEvent(IAutomaticEventObject* event) override {
        if (event == nullptr) {
            ++nulls;
            return S_OK;
        }
        ++delivered;
        // Every call holds the service's core lock, so no two overlap. The last event is held,
        // so that its address cannot come back as a new event's.
        if (event == m_last.Get()) ++repeats;
        m_last = event;
        Bstr text;
        event->GetDescription(text.Put());
        if (callBack != nullptr) {
            ComPtr<IGPSStatusObject> status;
            callBack->GPSGetStatus(status.Put());
        }
        event->Release();
        return S_OK;
    }

    std::atomic<long> delivered{0}, repeats{0}, nulls{0};
    IGPSCore* callBack = nullptr;

private:
    ComPtr<IAutomaticEventObject> m_last;
};

// A position on the town's grid (1/1000 degree east and north of 45 N 10 E) as a receiver sends
// it, `second` seconds after midnight of 7 January 2026, at `knots` and `course`.
std::string FixAt(double x, double y, long second, double knots, double course) {
    gpslib::tracktrace::Fix fix;
    fix.latitude = 45.0 + y / 1000.0;
    fix.longitude = 10.0 + x / 1000.0;
    fix.time = (1'767'744'000LL + second) * 1'000'000;
    fix.speedKnots = knots;
    fix.course = course;
    return gpslib::tracktrace::RmcSentence(fix) + gpslib::tracktrace::GgaSentence(fix);
}

// A lap of the town's outer streets: South Street east, Elm Street north, North Street west,
// First Avenue south. `along` in grid units from the south-west corner; the point and the course.
struct LapPoint {
    double x, y, course;
};
constexpr double kLap = 18.0;
LapPoint OnLap(double along) {
    along = std::fmod(along, kLap);
    if (along < 6.0) return {along, 0.0, 90.0};
    if (along < 9.0) return {6.0, along - 6.0, 0.0};
    if (along < 15.0) return {6.0 - (along - 9.0), 3.0, 270.0};
    return {0.0, 3.0 - (along - 15.0), 180.0};
}

class Soak : public StreetsFixture {
protected:
    void SetUp() override {
        gpscore::SetServiceEnvForTesting(&env);
        // The polling thread keeps real seconds; the link's pauses pass on the fake clock.
        env.UseRealTimedWaits(true);
        StreetsFixture::SetUp();
        ASSERT_TRUE(receiver.ok());
        sink = new CountingSink;
        sink->callBack = core.Get();
        ASSERT_EQ(core->SystemSetTestMode(VARIANT_TRUE), S_OK);
        Connect();
    }
    void TearDown() override {
        StreetsFixture::TearDown();
        gpscore::SetServiceEnvForTesting(nullptr);
        if (sink != nullptr) sink->Release();
    }

    // The sink, the history and the receiver, as a client sets them up after each Start.
    void Connect() {
        core->RegisterUIAutoEventCallback(sink);
        core->EnableHistoryOfAutomaticEvents(VARIANT_TRUE);
        ComPtr<IGPSSettingsObject> settings;
        core->GPSGetDefaultSettings(settings.Put());
        if (!settings) return;
        settings->SetGPSReceiverType(GPSTypeSerial);
        settings->SetGPSPortName(Bstr(std::string_view(receiver.PortName())).Get());
        settings->SetGPSPortNumber(receiver.Number());
        VARIANT_BOOL opened = VARIANT_FALSE;
        core->GPSSetSettings(settings.Get(), &opened);
    }

    // Events the service made so far: one log line each, whether a sink heard it or not.
    long EventsMade() { return env.logged.load(); }
    void ExpectEachEventDeliveredOnce() {
        const long made = EventsMade();
        EXPECT_GT(sink->delivered.load(), 0);
        // Bounds, not one equality: an event made between a Stop and the next Start, when the
        // log has no folder yet, has no line, but no sink either.
        EXPECT_LE(sink->delivered.load(), made) << "an event reached the sink twice";
        EXPECT_GE(sink->delivered.load() + env.undelivered.load(), made) << "an event was lost";
        EXPECT_EQ(sink->repeats.load(), 0);
        EXPECT_EQ(sink->nulls.load(), 0);
    }

    long HistoryCount() {
        Variant names;
        SHORT count = 0;
        core->HistoryGetList(GPSMode, &names, &count);
        return count;
    }

public:
    // The scenarios: each drives the service and takes the first measurement once it is warm.
    void ClientThreadsAndThePollingThread(ProcessUse& before);
    void ADayLongWalkOnTheFakeClock(ProcessUse& before);

protected:
    CountingEnv env;
    PtyReceiver receiver;
    CountingSink* sink = nullptr;
};

using Action = std::function<void(IGPSCore*, std::mt19937&)>;

ComPtr<ILocationObject> Somewhere(std::mt19937& rng) {
    std::uniform_real_distribution<double> x(-0.5, 8.5), y(-1.0, 3.5);
    return At(x(rng), y(rng));
}
Mode AnyMode(std::mt19937& rng) {
    return rng() % 2 ? GPSMode : VirtualMode;
}

// Sets the destination and creates a route there, and follows it when `follow`; true when the
// service took the route to follow.
bool FollowRouteTo(IGPSCore* core, ILocationObject* destination, RouteType type, Mode mode,
                   bool follow) {
    core->DestinationSetByLocation(destination);
    ComPtr<IRouteConfigurationObject> configuration;
    gpslib::CreateObject(CLSID_RouteConfigurationObject, IID_IRouteConfigurationObject,
                         &configuration);
    configuration->SetRouteType(type);
    VARIANT_BOOL created = VARIANT_FALSE, requested = VARIANT_FALSE;
    core->RouteCreateAutomatic(mode, configuration.Get(), &created);
    Bstr announcement;
    if (follow) core->RouteFollow(announcement.Put(), &requested);
    return requested == VARIANT_TRUE;
}

// What the client threads do, each row with its weight. Answers are not checked: the other
// threads change the service under them; what counts is that nothing races, crashes or leaks.
// A list is filled again in the same variant: the service clears what it held first.
struct WeightedAction {
    const char* name;
    int weight;
    Action act;
};

std::vector<WeightedAction> ClientActions(const std::function<void()>& restart,
                                          const std::string& trace,
                                          const std::string& settingsDirectory) {
    return {
        {"Stop and Start", 1, [&restart](IGPSCore*, std::mt19937&) { restart(); }},
        {"system settings", 4,
         [&settingsDirectory](IGPSCore* core, std::mt19937& rng) {
             ComPtr<ISystemSettingsObject> s;
             if (FAILED(core->SystemGetSettings(s.Put())) || !s) return;
             // A copy taken between another thread's Stop and Start holds the defaults: written
             // back, it would move the log (by which events are counted) to a folder that does
             // not exist.
             Bstr directory;
             s->GetSettingsDirectory(directory.Put());
             if (gpslib::ToUtf8(directory.View()) != settingsDirectory) return;
             s->SetUnits(rng() % 2 ? Imperial : Metric);
             s->SetVirtualSideOfStreetTracking(rng() % 2 ? VARIANT_TRUE : VARIANT_FALSE);
             core->SystemSetSettings(s.Get());
             core->SystemProprietaryFeatures(rng() % 2 ? VARIANT_TRUE : VARIANT_FALSE);
         }},
        {"lookaround settings", 4,
         [](IGPSCore* core, std::mt19937& rng) {
             ComPtr<ILookaroundSettingsObject> s;
             if (FAILED(core->LookaroundGetSettings(s.Put())) || !s) return;
             s->SetStartDelayForLookaroundEvents(static_cast<SHORT>(rng() % 3));
             core->LookaroundSetSettings(s.Get());
             core->LookaroundSetUrgencyReportingLevel(rng() % 4 ? UrgencyLow : UrgencyHigh);
             core->EngageUIAutoLookaroundEvents(rng() % 8 ? VARIANT_TRUE : VARIANT_FALSE);
         }},
        {"mode and polling", 3,
         [](IGPSCore* core, std::mt19937& rng) {
             core->SystemSetCurrentMode(AnyMode(rng));
             VARIANT_BOOL read = VARIANT_FALSE;
             core->GPSForcePoll(&read);
             if (rng() % 4 == 0) core->GPSTurnOnAutomaticPolling();
         }},
        {"pushed data and traces", 3,
         [&trace](IGPSCore* core, std::mt19937& rng) {
             // The push path beside the port, and a trace started and stopped now and then.
             const LapPoint p = OnLap(static_cast<double>(rng() % 180) / 10.0);
             core->GPSExternalNmeaDataUpdate(
                 Bstr(FixAt(p.x, p.y, static_cast<long>(rng() % 86400), 3.0, p.course)).Get());
             if (rng() % 8 == 0) core->GPSStartRecording(Bstr(trace).Get());
             core->GPSInsertAnnotationIntoRecording(Bstr("soak").Get());
             if (rng() % 4 == 0) core->GPSStopRecording();
         }},
        {"Where Am I", 10,
         [](IGPSCore* core, std::mt19937& rng) {
             ComPtr<IWhereAmIObject> w;
             core->WhereAmI(AnyMode(rng), w.Put());
             Bstr text;
             if (w) w->GetDescription(text.Put());
             ComPtr<IWhereAmIObject> there;
             core->WhereAmIAtLocation(Somewhere(rng).Get(), static_cast<SHORT>(rng() % 360),
                                      there.Put());
         }},
        {"intersections", 10,
         [](IGPSCore* core, std::mt19937& rng) {
             ComPtr<IIntersectionObject> nearest, ahead, at;
             core->GetNearestIntersection(AnyMode(rng), nearest.Put());
             core->GetNextIntersectionAhead(AnyMode(rng), ahead.Put());
             core->GetNearestIntersectionLocation(Somewhere(rng).Get(), at.Put());
         }},
        {"virtual moves", 10,
         [](IGPSCore* core, std::mt19937& rng) {
             static constexpr HRESULT (STDMETHODCALLTYPE IGPSCore::*kMoves[])(BSTR*) = {
                 &IGPSCore::VirtualForward,     &IGPSCore::VirtualBackup,
                 &IGPSCore::VirtualTurnLeft,    &IGPSCore::VirtualTurnRight,
                 &IGPSCore::VirtualCrossStreet, &IGPSCore::VirtualGetOnStreetMessage};
             if (rng() % 5 == 0)
                 core->VirtualSet(Somewhere(rng).Get(), static_cast<SHORT>(rng() % 360));
             Bstr message;
             (core->*kMoves[rng() % std::size(kMoves)])(message.Put());
         }},
        {"places", 8,
         [](IGPSCore* core, std::mt19937& rng) {
             ComPtr<IPOIObject> poi;
             LONG found = 0;
             core->POIsFindNearest(AnyMode(rng), poi.Put(), &found);
             ComPtr<IPOISearchConfigurationObject> search;
             gpslib::CreateObject(CLSID_POISearchConfigurationObject,
                                  IID_IPOISearchConfigurationObject, &search);
             search->SetMaxSearchResults(5);
             search->SetNewSearch(rng() % 2 ? VARIANT_TRUE : VARIANT_FALSE);
             ComPtr<IPOIObject> next;
             core->POIsFind(AnyMode(rng), search.Get(), next.Put(), &found);
             ComPtr<IPOIObject> listed;
             core->POIGet(static_cast<LONG>(rng() % 8), listed.Put());
             if (listed && rng() % 4 == 0) core->DestinationSetByPOI(listed.Get());
         }},
        {"favorites and history", 4,
         [](IGPSCore* core, std::mt19937& rng) {
             VARIANT_BOOL added = VARIANT_FALSE;
             if (rng() % 4 == 0) core->FavoritesAddLocation(Somewhere(rng).Get(), &added);
             Variant names;
             SHORT count = 0;
             core->FavoritesGetList(AnyMode(rng), &names, &count);
             core->HistoryGetList(AnyMode(rng), &names, &count);
             ComPtr<IPOIObject> favorite;
             core->FavoritesGetItem(static_cast<SHORT>(rng() % 4), favorite.Put());
         }},
        {"routes", 4,
         [](IGPSCore* core, std::mt19937& rng) {
             FollowRouteTo(core, Somewhere(rng).Get(),
                           rng() % 2 ? RouteTypePedestrian : RouteTypeVehicle, AnyMode(rng),
                           rng() % 2);
             SHORT percent = 0;
             core->RoutePercentComplete(AnyMode(rng), &percent);
             if (rng() % 3 == 0) core->RouteClose();
         }},
        {"address search", 4,
         [](IGPSCore* core, std::mt19937& rng) {
             ComPtr<IAddressSearchConfigurationObject> config;
             gpslib::CreateObject(CLSID_AddressSearchConfigurationObject,
                                  IID_IAddressSearchConfigurationObject, &config);
             static const char* const kNames[] = {"Main", "Oak Avenue", "Sampleton", "", "E"};
             config->SetSearchName(Bstr(std::string_view(kNames[rng() % 5])).Get());
             Variant list;
             SHORT found = 0;
             core->AddressFindMapsForCitySearch(Bstr("Sampleton").Get(), &list, &found);
             core->AddressFindCity(Bstr("Sampleton").Get(), config.Get(), &list, &found);
             config->SetLastSearchIndex(0);
             core->AddressFindStreet(config.Get(), &list, &found);
             ComPtr<IAddressObject> address;
             VARIANT_BOOL ok = VARIANT_FALSE;
             core->AddressGet(config.Get(), address.Put(), &ok);
         }},
        {"events and status", 6,
         [](IGPSCore* core, std::mt19937&) {
             ComPtr<IAutomaticEventObject> last;
             core->GetLastAutomaticEvent(last.Put());
             Variant events;
             core->GetLastTenAutomaticEvents(&events);
             ComPtr<IGPSStatusObject> status;
             core->GPSGetStatus(status.Put());
             ComPtr<ILocationObject> here;
             core->GetLocation(GPSMode, here.Put());
         }},
    };
}

// ---------------------------------------------------------------------------------------------

// Four client threads call the service at random while the receiver walks around the town.
void Soak::ClientThreadsAndThePollingThread(ProcessUse& before) {
    const long seconds = EnvNumber("GPSLIB_SOAK_SECONDS", GPSLIB_SOAK_DEFAULT_SECONDS);
    const unsigned seed = static_cast<unsigned>(
        EnvNumber("GPSLIB_SOAK_SEED", static_cast<long>(std::random_device{}() % 100000 + 1)));
    RecordProperty("seed", static_cast<int>(seed));
    std::printf("soak: %ld s, seed %u (GPSLIB_SOAK_SEED repeats it)\n", seconds, seed);
    ASSERT_EQ(core->GPSTurnOnAutomaticPolling(), S_OK);

    std::mutex restartMutex; // One restart at a time, so that each ends connected.
    std::function<void()> restart = [&] {
        std::lock_guard<std::mutex> lock(restartMutex);
        core->Stop();
        Restart();
        Connect();
        core->GPSTurnOnAutomaticPolling();
    };
    const std::string trace = dir.File("soak.trace");
    const std::vector<WeightedAction> actions = ClientActions(restart, trace, settings);
    std::vector<int> wheel;
    for (std::size_t i = 0; i < actions.size(); ++i)
        wheel.insert(wheel.end(), static_cast<std::size_t>(actions[i].weight), static_cast<int>(i));

    // Every call once before the threads start, so that first uses (caches, databases opened)
    // fall before the first measurement.
    std::mt19937 warmUp(seed);
    for (const WeightedAction& action : actions)
        action.act(core.Get(), warmUp);

    std::atomic<bool> done{false};
    std::vector<std::atomic<long>> calls(actions.size());
    std::vector<std::thread> clients;
    for (unsigned t = 0; t < 4; ++t)
        clients.emplace_back([&, t] {
            std::mt19937 rng(seed * 4 + t);
            while (!done) {
                const int pick = wheel[rng() % wheel.size()];
                actions[static_cast<std::size_t>(pick)].act(core.Get(), rng);
                ++calls[static_cast<std::size_t>(pick)];
                std::this_thread::sleep_for(std::chrono::milliseconds(rng() % 5));
            }
        });

    // The receiver walks around the town, ten positions a second, faster than a walker so that
    // the streets change often. Bytes are held back while the service does not read them.
    const auto start = std::chrono::steady_clock::now();
    const auto end = start + std::chrono::seconds(seconds);
    const auto warm = start + std::chrono::seconds(std::max<long>(1, seconds / 4));
    bool measured = false;
    long second = 0;
    for (double along = 0.0; std::chrono::steady_clock::now() < end; along += 0.05) {
        if (!measured && std::chrono::steady_clock::now() >= warm) {
            // Not in the middle of a restart, which closes and opens files.
            std::lock_guard<std::mutex> lock(restartMutex);
            before = Measure();
            measured = true;
        }
        const LapPoint p = OnLap(along);
        if (receiver.Waiting() < 1024) receiver.Send(FixAt(p.x, p.y, ++second, 20.0, p.course));
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    done = true;
    for (std::thread& client : clients)
        client.join();
    ASSERT_EQ(core->GPSTurnOffAutomaticPolling(), S_OK);
    if (!measured) before = Measure();
    for (std::size_t i = 0; i < actions.size(); ++i)
        EXPECT_GT(calls[i].load(), 0) << actions[i].name << " was never called";
}

// A day's walk on the fake clock: a fix pushed and polled each second, lookaround speaking from
// the first poll, the far corner the destination of every lap and the route there followed.
// The history of places stays bounded and the favorites untouched.
void Soak::ADayLongWalkOnTheFakeClock(ProcessUse& before) {
    const long hours = EnvNumber("GPSLIB_SOAK_WALK_HOURS", GPSLIB_SOAK_DEFAULT_WALK_HOURS);
    ComPtr<ILookaroundSettingsObject> lookaround;
    ASSERT_EQ(core->LookaroundGetSettings(lookaround.Put()), S_OK);
    lookaround->SetStartDelayForLookaroundEvents(0);
    ASSERT_EQ(core->LookaroundSetSettings(lookaround.Get()), S_OK);
    SHORT favoritesBefore = 0, favoritesAfter = 0;
    core->FavoritesGetCount(&favoritesBefore);

    // Walking pace: 1.4 m/s is about 0.0126 grid units a second along a street (roughly
    // 111 m north and 79 m east per unit; the mean is near enough for a lap's time).
    constexpr double kStep = 0.0126;
    const long polls = hours * 3600, lapPolls = static_cast<long>(kLap / kStep);
    long historyAfterFirstLaps = -1, routesFollowed = 0;
    for (long poll = 0; poll < polls; ++poll) {
        const LapPoint p = OnLap(static_cast<double>(poll) * kStep);
        ASSERT_EQ(core->GPSExternalNmeaDataUpdate(Bstr(FixAt(p.x, p.y, poll, 2.7, p.course)).Get()),
                  S_OK);
        VARIANT_BOOL read = VARIANT_FALSE;
        ASSERT_EQ(core->GPSForcePoll(&read), S_OK);
        env.AdvanceMicros(1000000);
        if (poll % lapPolls == 0) // a new lap, with a fix
            routesFollowed +=
                FollowRouteTo(core.Get(), At(6.0, 3.0).Get(), RouteTypePedestrian, GPSMode, true);
        if (poll == 2 * lapPolls) {
            before = Measure();
            historyAfterFirstLaps = HistoryCount();
        }
    }
    EXPECT_GT(routesFollowed, 0);
    ASSERT_GE(historyAfterFirstLaps, 0) << "the walk is shorter than three laps";
    EXPECT_LE(HistoryCount(), std::max<long>(historyAfterFirstLaps, 25));
    core->FavoritesGetCount(&favoritesAfter);
    EXPECT_EQ(favoritesAfter, favoritesBefore);
}

// Every scenario ends with the same checks. `fdSlack`: descriptors that may stay open beyond the
// first measurement (a receiver's port reopened by a restart).
struct Scenario {
    const char* name;
    void (Soak::*run)(ProcessUse& before);
    long fdSlack;
};
void PrintTo(const Scenario& s, std::ostream* os) {
    *os << s.name;
}
class Soaks : public Soak, public ::testing::WithParamInterface<Scenario> {};

// Every event made reaches the sink once; memory, open files and the stored events stay bounded.
TEST_P(Soaks, RunWithoutLossOrGrowth) {
    ProcessUse before{};
    (this->*GetParam().run)(before);
    if (HasFatalFailure()) return;
    const ProcessUse after = Measure();
    ExpectEachEventDeliveredOnce();
    EXPECT_LE(StoredEvents(core.Get(), 100).size(), 10u);
    EXPECT_LE(after.fds, before.fds + GetParam().fdSlack) << "open descriptors grew";
    EXPECT_LE(after.rssKiB, before.rssKiB + GPSLIB_SOAK_RSS_SLACK_KIB)
        << "resident memory grew from " << before.rssKiB << " KiB";
    std::printf("%s: %ld events delivered, %ld without a sink; RSS %ld -> %ld KiB, %ld -> %ld "
                "descriptors\n",
                GetParam().name, sink->delivered.load(), env.undelivered.load(), before.rssKiB,
                after.rssKiB, before.fds, after.fds);
}

INSTANTIATE_TEST_SUITE_P(
    Scenarios, Soaks,
    ::testing::Values(Scenario{"Clients", &Soak::ClientThreadsAndThePollingThread, 2},
                      Scenario{"DayWalk", &Soak::ADayLongWalkOnTheFakeClock, 0}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
} // namespace gpslib::test
