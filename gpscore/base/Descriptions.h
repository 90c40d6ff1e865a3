// The words for numbers: compass points, headings, directions relative to the user's heading,
// distances in the user's units, spelled names and the description templates with `$` codes.
// Every text comes from the string resources of a given Utility by id; settings are read on
// each call.
#ifndef GPSCORE_BASE_DESCRIPTIONS_H_
#define GPSCORE_BASE_DESCRIPTIONS_H_

#include <gpslib/GPSLib_enums.h>

#include <cstdint>
#include <initializer_list>
#include <memory>
#include <string>
#include <string_view>

#include "base/FormatText.h"

// The places and route steps the `$` codes speak of, read through their own methods.
struct ILocationObject;
struct IWaypointObject;

namespace gpscore {

class Utility;

// While an inertial receiver's headings are to be given in four directions only, the ahead/left
// words merge the diagonal sectors. Each service's receiver state keeps its own switch and
// counts it here, so that a place belonging to no service follows the process's receivers.
bool AnyReceiverCoarse();
void CountCoarseReceiver(bool on);

// The facts about one target, computed once and then spoken through templates.
struct DistanceHeadingRecord {
    std::int16_t bearing = -1;  // degrees from the user to the target; -1 none
    std::u16string direction;   // the target's direction relative to the user's heading
    std::int32_t distance = -1; // metres (Metric) or feet; -1 none
};

// The words of one Utility: made by a service from its context, or by a value object, which
// belongs to no service, from the process's Utility, held for the wording's life.
class Wording {
public:
    explicit Wording(std::shared_ptr<const Utility> utility) : m_pUtility(std::move(utility)) {}

    // The compass point of `degrees` in the DefaultCompassDescriptions length; above 360 the
    // no-direction text.
    std::u16string CompassPointText(int degrees) const;

    // -1 gives the no-direction text; Compass the compass point; otherwise the decimal digits.
    std::u16string HeadingText(int degrees, HeadingType type) const;

    // The direction of `bearing` seen from `heading` in the HeadingMode style. A heading of exactly
    // -1.0 is no heading. `sideBiased` (route following, waypoints) prefers a side over "behind";
    // `coarse` speaks four directions only.
    std::u16string RelativeDirectionText(double heading, int bearing, bool sideBiased,
                                         bool coarse) const;

    // `distance` in metres (Metric) or feet (other units), spoken precisely or approximately.
    std::u16string DistanceText(std::int32_t distance, bool approximate) const;

    // Wraps a name in the spell decorators when they are on; text already decorated, or empty,
    // is returned unchanged.
    std::u16string Decorate(std::u16string_view text) const;

    // "Waypoint 3": empty without a step, for index -1 or while numbering is off. `mode` 1 reads
    // the first route settings set (GPSMode's), any other value the second (VirtualMode's).
    std::u16string WaypointNumberText(IWaypointObject* step, int mode) const;

    // The step's location name (with its number through template NumberedWaypointName while
    // numbering is on), or the number text for an unnamed step; empty without a step.
    std::u16string WaypointLabel(IWaypointObject* step, int mode) const;

    // Expands template `id` (see ExpandDescriptionText).
    std::u16string ExpandDescriptionTemplate(int id, ILocationObject* subject,
                                             const DistanceHeadingRecord* record,
                                             IWaypointObject* step, int mode,
                                             IWaypointObject* otherStep,
                                             std::u16string_view extra) const;

    // Copies `text`, replacing each `$` code by its value: $$ $C $c $D $Z $d $N $p $F $P $S $W $O
    // $n $q $w $f; unknown codes are dropped. Any object may be null and the record may be absent:
    // the codes that need it then insert nothing.
    std::u16string ExpandDescriptionText(std::u16string_view text, ILocationObject* subject,
                                         const DistanceHeadingRecord* record, IWaypointObject* step,
                                         int mode, IWaypointObject* otherStep,
                                         std::u16string_view extra) const;

private:
    std::u16string Text(int id) const;
    std::u16string Format(int id, std::initializer_list<FormatArg> args) const;
    RelativeHeadingType HeadingMode() const;
    Units CurrentUnits() const;
    std::u16string ClockText(int hour) const;
    std::u16string ComboText(int r, bool sideBiased) const;
    std::u16string LeftRightDegreesText(int h, int bearing, int r) const;
    std::u16string MetricDistanceText(std::int32_t n, bool approximate) const;
    std::u16string FeetDistanceText(std::int32_t n, bool approximate, Units units) const;
    bool NumberingOn(int mode) const;
    std::u16string Label(IWaypointObject* step, int mode, int depth) const;
    std::u16string Expand(std::u16string_view text, ILocationObject* subject,
                          const DistanceHeadingRecord* record, IWaypointObject* step, int mode,
                          IWaypointObject* otherStep, std::u16string_view extra, int depth) const;

    std::shared_ptr<const Utility> m_pUtility;
};

// The name and the description of a place; empty for none.
std::u16string NameOf(ILocationObject* location);
std::u16string DescriptionOf(ILocationObject* location);

} // namespace gpscore

#endif // GPSCORE_BASE_DESCRIPTIONS_H_
