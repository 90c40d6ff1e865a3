// What one service hands to each of its parts: the platform it runs on, the settings, spoken
// texts and log of the shared Utility, the map engine and the database component's stores. The
// parts reach nothing process-wide on their own.
#ifndef GPSCORE_BASE_SERVICECONTEXT_H_
#define GPSCORE_BASE_SERVICECONTEXT_H_

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "base/MapQueries.h"
#include "base/SettingsRecords.h"

namespace gpslib::os {
class Env;
}

struct IAddressDatabase;
struct IPOIDatabase;
struct IPOIResults;

namespace gpscore {

class Utility;

// A counted reference to one of the service's components (the map engine, a store), named
// without the object runtime's headers: the component's type is only declared here. Copying
// adds a reference and letting go releases one, through the component's own AddRef and
// Release, so only code that copies or ends a holder needs the component's definition (the
// facade, which creates them).
template <class I> class ComponentRef {
public:
    ComponentRef() = default;
    ComponentRef(const ComponentRef& other) : m_p(other.m_p) {
        if (m_p != nullptr) m_p->AddRef();
    }
    ComponentRef& operator=(const ComponentRef& other) {
        ComponentRef copy(other);
        std::swap(m_p, copy.m_p);
        return *this;
    }
    ~ComponentRef() { Reset(); }

    I* Get() const { return m_p; }
    I* operator->() const { return m_p; }
    explicit operator bool() const { return m_p != nullptr; }
    void Reset() {
        if (I* p = std::exchange(m_p, nullptr)) p->Release();
    }
    // Holds `p` as well: one more reference to it.
    void Share(I* p) {
        if (p != nullptr) p->AddRef();
        Reset();
        m_p = p;
    }
    // Gives the reference to the caller, leaving the holder empty.
    I* Detach() { return std::exchange(m_p, nullptr); }
    // Where a creation function stores the new reference, which the holder then owns.
    void** PutVoid() {
        Reset();
        return reinterpret_cast<void**>(&m_p);
    }

private:
    I* m_p = nullptr;
};

// Owned by the service and used only under its core lock.
struct ServiceContext {
    gpslib::os::Env* m_pEnv = nullptr;
    // Null before the service first needs settings or texts (Start, or an early query).
    std::shared_ptr<Utility> m_pUtility;
    ComponentRef<IGPSMap> m_pGPSMap;
    ComponentRef<IAddressDatabase> m_pAddressDatabase;
    ComponentRef<IPOIDatabase> m_pHistoryDatabase;
    ComponentRef<IPOIDatabase> m_pPOIDatabase;
    ComponentRef<IPOIResults> m_pPOIResultsA;
    ComponentRef<IPOIResults> m_pPOIResultsB;
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
