// An intersection with its streets and the way each leaves it.
#ifndef GPSCORE_ORIENTATION_INTERSECTIONOBJECT_H_
#define GPSCORE_ORIENTATION_INTERSECTIONOBJECT_H_

#include <string_view>

#include "GPSLib_classes.h"
#include "orientation/WhereAmI.h"

// The four texts are plain storage that the core fills; the position is the inner location,
// which answers the location methods.
class CIntersectionObject : public CIntersectionObjectBase {
public:
    // Internal setters of the core.
    void SetIntersectionDescription(std::u16string_view text) {
        m_bstrIntersectionDescription = gpslib::Bstr(text);
    }
    void SetIntersectionDescriptionDetailed(std::u16string_view text) {
        m_bstrIntersectionDescriptionDetailed = gpslib::Bstr(text);
    }
    void SetCurrentStreetName(std::u16string_view text) {
        m_bstrCurrentStreetName = gpslib::Bstr(text);
    }
    void SetCrossStreets(std::u16string_view text) { m_bstrCrossStreets = gpslib::Bstr(text); }
};

namespace gpscore {

// A new intersection object holding the answer: its position (none when nothing was found) and
// the texts it has.
HRESULT NewIntersectionObject(const IntersectionAnswer& answer, IIntersectionObject** result);

} // namespace gpscore

#endif // GPSCORE_ORIENTATION_INTERSECTIONOBJECT_H_
