// The LocationObject that a place-like object (destination, intersection, Where Am I answer,
// virtual walker, GPS fix, event) carries inside, and the forwarding of the location methods to
// it. The inner object is created through the runtime by class id, so that it is the same
// LocationObject a client gets; when that creation fails the holder still exists, and every
// forwarded call answers E_FAIL (after the usual E_POINTER check of its pointers).
#ifndef GPSCORE_ORIENTATION_INNERLOCATION_H_
#define GPSCORE_ORIENTATION_INNERLOCATION_H_

#include "GPSLib_classes.h"

namespace gpscore {

class InnerLocation {
public:
    InnerLocation() {
        gpslib::CreateObject(CLSID_LocationObject, IID_ILocationObject, &m_pLocation);
    }

    // The object itself (no reference added); null when its creation failed.
    ILocationObject* Get() const { return m_pLocation.Get(); }
    // Holds `location` by reference from now on (it is shared, not copied).
    void Share(ILocationObject* location) { m_pLocation = location; }

    HRESULT GetName(BSTR* out) const {
        if (out == nullptr) return E_POINTER;
        return m_pLocation ? m_pLocation->GetName(out) : E_FAIL;
    }
    HRESULT SetName(BSTR name) const { return m_pLocation ? m_pLocation->SetName(name) : E_FAIL; }
    HRESULT GetDescription(BSTR* out) const {
        if (out == nullptr) return E_POINTER;
        return m_pLocation ? m_pLocation->GetDescription(out) : E_FAIL;
    }
    HRESULT SetDescription(BSTR text) const {
        return m_pLocation ? m_pLocation->SetDescription(text) : E_FAIL;
    }
    HRESULT SetLocation(ILocationObject* from) const {
        if (from == nullptr) return E_POINTER;
        return m_pLocation ? m_pLocation->SetLocation(from) : E_FAIL;
    }
    HRESULT SetLatitude(DOUBLE value) const {
        return m_pLocation ? m_pLocation->SetLatitude(value) : E_FAIL;
    }
    HRESULT SetLongitude(DOUBLE value) const {
        return m_pLocation ? m_pLocation->SetLongitude(value) : E_FAIL;
    }
    HRESULT IsValid(VARIANT_BOOL* out) const {
        if (out == nullptr) return E_POINTER;
        return m_pLocation ? m_pLocation->IsValid(out) : E_FAIL;
    }
    HRESULT GetLocation(ILocationObject** out) const {
        if (out == nullptr) return E_POINTER;
        *out = nullptr;
        return m_pLocation ? m_pLocation->GetLocation(out) : E_FAIL;
    }
    HRESULT GetLatitude(DOUBLE* out) const {
        if (out == nullptr) return E_POINTER;
        return m_pLocation ? m_pLocation->GetLatitude(out) : E_FAIL;
    }
    HRESULT GetLongitude(DOUBLE* out) const {
        if (out == nullptr) return E_POINTER;
        return m_pLocation ? m_pLocation->GetLongitude(out) : E_FAIL;
    }

    // The distance and direction questions: the inner location answers them.
    HRESULT GetBearing(HeadingType type, ILocationObject* to, BSTR* out) const {
        if (out == nullptr) return E_POINTER;
        return m_pLocation ? m_pLocation->GetBearing(type, to, out) : E_FAIL;
    }
    HRESULT GetRelativeHeading(SHORT heading, ILocationObject* to, BSTR* out) const {
        if (out == nullptr) return E_POINTER;
        return m_pLocation ? m_pLocation->GetRelativeHeading(heading, to, out) : E_FAIL;
    }
    HRESULT GetDistance(ILocationObject* to, LONG* out) const {
        if (out == nullptr) return E_POINTER;
        return m_pLocation ? m_pLocation->GetDistance(to, out) : E_FAIL;
    }
    HRESULT GetBearingDegrees(ILocationObject* to, SHORT* out) const {
        if (out == nullptr) return E_POINTER;
        return m_pLocation ? m_pLocation->GetBearingDegrees(to, out) : E_FAIL;
    }
    HRESULT GetDistanceDescription(ILocationObject* to, BSTR* out) const {
        if (out == nullptr) return E_POINTER;
        return m_pLocation ? m_pLocation->GetDistanceDescription(to, out) : E_FAIL;
    }
    HRESULT GetDistanceAndHeading(SHORT heading, ILocationObject* to, BSTR* out) const {
        if (out == nullptr) return E_POINTER;
        return m_pLocation ? m_pLocation->GetDistanceAndHeading(heading, to, out) : E_FAIL;
    }
    HRESULT GetDistanceAndHeadingAndName(SHORT heading, ILocationObject* to,
                                         IDescriptionConfigurationObject* config, BSTR* out) const {
        if (out == nullptr) return E_POINTER;
        return m_pLocation ? m_pLocation->GetDistanceAndHeadingAndName(heading, to, config, out)
                           : E_FAIL;
    }

private:
    gpslib::ComPtr<ILocationObject> m_pLocation;
};

} // namespace gpscore

#endif // GPSCORE_ORIENTATION_INNERLOCATION_H_
