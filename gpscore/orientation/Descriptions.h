// The words for numbers: compass points, headings, directions relative to the user's heading,
// distances in the user's units, spelled names and the description templates with `$` codes.
// Every text comes from the string resources by id; settings are read on each call.
#ifndef GPSCORE_ORIENTATION_DESCRIPTIONS_H_
#define GPSCORE_ORIENTATION_DESCRIPTIONS_H_

#include <cstdint>
#include <string>
#include <string_view>

#include "GPSLib_classes.h"

namespace gpscore {

// While an inertial receiver's headings are to be given in four directions only, the ahead/left
// words merge the diagonal sectors. Each service's receiver state keeps its own switch and
// counts it here, so that a place belonging to no service follows the process's receivers.
bool AnyReceiverCoarse();
void CountCoarseReceiver(bool on);

// The facts about one target, computed once and then spoken through templates.
struct DistanceHeadingRecord {
    SHORT bearing = -1;         // degrees from the user to the target; -1 none
    std::u16string direction;   // the target's direction relative to the user's heading
    std::int32_t distance = -1; // metres (Metric) or feet; -1 none
};

// The compass point of `degrees` in the DefaultCompassDescriptions length; above 360 the
// no-direction text.
std::u16string CompassPointText(int degrees);

// -1 gives the no-direction text; Compass the compass point; otherwise the decimal digits.
std::u16string HeadingText(int degrees, HeadingType type);

// The direction of `bearing` seen from `heading` in the HeadingMode style. A heading of exactly
// -1.0 is no heading. `sideBiased` (route following, waypoints) prefers a side over "behind";
// `coarse` speaks four directions only.
std::u16string RelativeDirectionText(double heading, int bearing, bool sideBiased, bool coarse);

// `distance` in metres (Metric) or feet (other units), spoken precisely or approximately.
std::u16string DistanceText(std::int32_t distance, bool approximate);

// Wraps a name in the spell decorators when they are on; text already decorated, or empty,
// is returned unchanged.
std::u16string Decorate(std::u16string_view text);

// "Waypoint 3": empty without a step, for index -1 or while numbering is off. `mode` 1 reads
// the first route settings set (GPSMode's), any other value the second (VirtualMode's).
std::u16string WaypointNumberText(IWaypointObject* step, int mode);

// The step's location name (with its number through template 21012 while numbering is on), or
// the number text for an unnamed step; empty without a step.
std::u16string WaypointLabel(IWaypointObject* step, int mode);

// Expands template `id` (see ExpandDescriptionText).
std::u16string ExpandDescriptionTemplate(int id, ILocationObject* subject,
                                         const DistanceHeadingRecord* record, IWaypointObject* step,
                                         int mode, IWaypointObject* otherStep,
                                         std::u16string_view extra);

// Copies `text`, replacing each `$` code by its value: $$ $C $c $D $Z $d $N $p $F $P $S $W $O
// $n $q $w $f; unknown codes are dropped. Any object may be null and the record may be absent:
// the codes that need it then insert nothing.
std::u16string ExpandDescriptionText(std::u16string_view text, ILocationObject* subject,
                                     const DistanceHeadingRecord* record, IWaypointObject* step,
                                     int mode, IWaypointObject* otherStep,
                                     std::u16string_view extra);

// The name and the description of a place; empty for none.
std::u16string NameOf(ILocationObject* location);
std::u16string DescriptionOf(ILocationObject* location);

} // namespace gpscore

#endif // GPSCORE_ORIENTATION_DESCRIPTIONS_H_
