// The service with the real map engine and database component, as a client uses them: the three
// modules registered (by the real gpsreg) in a temporary registry store, a settings folder with
// the resource library, and a map folder of its own holding a map (copied or linked), so that the
// personal stores and user POIs the tests write land in the test's own folder.
#pragma once

#include <gpslib/GPSDatabaseLib.h>
#include <gpslib/GPSLib.h>
#include <gpslib/GPSMapLib.h>
#include <gpslib/support.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "registered_modules.h"
#include "settings_folder.h"
#include "value.h"

namespace gpslib::test {

// Registers the service, the map engine and the database component once per process.
inline void RegisterModules() {
    EXPECT_TRUE(RegisterModules({GPSCORE_MODULE, GPSMAP_MODULE, GPSDB_MODULE}));
}

inline ComPtr<ILocationObject> Place(double latitude, double longitude, const char* name = "") {
    ComPtr<ILocationObject> place;
    EXPECT_EQ(CreateObject(CLSID_LocationObject, IID_ILocationObject, &place), S_OK);
    place->SetLatitude(latitude);
    place->SetLongitude(longitude);
    place->SetName(Bstr(std::string_view(name)).Get());
    return place;
}

// What a getter answers, its call checked to succeed; a text getter's answer in UTF-8.
template <class O, class T> T Got(O* object, HRESULT (STDMETHODCALLTYPE O::*get)(T*)) {
    T value{};
    EXPECT_EQ((object->*get)(&value), S_OK);
    return value;
}
template <class O> std::string Got(O* object, HRESULT (STDMETHODCALLTYPE O::*get)(BSTR*)) {
    Bstr text;
    EXPECT_EQ((object->*get)(text.Put()), S_OK);
    return text.Utf8();
}

inline std::string Name(IPOIObject* poi) {
    return Text(poi, &IPOIObject::GetName);
}

// Great-circle distance in metres with the service's earth radius (3437.90496760259 nautical
// miles), and the initial bearing in degrees: the test's own oracle.
inline double Metres(double lat1, double lon1, double lat2, double lon2) {
    const double r = 3437.90496760259 * 1852.0, k = M_PI / 180.0;
    const double dlat = (lat2 - lat1) * k, dlon = (lon2 - lon1) * k;
    const double a =
        std::sin(dlat / 2) * std::sin(dlat / 2) +
        std::cos(lat1 * k) * std::cos(lat2 * k) * std::sin(dlon / 2) * std::sin(dlon / 2);
    return 2 * r * std::asin(std::min(1.0, std::sqrt(a)));
}
inline double Bearing(double lat1, double lon1, double lat2, double lon2) {
    const double k = M_PI / 180.0;
    const double y = std::sin((lon2 - lon1) * k) * std::cos(lat2 * k);
    const double x = std::cos(lat1 * k) * std::sin(lat2 * k) -
                     std::sin(lat1 * k) * std::cos(lat2 * k) * std::cos((lon2 - lon1) * k);
    const double b = std::atan2(y, x) / k;
    return b < 0 ? b + 360 : b;
}

struct TownPOI {
    std::string name;
    double lat = 0, lon = 0;
};

// The value of attribute `name` on an OSM file's line ("" when the line has none).
inline std::string OsmAttribute(const std::string& line, const std::string& name) {
    const std::string key = " " + name + "=\"";
    const size_t start = line.find(key);
    if (start == std::string::npos) return {};
    const size_t from = start + key.size();
    return line.substr(from, line.find('"', from) - from);
}

// Every node of the sample town's OSM file that the map compiler makes a POI of: the tests'
// own reading of the source the map was compiled from.
inline std::vector<TownPOI> ReadTownPOIs() {
    std::ifstream in(GPSLIB_SAMPLE_OSM);
    std::string line;
    std::vector<TownPOI> pois;
    TownPOI current;
    bool inNode = false, isPOI = false;
    while (std::getline(in, line)) {
        if (line.find("<node ") != std::string::npos) {
            current = {"", std::stod(OsmAttribute(line, "lat")),
                       std::stod(OsmAttribute(line, "lon"))};
            inNode = line.find("/>") == std::string::npos;
            isPOI = false;
        } else if (inNode && line.find("<tag ") != std::string::npos) {
            const std::string k = OsmAttribute(line, "k"), v = OsmAttribute(line, "v");
            if (k == "name") {
                current.name = v;
                for (size_t at; (at = current.name.find("&apos;")) != std::string::npos;)
                    current.name.replace(at, 6, "'");
            }
            if (k == "amenity" || k == "shop" || k == "tourism" || k == "leisure" ||
                (k == "railway" && v == "station") || (k == "highway" && v == "bus_stop"))
                isPOI = true;
        } else if (inNode && line.find("</node>") != std::string::npos) {
            if (isPOI) pois.push_back(current);
            inNode = false;
        }
    }
    return pois;
}

class POIService : public ::testing::Test {
protected:
    static void SetUpTestSuite() { RegisterModules(); }

    // `map` is the base name of a map in `from`; its files are linked into the test's folder.
    void StartWith(const std::string& from, const std::string& map) {
        settings = PrepareSettingsFolder(dir);
        maps = MapFolder(dir.path() + "/maps", from, {map});
        setenv("GPSLIB_MAP_PATH", maps.c_str(), 1);
        ASSERT_EQ(CreateObject(CLSID_GPSCore, IID_IGPSCore, &core), S_OK);
        Start();
    }
    void SetUp() override { StartWith(GPSLIB_SAMPLE_MAP_DIR, "Sampleton"); }
    void TearDown() override {
        if (core) core->Stop();
        unsetenv("GPSLIB_MAP_PATH");
    }
    void Start() {
        Bstr text(settings), result;
        ASSERT_EQ(core->Start(text.Get(), nullptr, result.Put()), S_OK);
        ASSERT_EQ(result.Utf8(), "OK");
    }
    void Restart() {
        ASSERT_EQ(core->Stop(), S_OK);
        Start();
    }

    ComPtr<ISystemSettingsObject> Settings() {
        ComPtr<ISystemSettingsObject> s;
        EXPECT_EQ(core->SystemGetSettings(s.Put()), S_OK);
        return s;
    }
    // Changes the system settings with `change(settings)`.
    template <class Change> void Apply(Change change) {
        auto s = Settings();
        change(s.Get());
        ASSERT_EQ(core->SystemSetSettings(s.Get()), S_OK);
    }
    void SetUnits(Units units) {
        Apply([&](ISystemSettingsObject* s) { s->SetUnits(units); });
    }

    // The user stands at the position facing `heading`.
    void StandAt(double latitude, double longitude, SHORT heading) {
        ASSERT_EQ(core->GPSForceLocation(Place(latitude, longitude).Get(), heading), S_OK);
    }

    // A new search configuration; for the POIs named `name` when one is given.
    ComPtr<IPOISearchConfigurationObject> NewSearch(const char* name = nullptr) {
        ComPtr<IPOISearchConfigurationObject> search;
        EXPECT_EQ(CreateObject(CLSID_POISearchConfigurationObject,
                               IID_IPOISearchConfigurationObject, &search),
                  S_OK);
        ComPtr<IPOIObject> what;
        if (name != nullptr && search->GetPOISearchObject(what.Put()) == S_OK)
            what->SetName(Bstr(std::string_view(name)).Get());
        return search;
    }
    // A new POI of the user's own at the position (private unless said otherwise).
    ComPtr<IPOIObject> NewUserPOI(const char* name, double lat, double lon,
                                  const std::string& media = "", bool isPrivate = true) {
        ComPtr<IPOIObject> poi;
        EXPECT_EQ(CreateObject(CLSID_POIObject, IID_IPOIObject, &poi), S_OK);
        poi->SetName(Bstr(std::string_view(name)).Get());
        poi->SetLatitude(lat);
        poi->SetLongitude(lon);
        poi->SetIsPrivate(isPrivate ? VARIANT_TRUE : VARIANT_FALSE);
        poi->SetMediaFile(Bstr(media).Get());
        return poi;
    }
    // Adds the POI to the user's; the key it was given.
    LONG Add(IPOIObject* poi) {
        IPOIObject* p = poi;
        EXPECT_EQ(core->POIAdd(&p), S_OK);
        return Value(poi, &IPOIObject::GetKey);
    }
    // Runs the search from the user's position, or from `from` (the nearest POIs for no search);
    // the number found, the POI answered in `first`.
    LONG Find(IPOISearchConfigurationObject* search, ComPtr<IPOIObject>* first = nullptr,
              ILocationObject* from = nullptr) {
        ComPtr<IPOIObject> poi;
        LONG found = -1;
        EXPECT_EQ(from     ? core->POIsFindByLocation(from, search, poi.Put(), &found)
                  : search ? core->POIsFind(GPSMode, search, poi.Put(), &found)
                           : core->POIsFindNearest(GPSMode, poi.Put(), &found),
                  S_OK);
        if (first != nullptr) *first = poi;
        return found;
    }
    // Whether a call answering in a flag did it (the flag read into 7, which no answer is).
    template <class A>
    bool Done(HRESULT (STDMETHODCALLTYPE IGPSCore::*call)(A*, VARIANT_BOOL*), A* argument) {
        VARIANT_BOOL done = 7;
        EXPECT_EQ((core.Get()->*call)(argument, &done), S_OK);
        EXPECT_NE(done, 7) << "no answer";
        return done != 0;
    }
    ComPtr<IPOIObject> Found(LONG index) {
        ComPtr<IPOIObject> poi;
        EXPECT_EQ(core->POIGet(index, poi.Put()), S_OK);
        return poi;
    }
    // The names of the found list, in order.
    std::vector<std::string> FoundNames() {
        LONG n = 0;
        EXPECT_EQ(core->POIsGetNumberFoundFromPreviousSearch(&n), S_OK);
        std::vector<std::string> names;
        for (LONG i = 0; i < n; ++i)
            names.push_back(Name(Found(i).Get()));
        return names;
    }
    std::string Log() { return ReadWholeFile(settings + "Debug/gpsDebug.txt"); }

    TempDir dir;
    std::string settings, maps;
    ComPtr<IGPSCore> core;
};

} // namespace gpslib::test
