#include "poi/POILookaround.h"

namespace gpscore {

void POILookaround::Start() {
    gpslib::CreateObject(CLSID_LocationObject, IID_ILocationObject, &m_pLookaroundLocation);
}

// The POI search is not built yet; until it is, the watch finds nothing.
void POILookaround::Check() {}

} // namespace gpscore
