// The virtual walker's position, heading and street.
#ifndef GPSCORE_ORIENTATION_VIRTUALOBJECT_H_
#define GPSCORE_ORIENTATION_VIRTUALOBJECT_H_

#include <memory>

#include "GPSLib_classes.h"
#include "orientation/VirtualWalker.h"

// A view over a walker's state (gpscore::WalkerState): the service's walker object shows the
// walker part's own, so that the client's changes through it reach the walker and the walker's
// steps are seen through it. The location methods are answered by a location object holding the
// walker's place; the direction questions pass the walker's own heading to it.
class CVirtualObject : public CVirtualObjectBase {
public:
    CVirtualObject() : m_state(std::make_shared<gpscore::WalkerState>()) {}
    void Share(std::shared_ptr<gpscore::WalkerState> state) { m_state = std::move(state); }

    HRESULT GetCurrentStreetName(BSTR* pbstrStreetName) override;
    HRESULT SetHeading(SHORT nHeading) override;
    // The spoken form of the walker's heading, in degrees or as a compass point.
    HRESULT GetHeading(HeadingType eHeadingType, BSTR* pbstrHeading) override;
    HRESULT GetHeadingDegrees(SHORT* pnHeading) override;
    HRESULT GetSideOfStreet(SideOfStreet* peSide) override;
    HRESULT SetSideOfStreet(SideOfStreet eSide) override;
    HRESULT MustCrossStreet(VARIANT_BOOL* pbMustCross) override;
    HRESULT SetMustCrossStreet(VARIANT_BOOL bMustCross) override;
    HRESULT GetName(BSTR* pbstrName) override;
    HRESULT SetName(BSTR bstrName) override;
    HRESULT GetDescription(BSTR* pbstrDescription) override;
    HRESULT SetLocation(ILocationObject* pLocation) override;
    HRESULT IsValid(VARIANT_BOOL* pbValid) override;
    HRESULT GetLocation(ILocationObject** ppLocation) override;
    HRESULT GetLatitude(DOUBLE* pdLatitude) override;
    HRESULT GetLongitude(DOUBLE* pdLongitude) override;
    HRESULT GetBearing(HeadingType eHeadingType, ILocationObject* pTo, BSTR* pbstrBearing) override;
    HRESULT GetDistance(ILocationObject* pTo, LONG* pnDistance) override;
    HRESULT GetBearingDegrees(ILocationObject* pTo, SHORT* pnBearing) override;
    HRESULT GetDistanceDescription(ILocationObject* pTo, BSTR* pbstrDistance) override;
    HRESULT GetRelativeHeading(ILocationObject* pTo, BSTR* pbstrRelativeHeading) override;
    HRESULT IsHeadingValid(VARIANT_BOOL* pbValid) override;
    HRESULT GetDistanceAndHeading(ILocationObject* pTo, BSTR* pbstrDescription) override;
    HRESULT GetDistanceAndHeadingAndName(ILocationObject* pTo,
                                         IDescriptionConfigurationObject* pConfig,
                                         BSTR* pbstrDescription) override;

private:
    // A location object holding the walker's place (null only when the runtime cannot make one).
    gpslib::ComPtr<ILocationObject> Here() const;
    // A location method asked of Here(): E_POINTER for no `out`, E_FAIL without a place.
    template <class Out, class... Params, class... Args>
    HRESULT Ask(Out* out, HRESULT (ILocationObject::*method)(Params...), Args... args) const {
        if (out == nullptr) return E_POINTER;
        gpslib::ComPtr<ILocationObject> here = Here();
        return here ? (here.Get()->*method)(args...) : E_FAIL;
    }

    std::shared_ptr<gpscore::WalkerState> m_state;
};

namespace gpscore {

// A new walker object showing `state` (null only when the runtime cannot make one).
gpslib::ComPtr<IVirtualObject> NewVirtualObject(std::shared_ptr<WalkerState> state);

} // namespace gpscore

#endif // GPSCORE_ORIENTATION_VIRTUALOBJECT_H_
