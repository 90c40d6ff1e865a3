#include "base/SystemSettingsObject.h"

#include "base/Utility.h"

namespace {

// The two distances under the record's rules.
gpscore::settings::System Distances(SHORT arrival, SHORT threshold) {
    gpscore::settings::System record;
    record.arrivalDistanceFeet = arrival;
    record.arrivedNearFeet = threshold;
    return record;
}

} // namespace

HRESULT CSystemSettingsObject::SetSettingsDirectory(BSTR bstrSettingsDirectory) {
    gpscore::settings::System record;
    record.SetSettingsDirectory(gpslib::View(bstrSettingsDirectory));
    m_bstrSettingsDirectory = gpslib::Bstr(std::u16string_view(record.settingsDirectory));
    m_bstrDebugDirectory = gpslib::Bstr(std::u16string_view(record.debugDirectory));
    // The log checks the (possibly new) debug directory again on its next line.
    gpscore::ResetLogChecks();
    return S_OK;
}

HRESULT CSystemSettingsObject::GetArrivalDistance(Units eUnits, SHORT* pnArrivalDistance) {
    if (pnArrivalDistance == nullptr) return E_POINTER;
    *pnArrivalDistance =
        Distances(m_nArrivalDistance, m_nArrivedNearThreshold).ArrivalDistance(eUnits);
    return S_OK;
}

HRESULT CSystemSettingsObject::SetArrivalDistance(Units eUnits, SHORT nArrivalDistance) {
    auto record = Distances(m_nArrivalDistance, m_nArrivedNearThreshold);
    record.SetArrivalDistance(eUnits, nArrivalDistance);
    m_nArrivalDistance = record.arrivalDistanceFeet;
    m_nArrivedNearThreshold = record.arrivedNearFeet;
    return S_OK;
}

HRESULT CSystemSettingsObject::GetArrivedNearThreshold(Units eUnits, SHORT* pnThreshold) {
    if (pnThreshold == nullptr) return E_POINTER;
    *pnThreshold =
        Distances(m_nArrivalDistance, m_nArrivedNearThreshold).ArrivedNearThreshold(eUnits);
    return S_OK;
}

HRESULT CSystemSettingsObject::SetArrivedNearThreshold(Units eUnits, SHORT nThreshold) {
    auto record = Distances(m_nArrivalDistance, m_nArrivedNearThreshold);
    record.SetArrivedNearThreshold(eUnits, nThreshold);
    m_nArrivedNearThreshold = record.arrivedNearFeet;
    return S_OK;
}

GPSLIB_CLASS_FACTORY(SystemSettingsObject, CSystemSettingsObject)
