// The one place the user heads for: set four ways, held by reference so that later changes to
// the client's location are seen, described from either mode, and kept across runs in the
// system settings.
#ifndef GPSCORE_ORIENTATION_DESTINATION_H_
#define GPSCORE_ORIENTATION_DESTINATION_H_

#include <gpslib/GPSLib_enums.h>

#include <memory>
#include <optional>
#include <string>

#include "base/Place.h"

namespace gpscore {

struct AddressPlace;
struct POIData;
struct ServiceContext;
class PersonalPlaces;

// REQUIRES for every method: the service's core lock held.
class Destination {
public:
    Destination(ServiceContext& context, PersonalPlaces& places)
        : m_context(context), m_places(places) {}
    Destination(const Destination&) = delete;
    Destination& operator=(const Destination&) = delete;

    // The destination as it is now (a held place read afresh); none when there is none, or
    // when the held place cannot be read.
    std::optional<Place> Where() const;
    SideOfStreet Side() const { return m_side; }

    // The given place held by reference, with its side of the street; clears the arrival latch
    // and adds the place to the history of places.
    void Set(std::shared_ptr<const HeldPlace> place, SideOfStreet side);
    // The same for a place of its own.
    void Set(const Place& place, SideOfStreet side);
    // The position of an address that has one (`location`, the address's own), named by its
    // name, else its address text, and its city.
    void SetByAddress(const AddressPlace& address, Place location);
    // The POI's position (`location`, the POI's own), named by its name and the parts of its
    // address the name does not say already.
    void SetByPOI(const POIData& poi, Place location);
    void Clear();
    // What WhereIs says when a place is missing: that there is no destination, else that the
    // mode has no place (`here`: the walker's place in VirtualMode, else the live fix's). None
    // when both are there: the way from `here` to the destination is then described.
    std::optional<std::u16string> Missing(Mode mode, const std::optional<Place>& here) const;

    // Whether the poll cycle has announced arriving near it.
    bool ArrivedNear() const { return m_bArrivedNearDestination; }
    void SetArrivedNear(bool arrived) { m_bArrivedNearDestination = arrived; }

    // Kept in the system settings at Stop, restored from them at Start (not added to the
    // history again).
    void Save();
    void Restore();
    // Stop lets the destination go.
    void Release();

private:
    // Set without the history: Start gives back the destination of the last Stop, which the
    // history already holds.
    void Replace(std::shared_ptr<const HeldPlace> place, SideOfStreet side);

    ServiceContext& m_context;
    PersonalPlaces& m_places;
    // Null when there is none.
    std::shared_ptr<const HeldPlace> m_place;
    SideOfStreet m_side = SideUnknown;
    bool m_bArrivedNearDestination = false;
};

} // namespace gpscore

#endif // GPSCORE_ORIENTATION_DESTINATION_H_
