// A position with a name and a description; the position value of the whole surface.
#ifndef GPSCORE_BASE_LOCATIONOBJECT_H_
#define GPSCORE_BASE_LOCATIONOBJECT_H_

#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "GPSLib_classes.h"
#include "base/Place.h"

// Latitude and longitude are signed decimal degrees (north and east positive); 0.0/0.0 means no
// position. The hemisphere and degree/minute/second views are computed from them on each call.
class CLocationObject : public CLocationObjectBase {
public:
    HRESULT GetLatitudeHemisphere(LatitudeHemisphere* peHemisphere) override;
    HRESULT SetLatitudeHemisphere(LatitudeHemisphere eHemisphere) override;
    HRESULT GetLongitudeHemisphere(LongitudeHemisphere* peHemisphere) override;
    HRESULT SetLongitudeHemisphere(LongitudeHemisphere eHemisphere) override;
    HRESULT GetLatitudeDegrees(SHORT* pnDegrees) override;
    HRESULT GetLatitudeMinutes(SHORT* pnMinutes) override;
    HRESULT GetLatitudeSeconds(DOUBLE* pdSeconds) override;
    HRESULT SetLatitudeDegreesMinutesSeconds(SHORT nDegrees, SHORT nMinutes,
                                             DOUBLE dSeconds) override;
    HRESULT GetLongitudeDegrees(SHORT* pnDegrees) override;
    HRESULT GetLongitudeMinutes(SHORT* pnMinutes) override;
    HRESULT GetLongitudeSeconds(DOUBLE* pdSeconds) override;
    HRESULT SetLongitudeDegreesMinutesSeconds(SHORT nDegrees, SHORT nMinutes,
                                              DOUBLE dSeconds) override;
    HRESULT SetLocation(ILocationObject* pLocation) override;
    HRESULT IsValid(VARIANT_BOOL* pbValid) override;
    HRESULT GetLocation(ILocationObject** ppLocation) override;

    // Distance and direction to another place, spoken in the user's settings.
    HRESULT GetBearing(HeadingType eHeadingType, ILocationObject* pTo, BSTR* pbstrBearing) override;
    HRESULT GetRelativeHeading(SHORT nHeading, ILocationObject* pTo,
                               BSTR* pbstrRelativeHeading) override;
    HRESULT GetDistance(ILocationObject* pTo, LONG* pnDistance) override;
    HRESULT GetBearingDegrees(ILocationObject* pTo, SHORT* pnBearing) override;
    HRESULT GetDistanceDescription(ILocationObject* pTo, BSTR* pbstrDistance) override;
    HRESULT GetDistanceAndHeading(SHORT nHeading, ILocationObject* pTo,
                                  BSTR* pbstrDescription) override;
    HRESULT GetDistanceAndHeadingAndName(SHORT nHeading, ILocationObject* pTo,
                                         IDescriptionConfigurationObject* pConfig,
                                         BSTR* pbstrDescription) override;

    // The directions this place speaks toward others: four only for the position of a receiver
    // that gives no better (set by the service that owns the place). A place of no service
    // follows the receivers of the process's services.
    void SetCoarseDirections(bool coarse) { m_coarseDirections = coarse ? 1 : 0; }

private:
    // Which parts a distance-and-heading description includes.
    struct DescriptionParts {
        bool name = false;
        bool details = false;
        bool compass = false;
        bool directionFirst = false;
    };
    std::u16string DescribeDistanceAndHeading(SHORT nHeading, ILocationObject* pTo,
                                              DescriptionParts parts);
    bool HasPosition() const { return m_dLatitude != 0.0 || m_dLongitude != 0.0; }
    bool CoarseDirections() const;

    int m_coarseDirections = -1; // -1: not set by an owner.
};

namespace gpscore {

// A new location object at a position (null only when the runtime cannot make one).
gpslib::ComPtr<ILocationObject> NewLocation(double latitude, double longitude);
// A new location object holding the place, name and description too.
gpslib::ComPtr<ILocationObject> NewLocation(const Place& place);
// The same for a place that may be none (null then).
inline gpslib::ComPtr<ILocationObject> NewLocation(const std::optional<Place>& place) {
    return place ? NewLocation(*place) : nullptr;
}
// What a location object holds; none for no object, or one that cannot be read.
std::optional<Place> PlaceOf(ILocationObject* location);
// What a location object's GetLocation answers (a copy, for the service's own); none when it
// fails.
std::optional<Place> LocationOf(ILocationObject* location);
// A client's location object held by reference: each reading asks the object for its location
// as it is now, so that the client's later changes to it are seen.
std::shared_ptr<const HeldPlace> HoldLocation(ILocationObject* location);
// The same, with an empty place (no position) for none.
inline Place PlaceAt(ILocationObject* location) {
    return PlaceOf(location).value_or(Place{});
}
// The user at `here` facing `heading` (-1 none), the distance and direction spoken by `here`
// itself; the standpoint keeps `here` while it lives.
Standpoint StandpointAt(ILocationObject* here, std::int16_t heading);

// --- The client's values as plain ones and back, for the objects and the parts that still take
// them.

// A client's string as text (a null string is empty).
inline std::u16string Text(BSTR b) {
    return std::u16string(gpslib::View(b));
}
// `text` as a new string for the client; E_OUTOFMEMORY when it cannot be made.
inline HRESULT ReturnText(std::u16string_view text, BSTR* out) {
    *out = gpslib::AllocBstr(text);
    return *out == nullptr ? E_OUTOFMEMORY : S_OK;
}
// A client's flag: anything but VARIANT_FALSE is true.
inline bool Flag(VARIANT_BOOL b) {
    return b != VARIANT_FALSE;
}
// A place that exists and says it holds a position.
inline bool IsValidPlace(ILocationObject* location) {
    VARIANT_BOOL valid = 0;
    return location != nullptr && SUCCEEDED(location->IsValid(&valid)) && valid != 0;
}

} // namespace gpscore

#endif // GPSCORE_BASE_LOCATIONOBJECT_H_
