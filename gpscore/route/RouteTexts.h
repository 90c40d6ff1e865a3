// The spoken texts of routes that more than one part composes: the travel time, the turn to
// make at a waypoint, the turn described for arriving at it, and the waypoint description with
// its own template codes.
#ifndef GPSCORE_ROUTE_ROUTETEXTS_H_
#define GPSCORE_ROUTE_ROUTETEXTS_H_

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include <gpslib/GPSLib_enums.h>

#include "route/WaypointRecord.h"

namespace gpscore {

class Utility;

// Speeds are miles per hour, the receiver's own measure. Below this a traveller counts as
// standing, and the time is worked out at a typical pace instead: walking, or town driving.
inline constexpr double kStandingMph = 0.5;
inline constexpr double kWalkingMph = 3.0;
inline constexpr double kDrivingMph = 30.0;

// The time to travel `distance` (metres when `metric`, else feet) at `speedMph`: "less than a
// minute", "about 1 minute", "about N minutes", "about H hours M minutes".
std::u16string TravelTimeText(const Utility& utility, double distance, bool metric, double speedMph,
                              bool vehicle);

// The turn at a waypoint seen from heading `heading` (-1: arriving along the street it is reached
// by): "Turn left", or "Continue ahead" when the heading already points nearly where the turn
// leads. Empty for a waypoint that is no turn or has no heading after the turn.
std::u16string TurningInfoText(const std::shared_ptr<const Utility>& utility, bool turningPoint,
                               std::int16_t turnCompleteHeading, std::int16_t orientationReverse,
                               std::int16_t heading);

// The waypoint `index` (1-based) of `records` as met when travelling down the list (from the last
// waypoint toward the first) instead of up it: reached along the street it is left by, turning
// back onto the street it is reached by (that of the waypoint before it). Up the list, the record
// itself.
WaypointRecord AsMetGoingDown(const std::vector<WaypointRecord>& records, int index);

// The pieces of a waypoint description (each may be empty).
struct WaypointDescriptionPieces {
    std::u16string distance; // $d
    std::u16string heading;  // $D
    std::u16string label;    // $W
    std::u16string turn;     // $T
    std::u16string eta;      // $E
    std::u16string user;     // $U
};

// Expands `text` with the waypoint codes ($$ a dollar sign, any other code dropped). An empty $d,
// $D or $W also drops the ", " that follows it; an empty $T, $E or $U drops one trailing space and
// then a trailing comma or full stop, so that no empty piece leaves its punctuation behind.
std::u16string ExpandWaypointDescription(std::u16string_view text,
                                         const WaypointDescriptionPieces& pieces);

} // namespace gpscore

#endif // GPSCORE_ROUTE_ROUTETEXTS_H_
