// What one service hands to each of its parts: the platform it runs on, the settings, spoken
// texts and log of the shared Utility, the map engine and the database component's stores. The
// parts reach nothing process-wide on their own.
#ifndef GPSCORE_BASE_SERVICECONTEXT_H_
#define GPSCORE_BASE_SERVICECONTEXT_H_

#include <gpslib/GPSDatabaseLib.h>
#include <gpslib/GPSMapLib.h>

#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "GPSLib_classes.h"
#include "base/MapQueries.h"
#include "base/SettingsRecords.h"

namespace gpslib::os {
class Env;
}

namespace gpscore {

class Utility;

// Owned by the service and used only under its core lock.
struct ServiceContext {
    gpslib::os::Env* m_pEnv = nullptr;
    // Null before the service first needs settings or texts (Start, or an early query).
    std::shared_ptr<Utility> m_pUtility;
    gpslib::ComPtr<IGPSMap> m_pGPSMap;
    gpslib::ComPtr<IAddressDatabase> m_pAddressDatabase;
    gpslib::ComPtr<IPOIDatabase> m_pHistoryDatabase;
    gpslib::ComPtr<IPOIDatabase> m_pPOIDatabase;
    gpslib::ComPtr<IPOIResults> m_pPOIResultsA;
    gpslib::ComPtr<IPOIResults> m_pPOIResultsB;
    // Which position the service answers for by default.
    Mode m_eCurrentMode = GPSMode;

    gpslib::os::Env& Env() const { return *m_pEnv; }
    // The map engine's queries in plain words; every one answers nothing without an engine.
    MapQueries Map() const { return MapQueries(m_pGPSMap.Get()); }
    // A line in the diagnostic log; nothing without a Utility.
    void Log(std::string_view text) const;
    // Resource text `id`; empty without a Utility.
    std::u16string String(int id) const;
    // Copies of the Utility's settings records (none without a Utility).
    std::optional<settings::System> SystemSettings() const;
    std::optional<settings::Receiver> ReceiverSettings() const;
    std::optional<settings::Lookaround> LookaroundSettings() const;
    std::optional<settings::Route> RouteSettings(Mode mode) const;
    Units CurrentUnits() const;
    // The receiver type of the receiver settings; GPSTypeNone without them.
    GPSType ReceiverType() const;
    // Reads every settings file of `directory` into the Utility's settings records (Start).
    void ReadSettingsFiles(std::u16string_view directory) const;
    // Write the system or receiver settings file into the settings directory.
    void WriteSystemSettingsFile() const;
    void WriteReceiverSettingsFile() const;
};

} // namespace gpscore

#endif // GPSCORE_BASE_SERVICECONTEXT_H_
