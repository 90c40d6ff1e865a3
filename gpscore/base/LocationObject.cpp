#include "base/LocationObject.h"

#include <cmath>
#include <cstdint>

#include "base/Descriptions.h"
#include "base/Utility.h"
#include "formats/Geodesy.h"
#include "resources/StringIds.h"

namespace ids = gpslib::ids;

namespace {

// Whole part of `value` cut to 16 bits, as a 16-bit field holds it. Values beyond any 64-bit
// integer (and NaN) give 0 rather than undefined behaviour.
SHORT TruncToShort(double value) {
    double whole = std::trunc(value);
    if (!(std::fabs(whole) < 9.2e18)) return 0;
    return static_cast<SHORT>(static_cast<std::uint16_t>(static_cast<std::int64_t>(whole)));
}

// The degree/minute/second view of one coordinate. The sign is dropped: the hemisphere tells it.
SHORT WholeDegrees(double coordinate) {
    return TruncToShort(std::fabs(std::trunc(coordinate)));
}

double MinutesWithFraction(double coordinate) {
    double magnitude = std::fabs(coordinate);
    return (magnitude - std::trunc(magnitude)) * 60.0;
}

SHORT WholeMinutes(double coordinate) {
    return TruncToShort(MinutesWithFraction(coordinate));
}

double SecondsWithFraction(double coordinate) {
    double minutes = MinutesWithFraction(coordinate);
    return (minutes - std::trunc(minutes)) * 60.0;
}

// Degrees plus minutes and seconds, in this order of addition. A negative degree value is not
// applied to the minutes and seconds (-33 30' gives -32.5): callers give magnitudes and set the
// hemisphere afterwards.
double FromDegreesMinutesSeconds(SHORT degrees, SHORT minutes, double seconds) {
    return minutes * 0.016666666666666666 + seconds * 0.0002777777777777778 + degrees;
}

// Moves `coordinate` into the hemisphere whose sign is `negative`; 0.0 stays 0.0.
void ApplyHemisphere(double* coordinate, bool negative) {
    if ((negative && *coordinate > 0.0) || (!negative && *coordinate < 0.0))
        *coordinate = -*coordinate;
}

// The target as this object sees it: its own validity answer and its coordinates. A missing
// target counts as one without a position.
struct Target {
    bool valid = false;
    gpscore::geo::Position position;
};

Target ReadTarget(ILocationObject* to) {
    Target target;
    if (to == nullptr) return target;
    VARIANT_BOOL valid = 0;
    to->IsValid(&valid);
    to->GetLatitude(&target.position.latitude);
    to->GetLongitude(&target.position.longitude);
    target.valid = valid != 0;
    return target;
}

gpscore::Wording Words() {
    return gpscore::Wording(gpscore::Utility::Instance());
}

std::u16string Text(int id) {
    auto utility = gpscore::Utility::Instance();
    return utility != nullptr ? utility->GetString(id) : std::u16string();
}

Units CurrentUnits() {
    auto utility = gpscore::Utility::Instance();
    return utility != nullptr ? utility->CurrentUnits() : Imperial;
}

RelativeHeadingType HeadingMode() {
    auto utility = gpscore::Utility::Instance();
    return utility != nullptr ? utility->SystemSettings().headingMode : AheadLeft;
}

// The distance up to which a target counts as close by, in the current units.
std::int32_t ArrivedNearThreshold() {
    auto utility = gpscore::Utility::Instance();
    return utility != nullptr
               ? utility->SystemSettings().ArrivedNearThreshold(utility->CurrentUnits())
               : 0;
}

} // namespace

// 0.0 counts as the southern (western) hemisphere: only a positive value is north (east).
HRESULT CLocationObject::GetLatitudeHemisphere(LatitudeHemisphere* peHemisphere) {
    if (peHemisphere == nullptr) return E_POINTER;
    *peHemisphere = m_dLatitude > 0.0 ? North : South;
    return S_OK;
}

HRESULT CLocationObject::SetLatitudeHemisphere(LatitudeHemisphere eHemisphere) {
    if (eHemisphere == North || eHemisphere == South)
        ApplyHemisphere(&m_dLatitude, eHemisphere == South);
    return S_OK;
}

HRESULT CLocationObject::GetLongitudeHemisphere(LongitudeHemisphere* peHemisphere) {
    if (peHemisphere == nullptr) return E_POINTER;
    *peHemisphere = m_dLongitude > 0.0 ? East : West;
    return S_OK;
}

HRESULT CLocationObject::SetLongitudeHemisphere(LongitudeHemisphere eHemisphere) {
    if (eHemisphere == East || eHemisphere == West)
        ApplyHemisphere(&m_dLongitude, eHemisphere == West);
    return S_OK;
}

HRESULT CLocationObject::GetLatitudeDegrees(SHORT* pnDegrees) {
    if (pnDegrees == nullptr) return E_POINTER;
    *pnDegrees = WholeDegrees(m_dLatitude);
    return S_OK;
}

HRESULT CLocationObject::GetLatitudeMinutes(SHORT* pnMinutes) {
    if (pnMinutes == nullptr) return E_POINTER;
    *pnMinutes = WholeMinutes(m_dLatitude);
    return S_OK;
}

HRESULT CLocationObject::GetLatitudeSeconds(DOUBLE* pdSeconds) {
    if (pdSeconds == nullptr) return E_POINTER;
    *pdSeconds = SecondsWithFraction(m_dLatitude);
    return S_OK;
}

HRESULT CLocationObject::SetLatitudeDegreesMinutesSeconds(SHORT nDegrees, SHORT nMinutes,
                                                          DOUBLE dSeconds) {
    m_dLatitude = FromDegreesMinutesSeconds(nDegrees, nMinutes, dSeconds);
    return S_OK;
}

HRESULT CLocationObject::GetLongitudeDegrees(SHORT* pnDegrees) {
    if (pnDegrees == nullptr) return E_POINTER;
    *pnDegrees = WholeDegrees(m_dLongitude);
    return S_OK;
}

HRESULT CLocationObject::GetLongitudeMinutes(SHORT* pnMinutes) {
    if (pnMinutes == nullptr) return E_POINTER;
    *pnMinutes = WholeMinutes(m_dLongitude);
    return S_OK;
}

HRESULT CLocationObject::GetLongitudeSeconds(DOUBLE* pdSeconds) {
    if (pdSeconds == nullptr) return E_POINTER;
    *pdSeconds = SecondsWithFraction(m_dLongitude);
    return S_OK;
}

HRESULT CLocationObject::SetLongitudeDegreesMinutesSeconds(SHORT nDegrees, SHORT nMinutes,
                                                           DOUBLE dSeconds) {
    m_dLongitude = FromDegreesMinutesSeconds(nDegrees, nMinutes, dSeconds);
    return S_OK;
}

// Reads all four values through the other object's interface before changing anything, so a
// failing source leaves this object as it was (and copying from itself is harmless).
HRESULT CLocationObject::SetLocation(ILocationObject* pLocation) {
    if (pLocation == nullptr) return E_POINTER;
    gpslib::Bstr description, name;
    DOUBLE latitude = 0.0, longitude = 0.0;
    HRESULT hr = pLocation->GetDescription(description.Put());
    if (SUCCEEDED(hr)) hr = pLocation->GetName(name.Put());
    if (SUCCEEDED(hr)) hr = pLocation->GetLatitude(&latitude);
    if (SUCCEEDED(hr)) hr = pLocation->GetLongitude(&longitude);
    if (FAILED(hr)) return hr;
    m_bstrDescription = gpslib::Bstr(description.View());
    m_bstrName = gpslib::Bstr(name.View());
    m_dLatitude = latitude;
    m_dLongitude = longitude;
    return S_OK;
}

HRESULT CLocationObject::IsValid(VARIANT_BOOL* pbValid) {
    if (pbValid == nullptr) return E_POINTER;
    *pbValid = (m_dLatitude != 0.0 || m_dLongitude != 0.0) ? 1 : 0;
    return S_OK;
}

HRESULT CLocationObject::GetLocation(ILocationObject** ppLocation) {
    if (ppLocation == nullptr) return E_POINTER;
    *ppLocation = nullptr;
    gpslib::ComPtr<ILocationObject> copy;
    HRESULT hr = gpslib::CreateObject(CLSID_LocationObject, IID_ILocationObject, &copy);
    if (FAILED(hr)) return hr;
    hr = copy->SetLocation(this);
    if (FAILED(hr)) return hr;
    *ppLocation = copy.Detach();
    return S_OK;
}

HRESULT CLocationObject::GetDistance(ILocationObject* pTo, LONG* pnDistance) {
    if (pnDistance == nullptr) return E_POINTER;
    Target target = ReadTarget(pTo);
    *pnDistance = HasPosition() && target.valid
                      ? gpscore::geo::DistanceInUnits({m_dLatitude, m_dLongitude}, target.position,
                                                      CurrentUnits())
                      : -1;
    return S_OK;
}

// -1 when either position is missing or both are the same point.
HRESULT CLocationObject::GetBearingDegrees(ILocationObject* pTo, SHORT* pnBearing) {
    if (pnBearing == nullptr) return E_POINTER;
    Target target = ReadTarget(pTo);
    gpscore::geo::Position from{m_dLatitude, m_dLongitude};
    *pnBearing = HasPosition() && target.valid && !gpscore::geo::IsSamePoint(from, target.position)
                     ? static_cast<SHORT>(gpscore::geo::BearingDegrees(from, target.position))
                     : SHORT{-1};
    return S_OK;
}

HRESULT CLocationObject::GetBearing(HeadingType eHeadingType, ILocationObject* pTo,
                                    BSTR* pbstrBearing) {
    if (pbstrBearing == nullptr) return E_POINTER;
    Target target = ReadTarget(pTo);
    gpscore::geo::Position from{m_dLatitude, m_dLongitude};
    if (!HasPosition() || !target.valid)
        return gpslib::ReturnString(pbstrBearing, Text(ids::kPositionUnknown));
    if (gpscore::geo::IsSamePoint(from, target.position))
        return gpslib::ReturnString(pbstrBearing, Text(ids::kNoDirection));
    return gpslib::ReturnString(
        pbstrBearing,
        Words().HeadingText(gpscore::geo::BearingDegrees(from, target.position), eHeadingType));
}

// Without a heading the target's compass point is given, never a word relative to the user.
HRESULT CLocationObject::GetRelativeHeading(SHORT nHeading, ILocationObject* pTo,
                                            BSTR* pbstrRelativeHeading) {
    if (pbstrRelativeHeading == nullptr) return E_POINTER;
    Target target = ReadTarget(pTo);
    gpscore::geo::Position from{m_dLatitude, m_dLongitude};
    if (!HasPosition() || !target.valid)
        return gpslib::ReturnString(pbstrRelativeHeading, Text(ids::kPositionUnknown));
    if (gpscore::geo::IsSamePoint(from, target.position))
        return gpslib::ReturnString(pbstrRelativeHeading, Text(ids::kNoDirection));
    int bearing = gpscore::geo::BearingDegrees(from, target.position);
    if (nHeading == -1)
        return gpslib::ReturnString(pbstrRelativeHeading, Words().HeadingText(bearing, Compass));
    // A bearing of -1 (points too close to measure) is no direction, as for the same point.
    if (bearing == -1) return gpslib::ReturnString(pbstrRelativeHeading, Text(ids::kNoDirection));
    return gpslib::ReturnString(pbstrRelativeHeading,
                                Words().RelativeDirectionText(static_cast<double>(nHeading),
                                                              bearing, false, CoarseDirections()));
}

HRESULT CLocationObject::GetDistanceDescription(ILocationObject* pTo, BSTR* pbstrDistance) {
    if (pbstrDistance == nullptr) return E_POINTER;
    Target target = ReadTarget(pTo);
    if (!HasPosition() || !target.valid)
        return gpslib::ReturnString(pbstrDistance, Text(ids::kPositionUnknown));
    LONG distance = -1;
    GetDistance(pTo, &distance);
    return gpslib::ReturnString(pbstrDistance, Words().DistanceText(distance, false));
}

HRESULT CLocationObject::GetDistanceAndHeading(SHORT nHeading, ILocationObject* pTo,
                                               BSTR* pbstrDescription) {
    if (pbstrDescription == nullptr) return E_POINTER;
    return gpslib::ReturnString(pbstrDescription, DescribeDistanceAndHeading(nHeading, pTo, {}));
}

// A missing configuration includes nothing beyond the name.
HRESULT CLocationObject::GetDistanceAndHeadingAndName(SHORT nHeading, ILocationObject* pTo,
                                                      IDescriptionConfigurationObject* pConfig,
                                                      BSTR* pbstrDescription) {
    if (pbstrDescription == nullptr) return E_POINTER;
    DescriptionParts parts;
    parts.name = true;
    if (pConfig != nullptr) {
        VARIANT_BOOL details = 0, compass = 0, first = 0;
        pConfig->GetIncludeDescriptionDetails(&details);
        pConfig->GetIncludeCompassDirection(&compass);
        pConfig->GetDirectionInformationFirst(&first);
        parts.details = details != 0;
        parts.compass = compass != 0;
        parts.directionFirst = first != 0;
    }
    return gpslib::ReturnString(pbstrDescription, DescribeDistanceAndHeading(nHeading, pTo, parts));
}

std::u16string CLocationObject::DescribeDistanceAndHeading(SHORT nHeading, ILocationObject* pTo,
                                                           DescriptionParts parts) {
    // That style already names the compass point whenever there is a heading.
    if (nHeading != -1 && HeadingMode() == LeftRightDegreesCompass) parts.compass = false;
    // Details only when they add something the name does not already say.
    if (parts.details) {
        std::u16string description = gpscore::DescriptionOf(pTo);
        parts.details =
            !description.empty() && gpscore::NameOf(pTo).find(description) == std::u16string::npos;
    }
    if (!HasPosition()) {
        if (!parts.name && !parts.details) return Text(ids::kLocationUnknown);
        return Words().ExpandDescriptionTemplate(parts.details ? ids::kUserPositionUnknownDetails
                                                               : ids::kUserPositionUnknown,
                                                 pTo, nullptr, nullptr, 0, nullptr, u"");
    }
    parts.name = parts.name && !gpscore::NameOf(pTo).empty();
    parts.details = parts.details && !gpscore::DescriptionOf(pTo).empty();
    if (!ReadTarget(pTo).valid) {
        return parts.name ? Words().ExpandDescriptionTemplate(ids::kTargetPositionUnknown, pTo,
                                                              nullptr, nullptr, 0, nullptr, u"")
                          : Text(ids::kLocationUnknown);
    }
    gpscore::DistanceHeadingRecord record;
    LONG distance = -1;
    gpslib::Bstr direction;
    GetBearingDegrees(pTo, &record.bearing);
    GetRelativeHeading(nHeading, pTo, direction.Put());
    GetDistance(pTo, &distance);
    record.direction = std::u16string(direction.View());
    record.distance = distance;
    const bool near = record.distance <= ArrivedNearThreshold();
    int id;
    if (parts.details) {
        if (!parts.name)
            id = near ? ids::kCloseBy : ids::kDistanceDirection;
        else
            id = near                   ? ids::kNameDetailsNear
                 : parts.directionFirst ? ids::kDistanceDirectionNameDetails
                                        : ids::kNameDetailsDistanceDirection;
    } else if (!parts.name) {
        id = near ? ids::kCloseBy : ids::kDistanceDirection;
    } else {
        id = near                   ? ids::kNameNear
             : parts.directionFirst ? ids::kDistanceDirectionName
                                    : ids::kNameDistanceDirection;
    }
    std::u16string text =
        Words().ExpandDescriptionTemplate(id, pTo, &record, nullptr, 0, nullptr, u"");
    if (parts.compass && !near && nHeading != -1)
        text += u", " + Words().CompassPointText(record.bearing);
    return text;
}

GPSLIB_CLASS_FACTORY(LocationObject, CLocationObject)

bool CLocationObject::CoarseDirections() const {
    return m_coarseDirections == -1 ? gpscore::AnyReceiverCoarse() : m_coarseDirections != 0;
}

gpslib::ComPtr<ILocationObject> gpscore::NewLocation(double latitude, double longitude) {
    gpslib::ComPtr<ILocationObject> place;
    if (FAILED(gpslib::CreateObject(CLSID_LocationObject, IID_ILocationObject, &place))) return {};
    place->SetLatitude(latitude);
    place->SetLongitude(longitude);
    return place;
}

gpslib::ComPtr<ILocationObject> gpscore::NewLocation(const Place& place) {
    gpslib::ComPtr<ILocationObject> location = NewLocation(place.latitude, place.longitude);
    if (!location) return {};
    location->SetName(gpslib::Bstr(place.name).Get());
    location->SetDescription(gpslib::Bstr(place.description).Get());
    return location;
}

std::optional<gpscore::Place> gpscore::PlaceOf(ILocationObject* location) {
    if (location == nullptr) return std::nullopt;
    gpslib::Bstr name, description;
    Place place;
    if (FAILED(location->GetDescription(description.Put())) ||
        FAILED(location->GetName(name.Put())) || FAILED(location->GetLatitude(&place.latitude)) ||
        FAILED(location->GetLongitude(&place.longitude)))
        return std::nullopt;
    place.name = name.View();
    place.description = description.View();
    return place;
}

std::optional<gpscore::Place> gpscore::LocationOf(ILocationObject* location) {
    gpslib::ComPtr<ILocationObject> now;
    if (location == nullptr || FAILED(location->GetLocation(now.Put()))) return std::nullopt;
    return PlaceOf(now.Get());
}

namespace {

class HeldLocation final : public gpscore::HeldPlace {
public:
    explicit HeldLocation(ILocationObject* location) : m_location(location) {}
    std::optional<gpscore::Place> Read() const override {
        return gpscore::LocationOf(m_location.Get());
    }

private:
    gpslib::ComPtr<ILocationObject> m_location;
};

} // namespace

std::shared_ptr<const gpscore::HeldPlace> gpscore::HoldLocation(ILocationObject* location) {
    return std::make_shared<HeldLocation>(location);
}

gpscore::Standpoint gpscore::StandpointAt(ILocationObject* here, std::int16_t heading) {
    Standpoint standpoint;
    standpoint.place = PlaceOf(here);
    standpoint.heading = heading;
    standpoint.headingValid = heading != -1;
    if (here != nullptr) {
        standpoint.distanceAndHeading = [at = gpslib::ComPtr<ILocationObject>(here),
                                         heading](const Place& to) {
            gpslib::Bstr text;
            at->GetDistanceAndHeading(heading, NewLocation(to).Get(), text.Put());
            return std::u16string(text.View());
        };
    }
    return standpoint;
}
