#include "orientation/WhereAmIObject.h"

#include <cmath>

#include "base/LocationObject.h"
#include "base/Utility.h"
#include "orientation/MapName.h"

HRESULT CWhereAmIObject::GetMapNameOnly(BSTR* pbstrMapName) {
    if (pbstrMapName == nullptr) return E_POINTER;
    return gpslib::ReturnString(pbstrMapName,
                                std::u16string_view(gpscore::PlainMapName(m_bstrMap.View())));
}

HRESULT CWhereAmIObject::GetStreetName(BSTR* pbstrStreetName) {
    if (pbstrStreetName == nullptr) return E_POINTER;
    VARIANT_BOOL detailed = VARIANT_FALSE;
    auto utility = gpscore::Utility::Instance();
    if (utility != nullptr) detailed = utility->SystemSettings().streetNamesDetailed;
    return gpslib::ReturnString(pbstrStreetName, detailed != 0 ? m_bstrStreetNameDetailed.View()
                                                               : m_bstrStreetNameShort.View());
}

HRESULT CWhereAmIObject::GetRoadSpeedLimit(SHORT* pnSpeedLimit) {
    if (pnSpeedLimit == nullptr) return E_POINTER;
    auto utility = gpscore::Utility::Instance();
    const Units units = utility != nullptr ? utility->CurrentUnits() : Imperial;
    *pnSpeedLimit = units == Metric ? m_nSpeedLimitMetric : m_nSpeedLimitNonMetric;
    return S_OK;
}

GPSLIB_CLASS_FACTORY(WhereAmIObject, CWhereAmIObject)

namespace gpscore {

namespace {

// A speed limit as a whole number; nothing sensible (NaN, out of range) reads as none.
SHORT WholeSpeed(double value) {
    if (!std::isfinite(value) || value < 0.0 || value > 1000.0) return 0;
    return static_cast<SHORT>(value);
}

void SetAreas(CWhereAmIObject& answer, const LocationDetail& r) {
    answer.SetCity(r.city);
    answer.SetBorough(r.borough);
    answer.SetArea(r.area);
    answer.SetCounty(r.county);
    answer.SetCountry(r.country);
    answer.SetStateProvince(r.stateProvince);
    answer.SetZipPostalcode(r.zipPostalcode);
    answer.SetMap(r.map);
}

HRESULT NewAnswer(gpslib::ComPtr<IWhereAmIObject>* object, CWhereAmIObject** impl) {
    HRESULT hr = gpslib::CreateObject(CLSID_WhereAmIObject, IID_IWhereAmIObject, object);
    if (FAILED(hr)) return hr;
    *impl = gpslib::ImplOf<CWhereAmIObject>(object->Get());
    return *impl != nullptr ? S_OK : E_FAIL;
}

} // namespace

HRESULT NewWhereAmIObject(const WhereAmIAnswer& answer, IWhereAmIObject** result) {
    gpslib::ComPtr<IWhereAmIObject> object;
    CWhereAmIObject* impl = nullptr;
    HRESULT hr = NewAnswer(&object, &impl);
    if (FAILED(hr)) return hr;
    if (answer.detail) {
        const LocationDetail& r = *answer.detail;
        impl->SetSpeedLimitNonMetric(WholeSpeed(r.speedLimitNonMetric));
        impl->SetSpeedLimitMetric(WholeSpeed(r.speedLimitMetric));
        impl->SetNumberLanes(r.numberLanes);
        impl->SetStreetNameDetailed(r.streetNameDetailed);
        impl->SetStreetNameShort(r.streetNameShort);
        SetAreas(*impl, r);
        impl->SetRoadClassification(r.roadClassification);
        impl->SetHouseNumber(r.houseNumber);
        impl->SetAddressRightFromAlphaNum(r.addressRightFromAlphaNum);
        impl->SetAddressRightToAlphaNum(r.addressRightToAlphaNum);
        impl->SetAddressLeftFromAlphaNum(r.addressLeftFromAlphaNum);
        impl->SetAddressLeftToAlphaNum(r.addressLeftToAlphaNum);
        impl->SetAddressRightFrom(r.addressRightFrom);
        impl->SetAddressRightTo(r.addressRightTo);
        impl->SetAddressLeftFrom(r.addressLeftFrom);
        impl->SetAddressLeftTo(r.addressLeftTo);
        if (auto at = NewLocation(r.latitude, r.longitude)) impl->ShareLocation(at.Get());
    }
    if (answer.description) impl->SetDescription(*answer.description);
    *result = object.Detach();
    return S_OK;
}

HRESULT NewAreasObject(const std::optional<LocationDetail>& areas, IWhereAmIObject** result) {
    gpslib::ComPtr<IWhereAmIObject> object;
    CWhereAmIObject* impl = nullptr;
    HRESULT hr = NewAnswer(&object, &impl);
    if (FAILED(hr)) return hr;
    if (areas) SetAreas(*impl, *areas);
    *result = object.Detach();
    return S_OK;
}

} // namespace gpscore
