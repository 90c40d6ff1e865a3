#include "orientation/Crossings.h"

#include <algorithm>
#include <cmath>

#include "base/Descriptions.h"
#include "base/ServiceContext.h"
#include "base/Utility.h"
#include "formats/Geodesy.h"
#include "orientation/WhereAmI.h"
#include "resources/StringIds.h"

namespace gpscore {

namespace {

constexpr std::u16string_view kJoiner = u", ";

bool Present(CrossingFeature f) {
    return f == CrossingFeaturePresent;
}

// The kerb of each kind, alone and at both ends.
int KerbId(CrossingKerb kerb, bool both) {
    switch (kerb) {
    case CrossingKerbRaised:
        return both ? ids::kKerbsRaised : ids::kKerbRaised;
    case CrossingKerbLowered:
        return both ? ids::kKerbsLowered : ids::kKerbLowered;
    case CrossingKerbFlush:
        return both ? ids::kKerbsFlush : ids::kKerbFlush;
    default:
        return 0;
    }
}

} // namespace

std::u16string Crossings::Text(int id) const {
    return m_context.String(id);
}

std::vector<CrossingAnswer> Crossings::AtIntersection(const Place& place,
                                                      std::int16_t heading) const {
    const IntersectionAnswer junction = m_whereAmI.NearestIntersection(place, heading, -1);
    if (!junction.Found()) return {};
    return Near(junction.latitude, junction.longitude, kJunctionMetres, place);
}

std::vector<CrossingAnswer> Crossings::Near(double latitude, double longitude, double metres,
                                            const Place& from) const {
    if (!std::isfinite(metres) || metres <= 0) return {};
    std::vector<MapCrossing> found = m_context.Map().CrossingsNear(
        latitude, longitude, std::min(metres, kMostMetres), m_whereAmI.StreetWords());
    const geo::Position here{from.latitude, from.longitude};
    std::vector<CrossingAnswer> answers;
    for (MapCrossing& c : found) {
        const geo::Position at{c.latitude, c.longitude};
        c.distance = geo::DistanceInUnits(here, at, geo::kUnitsMetric);
        c.bearing = static_cast<short>(geo::BearingDegrees(here, at));
        answers.push_back({c, Describe(c)});
    }
    std::stable_sort(answers.begin(), answers.end(), [](const auto& a, const auto& b) {
        return a.crossing.distance < b.crossing.distance;
    });
    return answers;
}

std::optional<CrossingAnswer> Crossings::Ahead(const Place& place, std::int16_t heading) const {
    if (heading < 0 || heading > 359) return std::nullopt;
    auto c = m_context.Map().NextCrossingAhead(place.latitude, place.longitude, heading,
                                               kAheadMetres, m_whereAmI.StreetWords());
    if (!c) return std::nullopt;
    return CrossingAnswer{*c, Describe(*c)};
}

std::vector<CrossingAnswer> Crossings::OnRoute() const {
    std::vector<CrossingAnswer> answers;
    for (const MapCrossing& c : m_context.Map().RouteCrossings())
        answers.push_back({c, Describe(c)});
    return answers;
}

std::u16string Crossings::Describe(const MapCrossing& c) const {
    const Utility* utility = m_context.m_pUtility.get();
    if (utility == nullptr) return {};
    std::u16string text = c.street.empty() ? Text(ids::kWayCrossing)
                                           : utility->FormatString(ids::kCrossingOf, {c.street});
    auto add = [&text](std::u16string_view part) {
        if (part.empty()) return;
        text += kJoiner;
        text += part;
    };
    if (c.length > 0)
        add(Wording(m_context.m_pUtility)
                .DistanceText(geo::MetresInUnits(c.length, m_context.CurrentUnits()), false));
    add(ControlText(c));
    // A button that works the signals is told with them; one on a crossing without known
    // signals is told on its own.
    if (Present(c.button)) add(Text(ids::kCrossingPushButton));
    if (c.tactile != CrossingFeatureUnknown)
        add(Text(Present(c.tactile) ? ids::kCrossingTactilePaving : ids::kCrossingNoTactilePaving));
    if (Present(c.island)) add(Text(ids::kCrossingIsland));
    add(KerbsText(c));
    return text;
}

std::u16string Crossings::ControlText(const MapCrossing& c) const {
    switch (c.control) {
    case CrossingTrafficSignals:
        if (Present(c.sound) && Present(c.vibration))
            return Text(ids::kCrossingSignalsAudibleVibrating);
        if (Present(c.sound)) return Text(ids::kCrossingSignalsAudible);
        if (Present(c.vibration)) return Text(ids::kCrossingSignalsVibrating);
        if (c.sound == CrossingFeatureAbsent) return Text(ids::kCrossingSignalsSilent);
        return Text(ids::kCrossingSignals);
    case CrossingMarked:
        return Text(ids::kCrossingMarked);
    case CrossingUnmarked:
        return Text(ids::kCrossingUnmarked);
    default:
        return {};
    }
}

std::u16string Crossings::KerbsText(const MapCrossing& c) const {
    const CrossingKerb a = c.kerbs[0], b = c.kerbs[1];
    if (a == CrossingKerbUnknown && b == CrossingKerbUnknown) return {};
    if (a == b) return Text(KerbId(a, true));
    const Utility* utility = m_context.m_pUtility.get();
    if (a == CrossingKerbUnknown || b == CrossingKerbUnknown) {
        const std::u16string kerb = Text(KerbId(a == CrossingKerbUnknown ? b : a, false));
        return utility->FormatString(ids::kKerbAtOneEnd, {kerb});
    }
    const std::u16string first = Text(KerbId(a, false)), second = Text(KerbId(b, false));
    return utility->FormatString(ids::kKerbsAtEnds, {first, second});
}

std::u16string Crossings::Sentences(const std::vector<CrossingAnswer>& crossings) {
    std::u16string text;
    for (const CrossingAnswer& c : crossings) {
        if (c.description.empty()) continue;
        if (!text.empty()) text += u' ';
        text += c.description;
        text += u'.';
    }
    return text;
}

} // namespace gpscore
