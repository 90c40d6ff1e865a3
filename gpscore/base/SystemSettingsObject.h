// The user's global preferences: units, heading style, arrival distances, folders.
#ifndef GPSCORE_BASE_SYSTEMSETTINGSOBJECT_H_
#define GPSCORE_BASE_SYSTEMSETTINGSOBJECT_H_

#include <string>
#include <string_view>

#include "GPSLib_classes.h"

// The arrival distance and the arrived-near threshold are stored in feet; their accessors take
// the caller's units (Imperial means feet, every other unit metres). The threshold never exceeds
// the arrival distance.
class CSystemSettingsObject : public CSystemSettingsObjectBase {
public:
    HRESULT SetSettingsDirectory(BSTR bstrSettingsDirectory) override;
    HRESULT GetArrivalDistance(Units eUnits, SHORT* pnArrivalDistance) override;
    HRESULT SetArrivalDistance(Units eUnits, SHORT nArrivalDistance) override;
    HRESULT GetArrivedNearThreshold(Units eUnits, SHORT* pnThreshold) override;
    HRESULT SetArrivedNearThreshold(Units eUnits, SHORT nThreshold) override;

    // Stores the settings directory and leaves the debug directory as it is: how a start whose
    // system settings file is missing or unreadable keeps the debug directory it had.
    void SetSettingsDirectoryOnly(std::u16string_view directory);

    // The virtual walker and the destination as the core saved them at its last stop, restored
    // at the next start. Persisted with the settings, never on the interface.
    struct SavedState {
        std::u16string virtualName;
        std::u16string virtualStreetName;
        SHORT virtualHeading = -1; // -1: none.
        DOUBLE virtualLatitude = 0.0;
        DOUBLE virtualLongitude = 0.0;
        std::u16string destinationName;
        std::u16string destinationDescription;
        DOUBLE destinationLatitude = 0.0;
        DOUBLE destinationLongitude = 0.0;
        bool virtualSaved = false;
        LONG virtualSideOfStreet = 0;
        bool virtualMarker = true;
    };
    const SavedState& Saved() const { return m_saved; }
    SavedState& Saved() { return m_saved; }

private:
    SavedState m_saved;
};

#endif // GPSCORE_BASE_SYSTEMSETTINGSOBJECT_H_
