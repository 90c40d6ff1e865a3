// The user's global preferences: units, heading style, arrival distances, folders.
#ifndef GPSCORE_BASE_SYSTEMSETTINGSOBJECT_H_
#define GPSCORE_BASE_SYSTEMSETTINGSOBJECT_H_

#include <string>
#include <string_view>

#include "GPSLib_classes.h"
#include "base/SettingsRecords.h"

// The arrival distance and the arrived-near threshold are stored in feet, with the rules of the
// settings record (base/SettingsRecords.h).
class CSystemSettingsObject : public CSystemSettingsObjectBase {
public:
    HRESULT SetSettingsDirectory(BSTR bstrSettingsDirectory) override;
    HRESULT GetArrivalDistance(Units eUnits, SHORT* pnArrivalDistance) override;
    HRESULT SetArrivalDistance(Units eUnits, SHORT nArrivalDistance) override;
    HRESULT GetArrivedNearThreshold(Units eUnits, SHORT* pnThreshold) override;
    HRESULT SetArrivedNearThreshold(Units eUnits, SHORT nThreshold) override;

    // The virtual walker and the destination as the service saved them, carried along when the
    // object is made from the settings record; never on the interface.
    using SavedState = gpscore::settings::SavedState;
    const SavedState& Saved() const { return m_saved; }
    SavedState& Saved() { return m_saved; }

private:
    SavedState m_saved;
};

#endif // GPSCORE_BASE_SYSTEMSETTINGSOBJECT_H_
