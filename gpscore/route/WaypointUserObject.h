// A waypoint that the user places by hand (position, turn and heading), to be added to or
// inserted into a route.
#ifndef GPSCORE_ROUTE_WAYPOINTUSEROBJECT_H_
#define GPSCORE_ROUTE_WAYPOINTUSEROBJECT_H_

#include "GPSLib_classes.h"
#include "orientation/InnerLocation.h"

// The position, name and description live in the inner location.
class CWaypointUserObject : public CWaypointUserObjectBase {
public:
    HRESULT GetLocation(ILocationObject** ppLocation) override {
        return m_location.GetLocation(ppLocation);
    }
    HRESULT GetName(BSTR* pbstrName) override { return m_location.GetName(pbstrName); }
    HRESULT SetName(BSTR bstrName) override { return m_location.SetName(bstrName); }
    HRESULT GetDescription(BSTR* pbstrDescription) override {
        return m_location.GetDescription(pbstrDescription);
    }
    HRESULT SetDescription(BSTR bstrDescription) override {
        return m_location.SetDescription(bstrDescription);
    }

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

    // Stores the location (position, name and description), the turn and the heading. A turn
    // already given is not replaced by one without a heading: S_FALSE, nothing changes.
    HRESULT CreateUserWaypoint(ILocationObject* pLocation, WaypointTurnType eTurnType,
                               SHORT nHeading) override;

private:
    gpscore::InnerLocation m_location;
};

#endif // GPSCORE_ROUTE_WAYPOINTUSEROBJECT_H_
