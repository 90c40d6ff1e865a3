#include "route/RouteTexts.h"

#include <cmath>

#include "base/Descriptions.h"
#include "base/Utility.h"
#include "formats/Geodesy.h"
#include "resources/StringIds.h"

namespace gpscore {

namespace {

constexpr double kMetresPerMile = 1609.344;
constexpr double kFeetPerMile = 5280.0;
// A turn whose heading lies this close to the traveller's is nearly straight on.
constexpr int kStraightOnDegrees = 23;

} // namespace

std::u16string TravelTimeText(const Utility& utility, double distance, bool metric, double speedMph,
                              bool vehicle) {
    if (!(speedMph >= kStandingMph) || !std::isfinite(speedMph))
        speedMph = vehicle ? kDrivingMph : kWalkingMph;
    if (!(distance > 0.0) || !std::isfinite(distance)) distance = 0.0;
    const double miles = distance / (metric ? kMetresPerMile : kFeetPerMile);
    const double minutes = std::round(miles / speedMph * 60.0);
    // Beyond any trip worth timing; keeps the integer conversions defined.
    const long whole = minutes < 1e7 ? static_cast<long>(minutes) : 10000000L;
    if (whole < 1) return utility.GetString(ids::kLessThanAMinute);
    if (whole == 1) return utility.GetString(ids::kAboutOneMinute);
    if (whole < 60) return utility.FormatString(ids::kAboutMinutes, {std::int64_t{whole}});
    return utility.FormatString(ids::kAboutHoursMinutes,
                                {std::int64_t{whole / 60}, std::int64_t{whole % 60}});
}

std::u16string TurningInfoText(const std::shared_ptr<const Utility>& utility, bool turningPoint,
                               std::int16_t turnCompleteHeading, std::int16_t orientationReverse,
                               std::int16_t heading) {
    if (utility == nullptr || !turningPoint || turnCompleteHeading == -1) return {};
    const int h = heading != -1 ? heading : (orientationReverse + 180) % 360;
    const std::u16string phrase =
        Wording(utility).RelativeDirectionText(h, turnCompleteHeading, true, false);
    const int id = geo::HeadingsWithin(h, turnCompleteHeading, kStraightOnDegrees) ? ids::kContinue
                                                                                   : ids::kTurn;
    return utility->FormatString(id, {std::u16string_view(phrase)});
}

std::u16string ExpandWaypointDescription(std::u16string_view text,
                                         const WaypointDescriptionPieces& pieces) {
    std::u16string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != u'$' || i + 1 >= text.size()) {
            out += text[i];
            continue;
        }
        const char16_t code = text[++i];
        const std::u16string* value = nullptr;
        bool skipsComma = false;
        switch (code) {
        case u'$':
            out += u'$';
            continue;
        case u'd':
            value = &pieces.distance;
            skipsComma = true;
            break;
        case u'D':
            value = &pieces.heading;
            skipsComma = true;
            break;
        case u'W':
            value = &pieces.label;
            skipsComma = true;
            break;
        case u'T':
            value = &pieces.turn;
            break;
        case u'E':
            value = &pieces.eta;
            break;
        case u'U':
            value = &pieces.user;
            break;
        default:
            continue; // An unknown code is dropped.
        }
        if (!value->empty()) {
            out += *value;
        } else if (skipsComma) {
            if (i + 1 < text.size() && text[i + 1] == u',') {
                ++i;
                if (i + 1 < text.size() && text[i + 1] == u' ') ++i;
            }
        } else {
            if (!out.empty() && out.back() == u' ') out.pop_back();
            if (!out.empty() && (out.back() == u',' || out.back() == u'.')) out.pop_back();
        }
    }
    return out;
}

WaypointRecord AsMetGoingDown(const std::vector<WaypointRecord>& records, int index) {
    WaypointRecord met = records[static_cast<std::size_t>(index - 1)];
    const WaypointRecord original = met;
    // Arriving from the waypoint after it: the heading is the way it is left, turned round.
    met.streetOrientationReverse = original.streetOrientationForward;
    met.streetOrientationForward = original.streetOrientationReverse;
    met.turnCompleteHeading = original.turningPoint && original.turnCompleteHeading != -1 &&
                                      original.streetOrientationReverse != -1
                                  ? original.streetOrientationReverse
                                  : std::int16_t{-1};
    met.streetNameForward =
        index > 1 ? records[static_cast<std::size_t>(index - 2)].streetNameForward : u"";
    return met;
}

} // namespace gpscore
