// A snapshot of one waypoint of a route and its index there; changing it changes the route
// only through the route's UpdateWaypointInRoute.
#ifndef GPSCORE_ROUTE_WAYPOINTOBJECT_H_
#define GPSCORE_ROUTE_WAYPOINTOBJECT_H_

#include "GPSLib_classes.h"
#include "orientation/InnerLocation.h"

// The position, name and description live in the inner location; the waypoint name is that
// location's name.
class CWaypointObject : public CWaypointObjectBase {
public:
    HRESULT GetWaypointName(BSTR* pbstrName) override { return m_location.GetName(pbstrName); }
    HRESULT SetWaypointName(BSTR bstrName) override { return m_location.SetName(bstrName); }
    HRESULT GetName(BSTR* pbstrName) override { return m_location.GetName(pbstrName); }
    HRESULT SetName(BSTR bstrName) override { return m_location.SetName(bstrName); }
    HRESULT GetDescription(BSTR* pbstrDescription) override {
        return m_location.GetDescription(pbstrDescription);
    }
    HRESULT SetDescription(BSTR bstrDescription) override {
        return m_location.SetDescription(bstrDescription);
    }
    HRESULT SetLocation(ILocationObject* pLocation) override {
        return m_location.SetLocation(pLocation);
    }
    HRESULT GetLocation(ILocationObject** ppLocation) override {
        return m_location.GetLocation(ppLocation);
    }
    HRESULT SetLatitude(DOUBLE dLatitude) override { return m_location.SetLatitude(dLatitude); }
    HRESULT SetLongitude(DOUBLE dLongitude) override { return m_location.SetLongitude(dLongitude); }
    HRESULT GetLatitude(DOUBLE* pdLatitude) override { return m_location.GetLatitude(pdLatitude); }
    HRESULT GetLongitude(DOUBLE* pdLongitude) override {
        return m_location.GetLongitude(pdLongitude);
    }
    HRESULT IsValid(VARIANT_BOOL* pbValid) override { return m_location.IsValid(pbValid); }

    HRESULT GetBearing(HeadingType eHeadingType, ILocationObject* pTo,
                       BSTR* pbstrBearing) override {
        return m_location.GetBearing(eHeadingType, pTo, pbstrBearing);
    }
    HRESULT GetRelativeHeading(SHORT nHeading, ILocationObject* pTo,
                               BSTR* pbstrRelativeHeading) override {
        return m_location.GetRelativeHeading(nHeading, pTo, pbstrRelativeHeading);
    }
    HRESULT GetDistance(ILocationObject* pTo, LONG* pnDistance) override {
        return m_location.GetDistance(pTo, pnDistance);
    }
    HRESULT GetBearingDegrees(ILocationObject* pTo, SHORT* pnBearing) override {
        return m_location.GetBearingDegrees(pTo, pnBearing);
    }
    HRESULT GetDistanceDescription(ILocationObject* pTo, BSTR* pbstrDistance) override {
        return m_location.GetDistanceDescription(pTo, pbstrDistance);
    }
    HRESULT GetDistanceAndHeading(SHORT nHeading, ILocationObject* pTo,
                                  BSTR* pbstrDescription) override {
        return m_location.GetDistanceAndHeading(nHeading, pTo, pbstrDescription);
    }
    HRESULT GetDistanceAndHeadingAndName(SHORT nHeading, ILocationObject* pTo,
                                         IDescriptionConfigurationObject* pConfig,
                                         BSTR* pbstrDescription) override {
        return m_location.GetDistanceAndHeadingAndName(nHeading, pTo, pConfig, pbstrDescription);
    }

private:
    gpscore::InnerLocation m_location;
};

#endif // GPSCORE_ROUTE_WAYPOINTOBJECT_H_
