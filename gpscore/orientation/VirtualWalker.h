// The virtual walker: a position and heading the user moves over the street network from the
// armchair, answered for whenever a question names VirtualMode. It is placed (at a location, a
// point of interest or a map's start), then steps forward to the next intersection, turns onto
// the streets that meet there, backs up and crosses the street; each step answers a message to
// speak. Its place is kept across runs in the system settings.
#ifndef GPSCORE_ORIENTATION_VIRTUALWALKER_H_
#define GPSCORE_ORIENTATION_VIRTUALWALKER_H_

#include <string>
#include <string_view>
#include <vector>

#include "GPSLib_classes.h"
#include "orientation/WhereAmI.h"

namespace gpscore {

struct ServiceContext;
class PersonalPlaces;

// REQUIRES for every method: the service's core lock held.
class VirtualWalker {
public:
    VirtualWalker(ServiceContext& context, PersonalPlaces& places, WhereAmI& whereAmI)
        : m_context(context), m_places(places), m_whereAmI(whereAmI) {}
    VirtualWalker(const VirtualWalker&) = delete;
    VirtualWalker& operator=(const VirtualWalker&) = delete;

    // The walker object, made by Start (with the exploration state reset) and released by Stop.
    IVirtualObject* Walker() const { return m_pVirtualObject.Get(); }
    void Create();
    void Release();
    gpslib::ComPtr<ILocationObject> Location() const;
    SHORT Heading() const;
    // Whether the heading was only implied (the questions then answer as if there were none).
    bool HeadingImplied() const { return m_bImpliedHeading; }
    SideOfStreet Side() const;

    // Placements. Each remembers the place before it for Backup, looks up the street and its
    // branches and adds the new place to the history of places.
    void Set(ILocationObject* location, SHORT heading);
    void SetByPOI(IPOIObject* poi);
    // At the position of an address the search found, without a heading, named by the address
    // ("12 Main Street, Springfield") and described by its street. False (nothing changed) for
    // an address without a position.
    bool SetByAddress(IAddressObject* address);
    // On a waypoint of a route being explored, facing `heading`: not added to the history of
    // places (the waypoints of a rehearsal are no places visited).
    void PlaceOnRoute(ILocationObject* location, SHORT heading);
    // False when the table of start locations holds no such map.
    bool SetToMap(std::u16string_view mapName);

    void SetHeading(SHORT heading);
    void SetImpliedHeading(SHORT heading);

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
    LONG PedometerTotal() const { return m_nPedometerTotalVirtual; }
    void PedometerReset() { m_nPedometerTotalVirtual = 0; }

private:
    // Everything a step changes, so that Backup can return to it.
    struct Snapshot {
        bool valid = false;
        double latitude = 0.0;
        double longitude = 0.0;
        std::u16string name;
        std::u16string street;
        SHORT heading = -1;
        SideOfStreet side = SideUnknown;
        bool mustCross = false;
        std::vector<gpscore::CrossStreet> branches;
        int selected = -1;
        SHORT branchHeading = -1;
        bool atIntersection = false;
    };
    Snapshot Take() const;
    void Put(const Snapshot& snapshot);

    void Place(ILocationObject* location, SHORT heading, std::u16string_view name,
               std::u16string_view description, bool addToHistory);
    // The street and its branches at the walker's position; false when no street is found.
    bool LookUp(SHORT heading);
    // Forward (crossing false) or across the street; true when the walker moved.
    bool Move(bool crossing, std::u16string* message);
    bool HeadingFitsStreet(SHORT heading) const;
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
    gpslib::ComPtr<IVirtualObject> m_pVirtualObject;

    bool m_bImpliedHeading = false;
    std::vector<gpscore::CrossStreet> m_crossStreets;
    int m_nSelectedBranch = -1;
    SHORT m_nBranchHeading = -1;
    Snapshot m_previous;
    bool m_bPlacedWithoutHeading = false;
    bool m_bAtIntersection = false;
    std::u16string m_bstrCurrentMessage;

    bool m_bArrivedNearVirtual = false;
    LONG m_nPedometerTotalVirtual = 0;
};

} // namespace gpscore

#endif // GPSCORE_ORIENTATION_VIRTUALWALKER_H_
