// One automatic event: its type, urgency, description and place.
#ifndef GPSCORE_BASE_AUTOMATICEVENTOBJECT_H_
#define GPSCORE_BASE_AUTOMATICEVENTOBJECT_H_

#include <optional>
#include <string_view>

#include "GPSLib_classes.h"
#include "base/Place.h"

// Plain storage filled by the event builders. The place is a copy of the location the event
// refers to, taken when the event is made; an event without one makes an empty location the
// first time a client asks.
class CAutomaticEventObject : public CAutomaticEventObjectBase {
public:
    HRESULT GetLocation(ILocationObject** ppLocation) override;

    // Internal setters of the event builders.
    void SetEventType(EventType type) { m_eType = type; }
    void SetUrgencyLevel(UrgencyLevel urgency) { m_eUrgency = urgency; }
    void SetDescription(std::u16string_view description) {
        m_bstrDescription = gpslib::Bstr(description);
    }
    // The place the event refers to (none: an empty location on the first request).
    void SetPlace(const std::optional<gpscore::Place>& place);

private:
    gpslib::ComPtr<ILocationObject> m_pLocation;
};

#endif // GPSCORE_BASE_AUTOMATICEVENTOBJECT_H_
