// The one place the user heads for: set four ways, held by reference so that later changes to
// the client's location are seen, described from either mode, and kept across runs in the
// system settings.
#ifndef GPSCORE_ORIENTATION_DESTINATION_H_
#define GPSCORE_ORIENTATION_DESTINATION_H_

#include "GPSLib_classes.h"

namespace gpscore {

struct ServiceContext;
class PersonalPlaces;

// REQUIRES for every method: the service's core lock held.
class Destination {
public:
    Destination(ServiceContext& context, PersonalPlaces& places);
    Destination(const Destination&) = delete;
    Destination& operator=(const Destination&) = delete;

    // A copy for the client.
    HRESULT Get(IDestinationObject** destination) const;
    // The given location held by reference, with its side of the street; clears the arrival
    // latch and adds the place to the history of places.
    HRESULT Set(ILocationObject* location, SideOfStreet side);
    // The address's position, named by its name (else its address text) and its city; S_FALSE,
    // and the destination unchanged, for an address without a position.
    HRESULT SetByAddress(IAddressObject* address);
    HRESULT SetByPOI(IPOIObject* poi);
    HRESULT Clear();
    // The distance, heading and name of the destination from the walker (VirtualMode) or from
    // the live fix, or the text saying which of the two places is missing.
    HRESULT WhereIs(Mode mode, IDescriptionConfigurationObject* config, IVirtualObject* walker,
                    IGPSObject* gps, BSTR* description) const;
    // Null when there is none.
    gpslib::ComPtr<ILocationObject> Location() const;

    // Whether the poll cycle has announced arriving near it.
    bool ArrivedNear() const { return m_bArrivedNearDestination; }
    void SetArrivedNear(bool arrived) { m_bArrivedNearDestination = arrived; }

    // Kept in the system settings at Stop, restored from them at Start (not added to the
    // history again).
    void Save();
    void Restore();
    // Stop lets the destination go.
    void Release() { m_pDestination.Reset(); }

private:
    // Set without the history: Start gives back the destination of the last Stop, which the
    // history already holds.
    HRESULT Replace(ILocationObject* location, SideOfStreet side);

    ServiceContext& m_context;
    PersonalPlaces& m_places;
    // An empty DestinationObject when there is none.
    gpslib::ComPtr<IDestinationObject> m_pDestination;
    bool m_bArrivedNearDestination = false;
};

} // namespace gpscore

#endif // GPSCORE_ORIENTATION_DESTINATION_H_
