// A started service over the sample town, for the street questions: the service's classes
// offered in-process, the map engine and database modules registered in a temporary store, a
// copy of the town (beside which the personal stores are made) found on the map path. Positions are
// given on the town's grid (x, y in 1/1000 degree east and north of 45° N 10° E).
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "GPSLib_classes.h"
#include "registered_modules.h"
#include "settings_folder.h"
#include "temp_dir.h"

namespace gpslib::test {

inline ComPtr<ILocationObject> Location(double latitude, double longitude) {
    ComPtr<ILocationObject> place;
    gpslib::CreateObject(CLSID_LocationObject, IID_ILocationObject, &place);
    place->SetLatitude(latitude);
    place->SetLongitude(longitude);
    return place;
}
inline ComPtr<ILocationObject> At(double x, double y) {
    return Location(45.0 + y / 1000.0, 10.0 + x / 1000.0);
}

inline std::string Utf8(BSTR text) {
    return gpslib::ToUtf8(gpslib::View(text));
}

// A "maps" folder in `dir` holding a copy of the town; answers its path.
inline std::string CopySampleTown(const TempDir& dir) {
    return MapFolder(dir.File("maps"), GPSLIB_SAMPLE_MAP_DIR, {"Sampleton"}, true);
}

class StreetsFixture : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ASSERT_TRUE(RegisterModules({GPSMAP_MODULE, GPSDB_MODULE})); }
    void SetUp() override {
        maps = CopySampleTown(dir);
        setenv("GPSLIB_MAP_PATH", maps.c_str(), 1);
        ASSERT_EQ(gpslib::CreateObject(CLSID_GPSCore, IID_IGPSCore, &core), S_OK);
        settings = PrepareSettingsFolder(dir);
        for (int run = 0; run < 2; ++run) {
            if (run > 0) core->Stop();
            Restart();
        }
    }
    void TearDown() override {
        if (core) core->Stop();
        unsetenv("GPSLIB_MAP_PATH");
    }
    void Restart() {
        Bstr result;
        ASSERT_EQ(core->Start(Bstr(settings).Get(), nullptr, result.Put()), S_OK);
    }

    // Changes the system settings through the client's path.
    template <class F> void Settings(F&& change) {
        ComPtr<ISystemSettingsObject> s;
        ASSERT_EQ(core->SystemGetSettings(s.Put()), S_OK);
        change(s.Get());
        ASSERT_EQ(core->SystemSetSettings(s.Get()), S_OK);
    }
    void UseUnits(Units units) {
        Settings([&](ISystemSettingsObject* s) { s->SetUnits(units); });
    }
    void PlaceReceiver(double x, double y, SHORT heading) {
        ASSERT_EQ(core->GPSForceLocation(At(x, y).Get(), heading), S_OK);
    }

    // The diagnostic log as written so far.
    std::string Log() const { return ReadWholeFile(dir.File("Debug/gpsDebug.txt")); }

    TempDir dir;
    std::string maps;
    std::string settings;
    ComPtr<IGPSCore> core;
};

} // namespace gpslib::test
