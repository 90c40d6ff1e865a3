// The service's settings as plain records: the system, receiver, lookaround and route settings
// (the route settings once per mode). The Utility holds them, the settings files read and write
// them, and the parts read them; the settings objects a client sees are copies the facade makes
// from them (base/SettingsObject.h). The defaults are those of a new settings object.
#ifndef GPSCORE_BASE_SETTINGSRECORDS_H_
#define GPSCORE_BASE_SETTINGSRECORDS_H_

#include <gpslib/GPSLib_enums.h>

#include <cstdint>
#include <string>
#include <string_view>

namespace gpscore::settings {

// A switch as the client set it: 0 is off, anything else on. It is kept as given (the
// automation's true is -1, a new object holds 1), since the client reads it back unchanged.
using Switch = std::int16_t;

inline bool On(Switch s) {
    return s != 0;
}

// The virtual walker and the destination as the service saved them at its last stop, restored
// at the next start. Kept in the system settings file, never on the interface.
struct SavedState {
    std::u16string virtualName;
    std::u16string virtualStreetName;
    std::int16_t virtualHeading = -1; // -1: none.
    double virtualLatitude = 0.0;
    double virtualLongitude = 0.0;
    std::u16string destinationName;
    std::u16string destinationDescription;
    double destinationLatitude = 0.0;
    double destinationLongitude = 0.0;
    bool virtualSaved = false;
    std::int32_t virtualSideOfStreet = 0;
    bool virtualMarker = true;

    bool operator==(const SavedState&) const = default;
};

// The user's global preferences. The arrival distance and the arrived-near threshold are kept
// in feet; their accessors take the caller's units (Imperial means feet, every other unit
// metres), and the threshold never exceeds the arrival distance.
struct System {
    std::u16string settingsDirectory;
    // "Debug" inside the settings directory, derived by SetSettingsDirectory.
    std::u16string debugDirectory;
    std::u16string mapPOIDirectory;
    RelativeHeadingType headingMode = AheadLeft;
    Units units = Imperial;
    Switch streetNamesDetailed = 0;
    Switch includeSpellDecorators = 0;
    std::int16_t arrivalDistanceFeet = 50;
    std::int16_t arrivedNearFeet = 12;
    SystemDescriptions compassDescriptions = Full;
    Switch searchOtherMapDirectories = 1;
    std::u16string poiAuthor;
    Switch virtualSideOfStreetTracking = 0;
    SavedState saved;

    // Stores the directory and derives the debug directory from it; a directory that already
    // ends in a separator (either kind) gets no second one.
    void SetSettingsDirectory(std::u16string_view directory);
    std::int16_t ArrivalDistance(Units in) const;
    std::int16_t ArrivedNearThreshold(Units in) const;
    // A shorter arrival distance pulls the threshold down with it.
    void SetArrivalDistance(Units in, std::int16_t distance);
    // Never below 0, never above the arrival distance.
    void SetArrivedNearThreshold(Units in, std::int16_t threshold);

    bool operator==(const System&) const = default;
};

// The receiver link: type, port, baud rate, heading averaging, and the last position known.
struct Receiver {
    std::u16string receiverName;
    std::int32_t baudRate = 4800;
    std::u16string portName = u"BSP";
    std::int16_t portNumber = 1;
    GPSType receiverType = GPSTypeNone;
    std::u16string simulatedFile;
    double lastLatitude = 0.0;
    double lastLongitude = 0.0;
    std::int16_t pedestrianAveragingSeconds = 5;
    HeadingAveraging headingAveraging = AutomaticHeadings;
    double inertialUserHeight = 1.803;

    bool operator==(const Receiver&) const = default;
};

// What lookaround announces while the user walks or drives. The category and subcategory to
// scan for are their numbers, with the names the file keeps beside them.
struct Lookaround {
    // The interval is a number of polls; below 5 lookaround would talk constantly, above 300 it
    // would fall silent for minutes.
    static constexpr std::int16_t kMinReportingInterval = 5;
    static constexpr std::int16_t kMaxReportingInterval = 300;

    Switch lookaroundEnabled = 1;
    Switch commercialPOIs = 1;
    Switch userPrivatePOIs = 1;
    Switch intersections = 1;
    std::u16string categoryName;
    std::int16_t categoryNumber = 0;
    std::u16string subCategoryName;
    std::int16_t subCategoryMainNumber = 0;
    std::int16_t subCategoryNumber = 0;
    std::int16_t startDelay = 10;
    Switch talkingLights = 0;
    Switch streetChanges = 1;
    Switch cityChanges = 1;
    Switch mapChanges = 1;
    Directions poiSearchDirection = DirectionAll;
    std::int16_t intersectionMaxSpeed = 50;
    std::int16_t reportingInterval = 12;
    Switch poiIncludeTags = 1;
    Switch poiIncludeDistanceDirection = 0;
    LookaroundRouteOptions routeOptions = LookaroundRouteAndIntersectionsOnly;

    // A negative limit is stored as 0: intersections are then announced only below a speed of 1.
    static std::int16_t MaxSpeedRule(std::int16_t speed) {
        return speed < 0 ? std::int16_t{0} : speed;
    }
    static std::int16_t IntervalRule(std::int16_t polls) {
        return polls < kMinReportingInterval   ? kMinReportingInterval
               : polls > kMaxReportingInterval ? kMaxReportingInterval
                                               : polls;
    }

    bool operator==(const Lookaround&) const = default;
};

// Route behaviour for one mode: waypoint mode, auto-increment, sequential following, numbering.
struct Route {
    WaypointMode waypointMode = WaypointModeTurnsOnly;
    Switch autoIncrement = 1;
    Switch forceSequential = 0;
    Switch numbering = 1;
    SystemDescriptions numberingDescriptions = Full;

    bool operator==(const Route&) const = default;
};

} // namespace gpscore::settings

#endif // GPSCORE_BASE_SETTINGSRECORDS_H_
