#include "orientation/VirtualWalker.h"

#include <algorithm>
#include <cmath>
#include <optional>

#include "address/AddressSearch.h"
#include "base/Descriptions.h"
#include "base/LocationObject.h"
#include "base/ServiceContext.h"
#include "base/StartLocations.h"
#include "base/SystemSettingsObject.h"
#include "base/Utility.h"
#include "formats/Geodesy.h"
#include "poi/PersonalPlaces.h"
#include "resources/StringIds.h"

namespace gpscore {

using gpslib::ComPtr;

namespace {

// A walker this close to an intersection stands at it (the corners of a street a few metres
// wide, and the clustered crossings of a dual carriageway).
constexpr double kAtIntersectionMetres = 12.0;
// Whether a heading fits a branch, and whether a step changed the walking direction.
constexpr int kDirectionTolerance = 50;

bool ValidHeading(SHORT heading) {
    return heading >= 0 && heading <= 359;
}

double Metres(double lat1, double lon1, double lat2, double lon2) {
    return geo::DistanceInUnits({lat1, lon1}, {lat2, lon2}, geo::kUnitsMetric);
}

// The smallest turn, either way, from `heading` to `bearing`: 0 to 180 degrees.
int TurnBetween(SHORT heading, SHORT bearing) {
    const int clockwise = geo::RelativeAngle(heading, bearing);
    return std::min(clockwise, 360 - clockwise);
}

// The set turned so that the branch nearest `heading` comes first; the clockwise order stays.
void StartNearest(std::vector<CrossStreet>* branches, SHORT heading) {
    if (branches->empty() || !ValidHeading(heading)) return;
    std::size_t best = 0;
    int bestAngle = 361;
    for (std::size_t i = 0; i < branches->size(); ++i) {
        const int angle = TurnBetween(heading, (*branches)[i].bearing);
        if (angle < bestAngle) {
            bestAngle = angle;
            best = i;
        }
    }
    std::rotate(branches->begin(), branches->begin() + static_cast<std::ptrdiff_t>(best),
                branches->end());
}

// The text without a full stop at its end, to go inside a sentence.
std::u16string WithoutStop(std::u16string text) {
    while (!text.empty() && (text.back() == u'.' || text.back() == u' '))
        text.pop_back();
    return text;
}

} // namespace

// ---------------------------------------------------------------------------------------------
// The walker object and its small accessors.

void VirtualWalker::Create() {
    m_state = std::make_shared<WalkerState>();
    m_bImpliedHeading = false;
    m_crossStreets.clear();
    m_nSelectedBranch = -1;
    m_nBranchHeading = -1;
    m_previous = Snapshot{};
    m_bPlacedWithoutHeading = false;
    m_bAtIntersection = false;
    m_bstrCurrentMessage.clear();
}

void VirtualWalker::Release() {
    m_state.reset();
    m_crossStreets.clear();
    m_previous = Snapshot{};
}

std::optional<Place> VirtualWalker::Where() const {
    return m_state ? std::optional<Place>(m_state->place) : std::nullopt;
}

std::int16_t VirtualWalker::Heading() const {
    return m_state ? m_state->heading : std::int16_t{-1};
}

SideOfStreet VirtualWalker::Side() const {
    return m_state ? m_state->side : SideUnknown;
}

void VirtualWalker::SetHeading(std::int16_t heading) {
    if (!m_state) return;
    m_state->Face(heading);
    m_bImpliedHeading = false;
}

void VirtualWalker::SetImpliedHeading(std::int16_t heading) {
    if (!m_state) return;
    m_state->Face(heading);
    m_bImpliedHeading = true;
}

bool VirtualWalker::SideTracking() const {
    VARIANT_BOOL tracking = VARIANT_FALSE;
    if (auto settings = m_context.SystemSettings())
        tracking = settings->virtualSideOfStreetTracking;
    return tracking != 0;
}

MapWords VirtualWalker::Words() const {
    return m_whereAmI.IntersectionWords(false);
}

std::u16string VirtualWalker::Answer(std::u16string text) {
    m_bstrCurrentMessage = std::move(text);
    return m_bstrCurrentMessage;
}

void VirtualWalker::MoveTo(double latitude, double longitude) {
    if (!m_state) return;
    m_state->place.latitude = latitude;
    m_state->place.longitude = longitude;
}

VirtualWalker::Snapshot VirtualWalker::Take() const {
    Snapshot s;
    if (!m_state || !m_state->place.HasPosition()) return s;
    s.valid = true;
    s.latitude = m_state->place.latitude;
    s.longitude = m_state->place.longitude;
    s.name = m_state->place.name;
    s.street = m_state->street;
    s.heading = m_state->heading;
    s.side = m_state->side;
    s.mustCross = m_state->mustCross;
    s.branches = m_crossStreets;
    s.selected = m_nSelectedBranch;
    s.branchHeading = m_nBranchHeading;
    s.atIntersection = m_bAtIntersection;
    return s;
}

void VirtualWalker::Put(const Snapshot& s) {
    if (!m_state) return;
    MoveTo(s.latitude, s.longitude);
    m_state->place.name = s.name;
    m_state->street = s.street;
    m_state->Face(s.heading);
    m_bImpliedHeading = false;
    m_state->side = s.side;
    m_state->mustCross = s.mustCross;
    m_crossStreets = s.branches;
    m_nSelectedBranch = s.selected;
    m_nBranchHeading = s.branchHeading;
    m_bAtIntersection = s.atIntersection;
}

// ---------------------------------------------------------------------------------------------
// Placement.

void VirtualWalker::Set(const std::optional<Place>& location, std::int16_t heading) {
    PlaceAt(location, heading, u"", u"", true);
    if (m_state) m_state->side = RightSide;
}

void VirtualWalker::SetByPOI(const Place& location, std::u16string_view name,
                             std::u16string_view street) {
    PlaceAt(location, -1, name, street, true);
}

bool VirtualWalker::SetByAddress(const AddressPlace& address) {
    if (!address.HasPosition() || !std::isfinite(address.latitude) ||
        !std::isfinite(address.longitude) || std::fabs(address.latitude) > 90.0 ||
        std::fabs(address.longitude) > 180.0)
        return false;
    PlaceAt(Place{address.latitude, address.longitude, {}, {}}, -1, address.SpokenName(u""),
            address.street, true);
    return true;
}

void VirtualWalker::PlaceOnRoute(const Place& location, std::int16_t heading) {
    PlaceAt(location, heading, location.name, u"", false);
}

bool VirtualWalker::SetToMap(std::u16string_view mapName) {
    std::optional<StartLocation> start = FindStartLocation(mapName);
    if (!start) return false;
    PlaceAt(Place{start->latitude, start->longitude, {}, {}}, -1, mapName, u"", true);
    return true;
}

void VirtualWalker::PlaceAt(const std::optional<Place>& location, std::int16_t heading,
                            std::u16string_view name, std::u16string_view description,
                            bool addToHistory) {
    if (!m_state) return;
    m_previous = Take();
    m_nBranchHeading = heading;
    if (!location) return;

    m_state->place = Place{location->latitude, location->longitude, std::u16string(name),
                           std::u16string(description)};
    m_state->street = description;
    m_state->side = SideUnknown;
    m_state->mustCross = false;
    m_crossStreets.clear();
    m_nSelectedBranch = -1;
    m_bAtIntersection = false;

    if (heading != -1) {
        m_state->Face(heading);
        m_bImpliedHeading = false;
        const std::int16_t stored = m_state->heading;
        m_nBranchHeading = stored;
        if (LookUp(stored)) {
            StartNearest(&m_crossStreets, stored);
            m_nSelectedBranch = 0;
            m_state->street = m_crossStreets.front().name;
            m_state->mustCross = m_crossStreets.front().mustCross;
            m_bstrCurrentMessage.clear();
        } else {
            Answer(m_context.String(ids::kNoStreetsHere));
        }
        m_bPlacedWithoutHeading = false;
    } else {
        // The street found gives the walker a direction to start from, as a guess only.
        if (LookUp(-1)) {
            const std::u16string street = m_state->street;
            for (const gpscore::CrossStreet& branch : m_crossStreets) {
                if (branch.name != street || !ValidHeading(branch.bearing)) continue;
                m_nBranchHeading = branch.bearing;
                SetImpliedHeading(branch.bearing);
                break;
            }
        }
        m_bPlacedWithoutHeading = true;
    }
    if (addToHistory) {
        // A place without a name of its own is remembered by its street.
        m_places.AddToHistory(m_state->place,
                              name.empty() ? std::u16string_view(m_state->street) : name);
    }
}

bool VirtualWalker::LookUp(std::int16_t heading) {
    m_crossStreets.clear();
    m_bAtIntersection = false;
    const MapQueries map = m_context.Map();
    if (!map.HasEngine() || !m_state || !m_state->place.HasPosition()) return false;
    const double latitude = m_state->place.latitude, longitude = m_state->place.longitude;

    const std::u16string street =
        map.StreetAt(latitude, longitude, heading, m_whereAmI.StreetWords());
    if (street.empty()) return false;
    m_state->street = street;

    // At an intersection the walker takes its branches; between two, the street's two ways.
    // The walker stays where it was put: a step from an intersection starts at the
    // intersection's own position, which every branch carries.
    auto branches = map.NextCrossStreets(latitude, longitude, street, -1, Words());
    if (branches && !branches->empty() &&
        Metres(latitude, longitude, branches->front().latitude, branches->front().longitude) <=
            kAtIntersectionMetres) {
        m_crossStreets = std::move(*branches);
        m_bAtIntersection = true;
        return true;
    }
    const std::int16_t bearing = map.StreetBearing(latitude, longitude, heading);
    if (!ValidHeading(bearing)) return false;
    gpscore::CrossStreet onward;
    onward.name = street;
    onward.latitude = latitude;
    onward.longitude = longitude;
    onward.bearing = bearing;
    onward.side = RightSide;
    gpscore::CrossStreet back = onward;
    back.bearing = static_cast<SHORT>((bearing + 180) % 360);
    back.side = LeftSide;
    m_crossStreets = {onward, back};
    return true;
}

// ---------------------------------------------------------------------------------------------
// Movement.

bool VirtualWalker::HeadingFitsStreet(std::int16_t heading) const {
    if (heading == -1 || m_bPlacedWithoutHeading || m_crossStreets.empty()) return false;
    for (const gpscore::CrossStreet& branch : m_crossStreets)
        if (geo::HeadingsWithin(heading, branch.bearing, kDirectionTolerance)) return true;
    return false;
}

bool VirtualWalker::Move(bool crossing, std::u16string* message) {
    const MapQueries map = m_context.Map();
    if (!m_state || !m_state->place.HasPosition()) {
        *message = m_context.String(ids::kNoStreetsHere);
        return false;
    }
    const double latitude = m_state->place.latitude, longitude = m_state->place.longitude;
    const Snapshot before = Take();
    std::optional<std::vector<gpscore::CrossStreet>> found;

    if (m_bAtIntersection && !crossing) {
        if (m_nSelectedBranch < 0 || m_nSelectedBranch >= static_cast<int>(m_crossStreets.size())) {
            *message = m_context.String(ids::kCannotGoForward);
            return false;
        }
        const gpscore::CrossStreet& branch = m_crossStreets[m_nSelectedBranch];
        if (branch.kind == 2) {
            *message = m_context.String(ids::kNoWayOn);
            return false;
        }
        found = map.NextCrossStreets(branch.latitude, branch.longitude, branch.name, branch.bearing,
                                     Words());
    } else {
        std::int16_t heading = Heading();
        if (!crossing && m_nSelectedBranch >= 0 &&
            m_nSelectedBranch < static_cast<int>(m_crossStreets.size()))
            heading = m_crossStreets[m_nSelectedBranch].bearing;
        if (!crossing && !HeadingFitsStreet(heading)) {
            m_state->mustCross = false;
            *message = m_context.String(m_bPlacedWithoutHeading ? ids::kNoDirectionYet
                                                                : ids::kCannotGoForward);
            return false;
        }
        const std::u16string street = m_state->street;
        found = crossing ? map.MoveAcrossStreet(latitude, longitude, street, heading, before.side,
                                                Words())
                         : map.MoveToNextIntersection(latitude, longitude, street, heading,
                                                      before.side, Words());
    }
    if (!found) {
        *message = m_context.String(ids::kNoMapAnswer);
        return false;
    }
    std::vector<gpscore::CrossStreet> branches = std::move(*found);
    if (branches.empty()) {
        m_state->mustCross = false;
        *message = m_context.String(ids::kCannotGoForward);
        return false;
    }
    // A crossing keeps the walker where it was along the street: at its intersection, or
    // between two.
    const bool atIntersection = crossing ? m_bAtIntersection : true;
    *message = Arrive(std::move(branches), atIntersection, crossing, before);
    return true;
}

std::u16string VirtualWalker::Arrive(std::vector<gpscore::CrossStreet> branches,
                                     bool atIntersection, bool crossed, const Snapshot& before) {
    m_crossStreets = std::move(branches);
    m_nSelectedBranch = 0;
    m_bAtIntersection = atIntersection;
    m_bPlacedWithoutHeading = false;
    const gpscore::CrossStreet branch = m_crossStreets.front();
    MoveTo(branch.latitude, branch.longitude);
    m_state->place.name = branch.name;
    m_state->street = branch.name;
    m_state->Face(branch.bearing);
    m_bImpliedHeading = false;
    m_nBranchHeading = branch.bearing;
    m_state->side = branch.side;
    m_state->mustCross = branch.mustCross;

    const Utility& utility = *m_context.m_pUtility;
    Wording words(m_context.m_pUtility);
    const std::u16string compass = words.CompassPointText(branch.bearing);
    const std::u16string street = SidePrefix() + words.Decorate(branch.name);
    const bool sideForm = SideTracking() && Side() != SideUnknown;
    bool others = false;
    for (const gpscore::CrossStreet& b : m_crossStreets)
        others = others || b.name != branch.name;
    const bool changed = branch.name != before.street || before.heading == -1 ||
                         !geo::HeadingsWithin(branch.bearing, before.heading, kDirectionTolerance);
    std::u16string text;
    if (crossed) {
        // Across the street the walker faces the same way on the other side.
        text = utility.FormatString(ids::kFacingOn, {compass, street}) + u".";
        if (!atIntersection)
            text += u" " + m_context.String(ids::kBetweenIntersections);
        else if (others)
            text += u" " + m_context.String(ids::kStreetsHere) +
                    m_whereAmI.CrossingText(branch.name, branch.bearing, m_crossStreets, false) +
                    u".";
    } else if (!atIntersection) {
        text = utility.FormatString(ids::kFacingOn, {compass, street}) + u". " +
               m_context.String(ids::kBetweenIntersections);
    } else if (m_crossStreets.size() == 1) {
        text = m_context.String(ids::kDeadEnd) + u". " +
               utility.FormatString(ids::kFacingOn, {compass, street}) + u".";
    } else if (others) {
        text = utility.FormatString(sideForm ? ids::kAtCornerFacing : ids::kAtIntersectionFacing,
                                    {compass, street}) +
               u". " + m_context.String(ids::kStreetsHere) +
               m_whereAmI.CrossingText(branch.name, branch.bearing, m_crossStreets, false) + u".";
    } else {
        if (changed) text = utility.FormatString(ids::kFacingOn, {compass, street}) + u". ";
        text += m_context.String(ids::kStreetContinues);
    }
    return text;
}

std::u16string VirtualWalker::SidePrefix() const {
    if (!SideTracking()) return {};
    const SideOfStreet side = Side();
    if (side == LeftSide) return m_context.String(ids::kLeftSideOf) + u" ";
    if (side == RightSide) return m_context.String(ids::kRightSideOf) + u" ";
    return {};
}

std::u16string VirtualWalker::BranchText(const gpscore::CrossStreet& branch) const {
    if (branch.name.empty()) return {};
    Wording words(m_context.m_pUtility);
    return SidePrefix() + words.Decorate(branch.name) + u", " +
           words.CompassPointText(branch.bearing);
}

std::u16string VirtualWalker::Forward() {
    if (!m_state || m_context.m_pUtility == nullptr) return {};
    const Snapshot before = Take();
    std::u16string message;
    bool moved = false;
    if (m_state->mustCross) {
        if (SideTracking()) return Answer(m_context.String(ids::kCrossFirst));
        if (!Move(true, &message)) return Answer(message);
        moved = true;
    }
    moved = Move(false, &message) || moved;
    if (moved) m_previous = before;
    return Answer(message);
}

std::u16string VirtualWalker::CrossStreet() {
    if (!m_state || m_context.m_pUtility == nullptr) return {};
    if (!m_state->mustCross) return Answer(m_context.String(ids::kNothingToCross));
    const Snapshot before = Take();
    std::u16string message;
    if (Move(true, &message)) m_previous = before;
    return Answer(message);
}

std::u16string VirtualWalker::Turn(int direction) {
    if (!m_state || m_context.m_pUtility == nullptr) return {};
    const int n = static_cast<int>(m_crossStreets.size());
    if (n == 0) return Answer(m_context.String(ids::kNoStreetsHere));
    int index = 0;
    if (m_nSelectedBranch < 0 || m_nSelectedBranch >= n) {
        if (m_nBranchHeading == -1) {
            index = direction > 0 ? 0 : n - 1;
        } else {
            // The nearest branch clockwise (a branch straight ahead included) to the right,
            // the nearest anticlockwise to the left.
            int best = 361;
            for (int i = 0; i < n; ++i) {
                const int bearing = m_crossStreets[i].bearing;
                int angle = direction > 0 ? (bearing - m_nBranchHeading + 720) % 360
                                          : (m_nBranchHeading - bearing + 720) % 360;
                if (direction < 0 && angle == 0) angle = 360;
                if (angle < best) {
                    best = angle;
                    index = i;
                }
            }
        }
    } else {
        index = m_nSelectedBranch + direction;
    }
    auto wrap = [n](int i) { return ((i % n) + n) % n; };
    index = wrap(index);
    if (m_crossStreets[index].skipped) index = wrap(index + direction);

    m_nSelectedBranch = index;
    m_bPlacedWithoutHeading = false;
    const gpscore::CrossStreet& branch = m_crossStreets[index];
    SideOfStreet side = branch.side;
    if (n == 1 && side == LeftSide)
        side = RightSide;
    else if (n == 1 && side == RightSide)
        side = LeftSide;
    m_state->side = side;
    m_state->mustCross = branch.mustCross;
    m_nBranchHeading = branch.bearing;
    m_state->Face(branch.bearing);
    m_bImpliedHeading = false;
    m_state->street = branch.name;

    std::u16string text = n == 1 ? m_context.String(ids::kDeadEnd) + u" " : std::u16string();
    const std::u16string described = BranchText(branch);
    if (described.empty()) return Answer(m_context.String(ids::kNoStreetsHere));
    return Answer(text + described);
}

std::u16string VirtualWalker::Backup() {
    if (!m_state || m_context.m_pUtility == nullptr) return {};
    if (!m_previous.valid) return Answer(m_context.String(ids::kNothingToGoBackTo));
    const Snapshot back = m_previous;
    m_previous = Snapshot{};
    Put(back);
    const Utility& utility = *m_context.m_pUtility;
    Wording words(m_context.m_pUtility);
    std::u16string text;
    if (!back.street.empty() && back.heading != -1)
        text = utility.FormatString(ids::kBackOnFacing, {words.Decorate(back.street),
                                                         words.CompassPointText(back.heading)});
    else if (!back.street.empty())
        text = utility.FormatString(ids::kBackOn, {words.Decorate(back.street)});
    else
        text = m_context.String(ids::kBackAtPrevious);
    bool others = false;
    for (const gpscore::CrossStreet& b : back.branches)
        others = others || b.name != back.street;
    if (others)
        text += m_context.String(ids::kStreetsHere) +
                m_whereAmI.CrossingText(back.street, back.heading, back.branches, false) + u".";
    return Answer(WithoutStop(text) + u".");
}

std::u16string VirtualWalker::OnStreetMessage() {
    if (!m_state || m_context.m_pUtility == nullptr) return {};
    const Utility& utility = *m_context.m_pUtility;
    const std::int16_t h = Heading();
    const std::u16string compass = h == -1 ? m_context.String(ids::kUnknownDirection)
                                           : Wording(m_context.m_pUtility).HeadingText(h, Compass);
    const Place placed = m_state->place;
    ComPtr<ILocationObject> here = NewLocation(placed);
    std::u16string name = placed.name;
    if (name.empty()) name = m_state->street;
    std::u16string text = utility.FormatString(
        ids::kOnFacing, {Wording(m_context.m_pUtility).Decorate(name), compass});
    if (h == -1) return Answer(text);
    // What lies to each side: the next intersection ahead when facing left, then right.
    auto side = [&](SHORT facing, std::u16string* distance, std::u16string* streets) {
        SetHeading(facing);
        const IntersectionAnswer at = m_whereAmI.Intersection(placed, facing, true);
        gpslib::Bstr d;
        if (at.Found()) {
            if (ComPtr<ILocationObject> corner = NewLocation(at.latitude, at.longitude))
                corner->GetDistanceDescription(here.Get(), d.Put());
        }
        *distance = WithoutStop(std::u16string(d.View()));
        *streets = WithoutStop(at.crossStreets);
    };
    std::u16string leftDistance, leftStreets, rightDistance, rightStreets;
    side(static_cast<SHORT>((h + 270) % 360), &leftDistance, &leftStreets);
    side(static_cast<SHORT>((h + 90) % 360), &rightDistance, &rightStreets);
    SetImpliedHeading(h);
    text += u" " + utility.FormatString(ids::kToTheLeftAndRight,
                                        {leftDistance, leftStreets, rightDistance, rightStreets});
    return Answer(text);
}

// ---------------------------------------------------------------------------------------------
// Kept across runs.

void VirtualWalker::Save() {
    if (m_context.m_pUtility == nullptr) return;
    const Snapshot s = Take();
    // The names first: the change below holds the settings lock.
    const std::u16string name = m_context.m_pUtility->ForStorage(s.name);
    const std::u16string street = m_context.m_pUtility->ForStorage(s.street);
    m_context.m_pUtility->ChangeSystemSettings([&](settings::System& system) {
        auto& saved = system.saved;
        saved.virtualSaved = s.valid;
        saved.virtualName = name;
        saved.virtualStreetName = street;
        saved.virtualHeading = s.valid ? s.heading : SHORT{-1};
        saved.virtualLatitude = s.latitude;
        saved.virtualLongitude = s.longitude;
        saved.virtualSideOfStreet = s.side;
    });
}

void VirtualWalker::Restore() {
    if (m_context.m_pUtility == nullptr || !m_state) return;
    const settings::SavedState saved = m_context.m_pUtility->SystemSettings().saved;
    if (saved.virtualLatitude == 0.0 && saved.virtualLongitude == 0.0) return;
    if (!std::isfinite(saved.virtualLatitude) || !std::isfinite(saved.virtualLongitude)) return;
    const std::int16_t heading =
        ValidHeading(saved.virtualHeading) ? saved.virtualHeading : std::int16_t{-1};
    PlaceAt(Place{saved.virtualLatitude, saved.virtualLongitude, {}, {}}, heading,
            m_context.m_pUtility->ForDisplay(saved.virtualName), saved.virtualStreetName, false);
    m_previous = Snapshot{};
    m_bstrCurrentMessage.clear();
    if (saved.virtualSideOfStreet == LeftSide || saved.virtualSideOfStreet == RightSide)
        m_state->side = static_cast<SideOfStreet>(saved.virtualSideOfStreet);
}

} // namespace gpscore
