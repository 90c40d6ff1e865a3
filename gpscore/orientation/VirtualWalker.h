// The virtual walker: a position and heading the user moves over the street network from the
// armchair, answered for whenever a question names VirtualMode. It is placed (at a location, a
// point of interest or a map's start), then steps forward to the next intersection, turns onto
// the streets that meet there, backs up and crosses the street; each step answers a message to
// speak. Its place is kept across runs in the system settings.
#ifndef GPSCORE_ORIENTATION_VIRTUALWALKER_H_
#define GPSCORE_ORIENTATION_VIRTUALWALKER_H_

#include <gpslib/GPSLib_enums.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/Place.h"
#include "orientation/WhereAmI.h"

namespace gpscore {

struct AddressPlace;
struct ServiceContext;
class PersonalPlaces;

// The walker as its object shows it to the client: shared by the walker part and the walker
// object the client gets (orientation/VirtualObject.h), a view over it, so that each sees what
// the other changed.
struct WalkerState {
    Place place; // the position, with the name and description it was placed with
    std::u16string street;
    std::int16_t heading = -1;
    SideOfStreet side = SideUnknown;
    bool mustCross = false;

    // -1 means no heading; any other value is taken without its sign, modulo a full turn (so
    // -90 becomes 90, not 270).
    void Face(int value) {
        const int magnitude = value < 0 ? -value : value;
        heading = value == -1 ? std::int16_t{-1} : static_cast<std::int16_t>(magnitude % 360);
    }
};

// REQUIRES for every method: the service's core lock held.
class VirtualWalker {
public:
    VirtualWalker(ServiceContext& context, PersonalPlaces& places, WhereAmI& whereAmI)
        : m_context(context), m_places(places), m_whereAmI(whereAmI) {}
    VirtualWalker(const VirtualWalker&) = delete;
    VirtualWalker& operator=(const VirtualWalker&) = delete;

    // The walker's state, made by Start (with the exploration state reset) and released by
    // Stop; null before Start. The facade shows it to the client as the walker object.
    const std::shared_ptr<WalkerState>& Shared() const { return m_state; }
    bool Active() const { return m_state != nullptr; }
    void Create();
    void Release();
    // The walker's place (which may hold no position); none before Start.
    std::optional<gpscore::Place> Where() const;
    std::int16_t Heading() const;
    // Whether the heading was only implied (the questions then answer as if there were none).
    bool HeadingImplied() const { return m_bImpliedHeading; }
    SideOfStreet Side() const;

    // Placements. Each remembers the place before it for Backup, looks up the street and its
    // branches and adds the new place to the history of places. A position (none: a place that
    // could not be read, which leaves the walker where it was) facing `heading`, on the right.
    void Set(const std::optional<gpscore::Place>& location, std::int16_t heading);
    // At a POI's position without a heading, named by the POI and described by its street.
    void SetByPOI(const gpscore::Place& location, std::u16string_view name,
                  std::u16string_view street);
    // At the position of an address the search found, without a heading, named by the address
    // ("12 Main Street, Springfield") and described by its street. False (nothing changed) for
    // an address without a position.
    bool SetByAddress(const AddressPlace& address);
    // On a waypoint of a route being explored (by its name), facing `heading`: not added to the
    // history of places (the waypoints of a rehearsal are no places visited).
    void PlaceOnRoute(const gpscore::Place& location, std::int16_t heading);
    // False when the table of start locations holds no such map.
    bool SetToMap(std::u16string_view mapName);

    void SetHeading(std::int16_t heading);
    void SetImpliedHeading(std::int16_t heading);

    // The movements; each answers the message to speak and keeps it as the current message.
    std::u16string Forward();
    std::u16string Backup();
    // -1 left, +1 right.
    std::u16string Turn(int direction);
    std::u16string CrossStreet();
    std::u16string OnStreetMessage();
    const std::u16string& Message() const { return m_bstrCurrentMessage; }

    // Kept in the system settings at Stop, restored from them at Start (after the maps).
    void Save();
    void Restore();

    // Whether the poll cycle has announced the live user arriving near the walker.
    bool ArrivedNear() const { return m_bArrivedNearVirtual; }
    void SetArrivedNear(bool arrived) { m_bArrivedNearVirtual = arrived; }

    // The walked distance of the virtual pedometer (the live one is the receiver's).
    std::int32_t PedometerTotal() const { return m_nPedometerTotalVirtual; }
    void PedometerReset() { m_nPedometerTotalVirtual = 0; }

private:
    // Everything a step changes, so that Backup can return to it.
    struct Snapshot {
        bool valid = false;
        double latitude = 0.0;
        double longitude = 0.0;
        std::u16string name;
        std::u16string street;
        std::int16_t heading = -1;
        SideOfStreet side = SideUnknown;
        bool mustCross = false;
        std::vector<gpscore::CrossStreet> branches;
        int selected = -1;
        std::int16_t branchHeading = -1;
        bool atIntersection = false;
    };
    Snapshot Take() const;
    void Put(const Snapshot& snapshot);

    void PlaceAt(const std::optional<gpscore::Place>& location, std::int16_t heading,
                 std::u16string_view name, std::u16string_view description, bool addToHistory);
    // The street and its branches at the walker's position; false when no street is found.
    bool LookUp(std::int16_t heading);
    // Forward (crossing false) or across the street; true when the walker moved.
    bool Move(bool crossing, std::u16string* message);
    bool HeadingFitsStreet(std::int16_t heading) const;
    // Takes the engine's answer as the walker's new place and describes it.
    std::u16string Arrive(std::vector<gpscore::CrossStreet> branches, bool atIntersection,
                          bool crossed, const Snapshot& before);
    std::u16string BranchText(const gpscore::CrossStreet& branch) const;
    std::u16string SidePrefix() const;
    bool SideTracking() const;
    MapWords Words() const;
    void MoveTo(double latitude, double longitude);
    std::u16string Answer(std::u16string text);

    ServiceContext& m_context;
    PersonalPlaces& m_places;
    WhereAmI& m_whereAmI;
    std::shared_ptr<WalkerState> m_state;

    bool m_bImpliedHeading = false;
    std::vector<gpscore::CrossStreet> m_crossStreets;
    int m_nSelectedBranch = -1;
    std::int16_t m_nBranchHeading = -1;
    Snapshot m_previous;
    bool m_bPlacedWithoutHeading = false;
    bool m_bAtIntersection = false;
    std::u16string m_bstrCurrentMessage;

    bool m_bArrivedNearVirtual = false;
    std::int32_t m_nPedometerTotalVirtual = 0;
};

} // namespace gpscore

#endif // GPSCORE_ORIENTATION_VIRTUALWALKER_H_
