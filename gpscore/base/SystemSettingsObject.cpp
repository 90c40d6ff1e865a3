#include "base/SystemSettingsObject.h"

#include "base/Utility.h"
#include "formats/Geodesy.h"

namespace {

// Stored distances are feet; the conversion and its rounding live with the other unit helpers.
SHORT ToFeet(Units units, SHORT value) {
    return gpscore::geo::UnitsToStoredFeet(value, units);
}

SHORT FromFeet(Units units, SHORT feet) {
    return gpscore::geo::StoredFeetToUnits(feet, units);
}

} // namespace

// The debug directory is "Debug" inside the settings directory; a directory that already ends in
// a separator (either kind) gets no second one.
HRESULT CSystemSettingsObject::SetSettingsDirectory(BSTR bstrSettingsDirectory) {
    std::u16string directory(gpslib::View(bstrSettingsDirectory));
    std::u16string debug = directory;
    if (debug.empty() || (debug.back() != u'/' && debug.back() != u'\\')) debug += u'/';
    debug += u"Debug";
    m_bstrSettingsDirectory = gpslib::Bstr(std::u16string_view(directory));
    m_bstrDebugDirectory = gpslib::Bstr(std::u16string_view(debug));
    // The log checks the (possibly new) debug directory again on its next line.
    gpscore::ResetLogChecks();
    return S_OK;
}

void CSystemSettingsObject::SetSettingsDirectoryOnly(std::u16string_view directory) {
    m_bstrSettingsDirectory = gpslib::Bstr(directory);
}

HRESULT CSystemSettingsObject::GetArrivalDistance(Units eUnits, SHORT* pnArrivalDistance) {
    if (pnArrivalDistance == nullptr) return E_POINTER;
    *pnArrivalDistance = FromFeet(eUnits, m_nArrivalDistance);
    return S_OK;
}

// A shorter arrival distance pulls the threshold down with it.
HRESULT CSystemSettingsObject::SetArrivalDistance(Units eUnits, SHORT nArrivalDistance) {
    m_nArrivalDistance = ToFeet(eUnits, nArrivalDistance);
    if (m_nArrivedNearThreshold > m_nArrivalDistance) m_nArrivedNearThreshold = m_nArrivalDistance;
    return S_OK;
}

HRESULT CSystemSettingsObject::GetArrivedNearThreshold(Units eUnits, SHORT* pnThreshold) {
    if (pnThreshold == nullptr) return E_POINTER;
    *pnThreshold = FromFeet(eUnits, m_nArrivedNearThreshold);
    return S_OK;
}

HRESULT CSystemSettingsObject::SetArrivedNearThreshold(Units eUnits, SHORT nThreshold) {
    SHORT feet = ToFeet(eUnits, nThreshold < 0 ? SHORT{0} : nThreshold);
    m_nArrivedNearThreshold = feet < m_nArrivalDistance ? feet : m_nArrivalDistance;
    return S_OK;
}

GPSLIB_CLASS_FACTORY(SystemSettingsObject, CSystemSettingsObject)
