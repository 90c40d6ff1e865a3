#include "orientation/Lookaround.h"

namespace gpscore {

// The watches need the street answers; until then they find nothing.
void Lookaround::CheckChanges() {}
void Lookaround::CheckIntersection() {}

void Lookaround::Remember(const std::u16string& street, const std::u16string& city,
                          const std::u16string& map) {
    m_bstrLastStreet = street;
    m_bstrLastCity = city;
    m_bstrLastMap = map;
}

} // namespace gpscore
