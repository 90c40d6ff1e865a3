#include "orientation/VirtualWalker.h"

namespace gpscore {

using gpslib::ComPtr;

void VirtualWalker::Create() {
    gpslib::CreateObject(CLSID_VirtualObject, IID_IVirtualObject, &m_pVirtualObject);
}

ComPtr<ILocationObject> VirtualWalker::Location() const {
    ComPtr<ILocationObject> location;
    if (m_pVirtualObject) m_pVirtualObject->GetLocation(location.Put());
    return location;
}

SHORT VirtualWalker::Heading() const {
    SHORT heading = -1;
    if (m_pVirtualObject) m_pVirtualObject->GetHeadingDegrees(&heading);
    return heading;
}

} // namespace gpscore
