#include "poi/POISearch.h"

#include "core/ServiceContext.h"

namespace gpscore {

void POISearch::Start() {
    gpslib::CreateObject(CLSID_LocationObject, IID_ILocationObject, &m_pPOISearchLocation);
}

void POISearch::Stop() {
    for (auto* results : {&m_context.m_pPOIResultsA, &m_context.m_pPOIResultsB}) {
        if (*results) (*results)->Clear();
        results->Reset();
    }
    m_pPOISearchLocation.Reset();
}

} // namespace gpscore
