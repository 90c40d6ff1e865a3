#include "orientation/VirtualWalker.h"

#include <algorithm>
#include <cmath>
#include <optional>

#include "address/AddressObject.h"
#include "base/Answers.h"
#include "base/Descriptions.h"
#include "base/LocationObject.h"
#include "base/ServiceContext.h"
#include "base/StartLocations.h"
#include "base/SystemSettingsObject.h"
#include "base/Utility.h"
#include "formats/Geodesy.h"
#include "orientation/VirtualObject.h"
#include "poi/PersonalPlaces.h"
#include "resources/StringIds.h"

namespace gpscore {

using gpslib::Bstr;
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
    m_pVirtualObject.Reset();
    gpslib::CreateObject(CLSID_VirtualObject, IID_IVirtualObject, &m_pVirtualObject);
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
    m_pVirtualObject.Reset();
    m_crossStreets.clear();
    m_previous = Snapshot{};
}

ComPtr<ILocationObject> VirtualWalker::Location() const {
    ComPtr<ILocationObject> location;
    if (m_pVirtualObject) m_pVirtualObject->GetLocation(location.Put());
    return location;
}

SHORT VirtualWalker::Heading() const {
    SHORT heading = -1;
    if (m_pVirtualObject) m_pVirtualObject->GetHeadingDegrees(&heading);
    return heading;
}

SideOfStreet VirtualWalker::Side() const {
    SideOfStreet side = SideUnknown;
    if (m_pVirtualObject) m_pVirtualObject->GetSideOfStreet(&side);
    return side;
}

void VirtualWalker::SetHeading(SHORT heading) {
    if (!m_pVirtualObject) return;
    m_pVirtualObject->SetHeading(heading);
    m_bImpliedHeading = false;
}

void VirtualWalker::SetImpliedHeading(SHORT heading) {
    if (!m_pVirtualObject) return;
    m_pVirtualObject->SetHeading(heading);
    m_bImpliedHeading = true;
}

bool VirtualWalker::SideTracking() const {
    VARIANT_BOOL tracking = VARIANT_FALSE;
    if (auto settings = m_context.SystemSettings())
        settings->GetVirtualSideOfStreetTracking(&tracking);
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
    auto* impl = gpslib::ImplOf<CVirtualObject>(m_pVirtualObject.Get());
    if (impl == nullptr || impl->InnerLocation() == nullptr) return;
    impl->InnerLocation()->SetLatitude(latitude);
    impl->InnerLocation()->SetLongitude(longitude);
}

VirtualWalker::Snapshot VirtualWalker::Take() const {
    Snapshot s;
    ComPtr<ILocationObject> here = Location();
    if (!IsValidPlace(here.Get())) return s;
    s.valid = true;
    here->GetLatitude(&s.latitude);
    here->GetLongitude(&s.longitude);
    s.name = NameOf(here.Get());
    Bstr street;
    m_pVirtualObject->GetCurrentStreetName(street.Put());
    s.street = Text(street.Get());
    s.heading = Heading();
    s.side = Side();
    VARIANT_BOOL mustCross = VARIANT_FALSE;
    m_pVirtualObject->MustCrossStreet(&mustCross);
    s.mustCross = mustCross != 0;
    s.branches = m_crossStreets;
    s.selected = m_nSelectedBranch;
    s.branchHeading = m_nBranchHeading;
    s.atIntersection = m_bAtIntersection;
    return s;
}

void VirtualWalker::Put(const Snapshot& s) {
    auto* impl = gpslib::ImplOf<CVirtualObject>(m_pVirtualObject.Get());
    if (impl == nullptr) return;
    MoveTo(s.latitude, s.longitude);
    if (impl->InnerLocation() != nullptr) impl->InnerLocation()->SetName(Bstr(s.name).Get());
    impl->SetCurrentStreetName(s.street);
    impl->SetHeading(s.heading);
    m_bImpliedHeading = false;
    impl->SetSideOfStreet(s.side);
    impl->SetMustCrossStreet(s.mustCross ? VARIANT_TRUE : VARIANT_FALSE);
    m_crossStreets = s.branches;
    m_nSelectedBranch = s.selected;
    m_nBranchHeading = s.branchHeading;
    m_bAtIntersection = s.atIntersection;
}

// ---------------------------------------------------------------------------------------------
// Placement.

void VirtualWalker::Set(ILocationObject* location, SHORT heading) {
    Place(location, heading, u"", u"", true);
    if (m_pVirtualObject) m_pVirtualObject->SetSideOfStreet(RightSide);
}

void VirtualWalker::SetByPOI(IPOIObject* poi) {
    ComPtr<ILocationObject> location;
    if (FAILED(poi->GetLocation(location.Put())) || !location) return;
    Bstr name, street;
    poi->GetName(name.Put());
    poi->GetStreet(street.Put());
    Place(location.Get(), -1, Text(name.Get()), Text(street.Get()), true);
}

bool VirtualWalker::SetByAddress(IAddressObject* address) {
    const AddressPlace place = ReadAddress(address);
    if (!place.HasPosition() || !std::isfinite(place.latitude) || !std::isfinite(place.longitude) ||
        std::fabs(place.latitude) > 90.0 || std::fabs(place.longitude) > 180.0)
        return false;
    ComPtr<ILocationObject> location = NewLocation(place.latitude, place.longitude);
    if (!location) return false;
    Place(location.Get(), -1, place.SpokenName(u""), place.street, true);
    return true;
}

void VirtualWalker::PlaceOnRoute(ILocationObject* location, SHORT heading) {
    Bstr name;
    if (location != nullptr) location->GetName(name.Put());
    Place(location, heading, Text(name.Get()), u"", false);
}

bool VirtualWalker::SetToMap(std::u16string_view mapName) {
    std::optional<StartLocation> start = FindStartLocation(mapName);
    if (!start) return false;
    ComPtr<ILocationObject> location = NewLocation(start->latitude, start->longitude);
    if (!location) return false;
    Place(location.Get(), -1, mapName, u"", true);
    return true;
}

void VirtualWalker::Place(ILocationObject* location, SHORT heading, std::u16string_view name,
                          std::u16string_view description, bool addToHistory) {
    auto* impl = gpslib::ImplOf<CVirtualObject>(m_pVirtualObject.Get());
    if (impl == nullptr || location == nullptr) return;
    m_previous = Take();
    m_nBranchHeading = heading;

    ComPtr<ILocationObject> copy;
    if (FAILED(location->GetLocation(copy.Put())) || !copy) return;
    copy->SetName(Bstr(name).Get());
    copy->SetDescription(Bstr(description).Get());
    impl->SetLocation(copy.Get());
    impl->SetCurrentStreetName(description);
    impl->SetSideOfStreet(SideUnknown);
    impl->SetMustCrossStreet(VARIANT_FALSE);
    m_crossStreets.clear();
    m_nSelectedBranch = -1;
    m_bAtIntersection = false;

    if (heading != -1) {
        impl->SetHeading(heading);
        m_bImpliedHeading = false;
        SHORT stored = -1;
        impl->GetHeadingDegrees(&stored);
        m_nBranchHeading = stored;
        if (LookUp(stored)) {
            StartNearest(&m_crossStreets, stored);
            m_nSelectedBranch = 0;
            impl->SetCurrentStreetName(m_crossStreets.front().name);
            impl->SetMustCrossStreet(m_crossStreets.front().mustCross ? VARIANT_TRUE
                                                                      : VARIANT_FALSE);
            m_bstrCurrentMessage.clear();
        } else {
            Answer(m_context.String(ids::kNoStreetsHere));
        }
        m_bPlacedWithoutHeading = false;
    } else {
        // The street found gives the walker a direction to start from, as a guess only.
        if (LookUp(-1)) {
            Bstr street;
            impl->GetCurrentStreetName(street.Put());
            for (const gpscore::CrossStreet& branch : m_crossStreets) {
                if (branch.name != street.View() || !ValidHeading(branch.bearing)) continue;
                m_nBranchHeading = branch.bearing;
                SetImpliedHeading(branch.bearing);
                break;
            }
        }
        m_bPlacedWithoutHeading = true;
    }
    if (addToHistory) {
        // A place without a name of its own is remembered by its street.
        ComPtr<ILocationObject> here = Location();
        Bstr street;
        impl->GetCurrentStreetName(street.Put());
        m_places.AddToHistory(PlaceOf(here.Get()), name.empty() ? street.View() : name);
    }
}

bool VirtualWalker::LookUp(SHORT heading) {
    m_crossStreets.clear();
    m_bAtIntersection = false;
    const MapQueries map = m_context.Map();
    ComPtr<ILocationObject> here = Location();
    auto* impl = gpslib::ImplOf<CVirtualObject>(m_pVirtualObject.Get());
    if (!map.HasEngine() || impl == nullptr || !IsValidPlace(here.Get())) return false;
    double latitude = 0.0, longitude = 0.0;
    here->GetLatitude(&latitude);
    here->GetLongitude(&longitude);

    const std::u16string street =
        map.StreetAt(latitude, longitude, heading, m_whereAmI.StreetWords());
    if (street.empty()) return false;
    impl->SetCurrentStreetName(street);

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
    const SHORT bearing = map.StreetBearing(latitude, longitude, heading);
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

bool VirtualWalker::HeadingFitsStreet(SHORT heading) const {
    if (heading == -1 || m_bPlacedWithoutHeading || m_crossStreets.empty()) return false;
    for (const gpscore::CrossStreet& branch : m_crossStreets)
        if (geo::HeadingsWithin(heading, branch.bearing, kDirectionTolerance)) return true;
    return false;
}

bool VirtualWalker::Move(bool crossing, std::u16string* message) {
    auto* impl = gpslib::ImplOf<CVirtualObject>(m_pVirtualObject.Get());
    const MapQueries map = m_context.Map();
    ComPtr<ILocationObject> here = Location();
    if (impl == nullptr || !IsValidPlace(here.Get())) {
        *message = m_context.String(ids::kNoStreetsHere);
        return false;
    }
    double latitude = 0.0, longitude = 0.0;
    here->GetLatitude(&latitude);
    here->GetLongitude(&longitude);
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
        SHORT heading = Heading();
        if (!crossing && m_nSelectedBranch >= 0 &&
            m_nSelectedBranch < static_cast<int>(m_crossStreets.size()))
            heading = m_crossStreets[m_nSelectedBranch].bearing;
        if (!crossing && !HeadingFitsStreet(heading)) {
            impl->SetMustCrossStreet(VARIANT_FALSE);
            *message = m_context.String(m_bPlacedWithoutHeading ? ids::kNoDirectionYet
                                                                : ids::kCannotGoForward);
            return false;
        }
        Bstr street;
        impl->GetCurrentStreetName(street.Put());
        found = crossing ? map.MoveAcrossStreet(latitude, longitude, street.View(), heading,
                                                before.side, Words())
                         : map.MoveToNextIntersection(latitude, longitude, street.View(), heading,
                                                      before.side, Words());
    }
    if (!found) {
        *message = m_context.String(ids::kNoMapAnswer);
        return false;
    }
    std::vector<gpscore::CrossStreet> branches = std::move(*found);
    if (branches.empty()) {
        impl->SetMustCrossStreet(VARIANT_FALSE);
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
    auto* impl = gpslib::ImplOf<CVirtualObject>(m_pVirtualObject.Get());
    m_crossStreets = std::move(branches);
    m_nSelectedBranch = 0;
    m_bAtIntersection = atIntersection;
    m_bPlacedWithoutHeading = false;
    const gpscore::CrossStreet branch = m_crossStreets.front();
    MoveTo(branch.latitude, branch.longitude);
    if (impl->InnerLocation() != nullptr) impl->InnerLocation()->SetName(Bstr(branch.name).Get());
    impl->SetCurrentStreetName(branch.name);
    impl->SetHeading(branch.bearing);
    m_bImpliedHeading = false;
    m_nBranchHeading = branch.bearing;
    impl->SetSideOfStreet(branch.side);
    impl->SetMustCrossStreet(branch.mustCross ? VARIANT_TRUE : VARIANT_FALSE);

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
    if (!m_pVirtualObject || m_context.m_pUtility == nullptr) return {};
    const Snapshot before = Take();
    VARIANT_BOOL mustCross = VARIANT_FALSE;
    m_pVirtualObject->MustCrossStreet(&mustCross);
    std::u16string message;
    bool moved = false;
    if (mustCross != 0) {
        if (SideTracking()) return Answer(m_context.String(ids::kCrossFirst));
        if (!Move(true, &message)) return Answer(message);
        moved = true;
    }
    moved = Move(false, &message) || moved;
    if (moved) m_previous = before;
    return Answer(message);
}

std::u16string VirtualWalker::CrossStreet() {
    if (!m_pVirtualObject || m_context.m_pUtility == nullptr) return {};
    VARIANT_BOOL mustCross = VARIANT_FALSE;
    m_pVirtualObject->MustCrossStreet(&mustCross);
    if (mustCross == 0) return Answer(m_context.String(ids::kNothingToCross));
    const Snapshot before = Take();
    std::u16string message;
    if (Move(true, &message)) m_previous = before;
    return Answer(message);
}

std::u16string VirtualWalker::Turn(int direction) {
    auto* impl = gpslib::ImplOf<CVirtualObject>(m_pVirtualObject.Get());
    if (impl == nullptr || m_context.m_pUtility == nullptr) return {};
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
    impl->SetSideOfStreet(side);
    impl->SetMustCrossStreet(branch.mustCross ? VARIANT_TRUE : VARIANT_FALSE);
    m_nBranchHeading = branch.bearing;
    impl->SetHeading(branch.bearing);
    m_bImpliedHeading = false;
    impl->SetCurrentStreetName(branch.name);

    std::u16string text = n == 1 ? m_context.String(ids::kDeadEnd) + u" " : std::u16string();
    const std::u16string described = BranchText(branch);
    if (described.empty()) return Answer(m_context.String(ids::kNoStreetsHere));
    return Answer(text + described);
}

std::u16string VirtualWalker::Backup() {
    if (!m_pVirtualObject || m_context.m_pUtility == nullptr) return {};
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
    if (!m_pVirtualObject || m_context.m_pUtility == nullptr) return {};
    const Utility& utility = *m_context.m_pUtility;
    const SHORT h = Heading();
    std::u16string compass;
    if (h == -1) {
        compass = m_context.String(ids::kUnknownDirection);
    } else {
        Bstr text;
        m_pVirtualObject->GetHeading(Compass, text.Put());
        compass = Text(text.Get());
    }
    ComPtr<ILocationObject> here = Location();
    std::u16string name = NameOf(here.Get());
    if (name.empty()) {
        Bstr street;
        m_pVirtualObject->GetCurrentStreetName(street.Put());
        name = Text(street.Get());
    }
    std::u16string text = utility.FormatString(
        ids::kOnFacing, {Wording(m_context.m_pUtility).Decorate(name), compass});
    if (h == -1) return Answer(text);
    // What lies to each side: the next intersection ahead when facing left, then right.
    auto side = [&](SHORT facing, std::u16string* distance, std::u16string* streets) {
        SetHeading(facing);
        const IntersectionAnswer at = m_whereAmI.Intersection(PlaceAt(here.Get()), facing, true);
        Bstr d;
        if (at.Found()) {
            if (ComPtr<ILocationObject> corner = NewLocation(at.latitude, at.longitude))
                corner->GetDistanceDescription(here.Get(), d.Put());
        }
        *distance = WithoutStop(Text(d.Get()));
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
    ComPtr<ISystemSettingsObject> stored = m_context.SystemSettings();
    auto* settings = gpslib::ImplOf<CSystemSettingsObject>(stored.Get());
    if (settings == nullptr) return;
    auto& saved = settings->Saved();
    const Snapshot s = Take();
    saved.virtualSaved = s.valid;
    saved.virtualName = m_context.m_pUtility->ForStorage(s.name);
    saved.virtualStreetName = m_context.m_pUtility->ForStorage(s.street);
    saved.virtualHeading = s.valid ? s.heading : SHORT{-1};
    saved.virtualLatitude = s.latitude;
    saved.virtualLongitude = s.longitude;
    saved.virtualSideOfStreet = s.side;
}

void VirtualWalker::Restore() {
    if (m_context.m_pUtility == nullptr || !m_pVirtualObject) return;
    ComPtr<ISystemSettingsObject> stored = m_context.SystemSettings();
    auto* settings = gpslib::ImplOf<CSystemSettingsObject>(stored.Get());
    if (settings == nullptr) return;
    const auto saved = settings->Saved();
    if (saved.virtualLatitude == 0.0 && saved.virtualLongitude == 0.0) return;
    if (!std::isfinite(saved.virtualLatitude) || !std::isfinite(saved.virtualLongitude)) return;
    ComPtr<ILocationObject> location;
    if (FAILED(gpslib::CreateObject(CLSID_LocationObject, IID_ILocationObject, &location))) return;
    location->SetLatitude(saved.virtualLatitude);
    location->SetLongitude(saved.virtualLongitude);
    const SHORT heading = ValidHeading(saved.virtualHeading) ? saved.virtualHeading : SHORT{-1};
    Place(location.Get(), heading, m_context.m_pUtility->ForDisplay(saved.virtualName),
          saved.virtualStreetName, false);
    m_previous = Snapshot{};
    m_bstrCurrentMessage.clear();
    if (saved.virtualSideOfStreet == LeftSide || saved.virtualSideOfStreet == RightSide)
        m_pVirtualObject->SetSideOfStreet(static_cast<SideOfStreet>(saved.virtualSideOfStreet));
}

} // namespace gpscore
