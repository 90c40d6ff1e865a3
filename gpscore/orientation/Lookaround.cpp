#include "orientation/Lookaround.h"

namespace gpscore {

void Lookaround::Start() {
    gpslib::CreateObject(CLSID_LocationObject, IID_ILocationObject, &m_pLookaroundLocation);
}

// The watches need the street answers and the POI search; until then they find nothing.
void Lookaround::CheckChanges() {}
void Lookaround::CheckIntersection() {}
void Lookaround::CheckPOIs() {}

void Lookaround::Remember(const std::u16string& street, const std::u16string& city,
                          const std::u16string& map) {
    m_bstrLastStreet = street;
    m_bstrLastCity = city;
    m_bstrLastMap = map;
}

} // namespace gpscore
