// Route files: the XML file the service saves its active route to and loads it from. It keeps the
// route's configuration and every waypoint field by field, so that a loaded route is the saved
// one. Written line by line by Write; read with TinyXML-2 by Read.
//
//   <?xml version="1.0"?>
//   <!-- ownership comment -->
//   <!-- version text -->
//
//   <ROUTE>
//   	<Version>4</Version>            (then RouteType ... VehicleMode, one per line)
//   	<WP>
//   		<Nm>name</Nm>               (then X Y Tn Des St Lns Tp Fwd Rvs Spd Dst Idx Crs Ss)
//   	</WP>
//   </ROUTE>
//
// Errors are values: a file that is not XML, has another root, a version this reader does not
// know, a number that is not one or lies outside its field's range, or more waypoints than a route
// holds is refused whole with a message, never half-read. Unknown elements are skipped; a missing
// one takes its default.
#ifndef FORMATS_ROUTEFILE_H_
#define FORMATS_ROUTEFILE_H_

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace gpslib::routefile {

// The version written; files of versions 1 to this one are read.
inline constexpr int kVersion = 4;
// A route counts its waypoints in 16 bits.
inline constexpr std::size_t kMaxWaypoints = 32767;
// Files above this size are refused before they are parsed.
inline constexpr std::size_t kMaxFileBytes = 64u << 20;

// The route's configuration as whole numbers (the values of the route enumerations); the
// defaults are those a file without the element gets.
struct Configuration {
    int routeType = 0;                // RouteTypeUnknown .. RouteTypeFromVirtualExploration (0..7)
    int waypointMode = 0;             // WaypointModeAll .. WaypointModeSystem (0..2)
    int initialHeading = -1;          // -1 or 0..359
    int freewayPreference = 0;        // 0..3
    int vehicleTurnPreference = 2;    // 1..3 (favours right)
    int pedestrianTurnPreference = 0; // 0..1
    int roundaboutPreference = 0;     // 0..2
    int tollRoadPreference = 0;       // 0..2
    int vehicleMode = 0;              // 0..2
};

// One waypoint. Texts are UTF-8.
struct Waypoint {
    std::string name;           // Nm
    double latitude = 0.0;      // X, -90..90
    double longitude = 0.0;     // Y, -180..180
    bool turningPoint = false;  // Tn: "1" or "0"
    std::string description;    // Des
    std::string streetName;     // St: street taken when leaving
    int lanes = 0;              // Lns, 0..32767
    int pointType = 0;          // Tp: 1 user point, 0 routing point
    int orientationForward = 0; // Fwd, -1..359
    int orientationReverse = 0; // Rvs, -1..359
    int speed = 0;              // Spd, km/h, 0..32767
    double distance = 0.0;      // Dst, metres from the last waypoint, >= 0
    int featureIndex = -1;      // Idx, -1..32767
    std::string crossStreet;    // Crs
    int sideOfStreet = 0;       // Ss: 0 unknown, 1 left, 2 right
};

struct Route {
    Configuration configuration;
    std::vector<Waypoint> waypoints;
};

// The file's text. `ownership` and `versionText` are the texts of the two comment lines (a "--"
// inside them is written "- -", which a comment may not hold). Texts pass through Escape.
std::string Write(const Route& route, std::string_view ownership, std::string_view versionText);

// Element text as the file keeps it: "&" "<" ">" escaped, in that order; control characters
// other than tab, line feed and carriage return (which XML cannot hold) become spaces.
std::string Escape(std::string_view text);

// Parses a whole file. On failure returns false, leaves `route` empty and sets `error` to a
// message such as "line 12: <Lns> is not a whole number from 0 to 32767".
bool Read(std::string_view xml, Route* route, std::string* error);

} // namespace gpslib::routefile

#endif // FORMATS_ROUTEFILE_H_
