// The answer to Where Am I: street, city, postal code, map and address range.
#ifndef GPSCORE_ORIENTATION_WHEREAMIOBJECT_H_
#define GPSCORE_ORIENTATION_WHEREAMIOBJECT_H_

#include <optional>
#include <string_view>

#include "GPSLib_classes.h"
#include "orientation/WhereAmI.h"

// The fields are plain storage that the core fills from the map engine's detail record; the
// record's position is the inner location, which answers the location methods.
class CWhereAmIObject : public CWhereAmIObjectBase {
public:
    HRESULT GetMapNameOnly(BSTR* pbstrMapName) override;
    // The detailed or the short name, as the system settings ask for street names.
    HRESULT GetStreetName(BSTR* pbstrStreetName) override;
    // km/h for Metric, mph for every other unit system.
    HRESULT GetRoadSpeedLimit(SHORT* pnSpeedLimit) override;

    // Internal setters of the core, one per field.
    void SetCity(std::u16string_view v) { m_bstrCity = gpslib::Bstr(v); }
    void SetStreetNameShort(std::u16string_view v) { m_bstrStreetNameShort = gpslib::Bstr(v); }
    void SetStreetNameDetailed(std::u16string_view v) {
        m_bstrStreetNameDetailed = gpslib::Bstr(v);
    }
    void SetRoadClassification(std::u16string_view v) {
        m_bstrRoadClassification = gpslib::Bstr(v);
    }
    void SetBorough(std::u16string_view v) { m_bstrBorough = gpslib::Bstr(v); }
    void SetArea(std::u16string_view v) { m_bstrArea = gpslib::Bstr(v); }
    void SetCounty(std::u16string_view v) { m_bstrCounty = gpslib::Bstr(v); }
    void SetStateProvince(std::u16string_view v) { m_bstrStateProvince = gpslib::Bstr(v); }
    void SetCountry(std::u16string_view v) { m_bstrCountry = gpslib::Bstr(v); }
    void SetZipPostalcode(std::u16string_view v) { m_bstrZipPostalcode = gpslib::Bstr(v); }
    void SetHouseNumber(std::u16string_view v) { m_bstrHouseNumber = gpslib::Bstr(v); }
    void SetAddressRightFromAlphaNum(std::u16string_view v) {
        m_bstrAddressRightFromAlphaNum = gpslib::Bstr(v);
    }
    void SetAddressRightToAlphaNum(std::u16string_view v) {
        m_bstrAddressRightToAlphaNum = gpslib::Bstr(v);
    }
    void SetAddressLeftFromAlphaNum(std::u16string_view v) {
        m_bstrAddressLeftFromAlphaNum = gpslib::Bstr(v);
    }
    void SetAddressLeftToAlphaNum(std::u16string_view v) {
        m_bstrAddressLeftToAlphaNum = gpslib::Bstr(v);
    }
    void SetAddressRightFrom(LONG v) { m_nAddressRightFrom = v; }
    void SetAddressRightTo(LONG v) { m_nAddressRightTo = v; }
    void SetAddressLeftFrom(LONG v) { m_nAddressLeftFrom = v; }
    void SetAddressLeftTo(LONG v) { m_nAddressLeftTo = v; }
    void SetMap(std::u16string_view v) { m_bstrMap = gpslib::Bstr(v); }
    void SetDescription(std::u16string_view v) { m_bstrDescription = gpslib::Bstr(v); }
    void SetSpeedLimitNonMetric(SHORT v) { m_nSpeedLimitNonMetric = v; }
    void SetSpeedLimitMetric(SHORT v) { m_nSpeedLimitMetric = v; }
    void SetNumberLanes(SHORT v) { m_nNumberLanes = v; }
};

namespace gpscore {

// A new answer object holding the Where Am I answer.
HRESULT NewWhereAmIObject(const WhereAmIAnswer& answer, IWhereAmIObject** result);
// A new answer object holding only the areas and the map (none: an empty answer).
HRESULT NewAreasObject(const std::optional<LocationDetail>& areas, IWhereAmIObject** result);

} // namespace gpscore

#endif // GPSCORE_ORIENTATION_WHEREAMIOBJECT_H_
