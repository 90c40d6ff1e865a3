// The live GPS fix record: position, heading, speed and fix data.
#ifndef GPSCORE_GPS_GPSOBJECT_H_
#define GPSCORE_GPS_GPSOBJECT_H_

#include "GPSLib_classes.h"
#include "os/sync.h"

namespace gpscore {
class ReceiverState;
}

// The position lives in the inner LocationObject, which answers the location methods. The
// polling thread writes the record while clients read it, so every read of the record, the
// location methods included, takes the object's data lock (DataLock(): taken after the core lock
// and the poll lock, never before them). Every field is guarded by it, so the lock analysis
// checks each access. Beside the interface, six operations reach the location: the parsers set
// the position through the last two, the core reads the name and description through the others.
// The plain getters (heading and instantaneous heading, fix quality, dilutions, satellites) are
// the generated ones, which take the lock themselves.
class CGPSObject : public CGPSObjectBase {
public:
    // The directions the fix's place speaks.
    void SetCoarseDirections(bool coarse) REQUIRES(m_csData);

    // Altitude in metres (Metric) or feet; -1 unknown.
    HRESULT GetAltitude(LONG* plAltitude) override;
    // The spoken form of the averaged heading, in degrees or as a compass point.
    HRESULT GetHeading(HeadingType eHeadingType, BSTR* pbstrHeading) override;
    HRESULT IsHeadingValid(VARIANT_BOOL* pbHeadingValid) override;
    // Speed in km/h (Metric), knots (the nautical units) or mph: rounded, and cut to tenths.
    HRESULT GetSpeed(SHORT* pnSpeed) override;
    HRESULT GetSpeedDouble(DOUBLE* pdSpeed) override;
    HRESULT GetEstimatedAccuracy(SHORT* pnAccuracy) override;
    HRESULT GetEstimatedAccuracyDescription(BSTR* pbstrDescription) override;
    HRESULT HasGPSFix(VARIANT_BOOL* pbHasFix) override;
    HRESULT IsDifferentialEnabled(VARIANT_BOOL* pbDifferential) override;

    // The location methods: the inner location's answers.
    HRESULT IsValid(VARIANT_BOOL* pbValid) override {
        return Locked(pbValid, &ILocationObject::IsValid);
    }
    HRESULT GetLocation(ILocationObject** ppLocation) override {
        return Locked(ppLocation, &ILocationObject::GetLocation);
    }
    HRESULT GetLatitude(DOUBLE* pdLatitude) override {
        return Locked(pdLatitude, &ILocationObject::GetLatitude);
    }
    HRESULT GetLongitude(DOUBLE* pdLongitude) override {
        return Locked(pdLongitude, &ILocationObject::GetLongitude);
    }
    HRESULT GetBearing(HeadingType eHeadingType, ILocationObject* pTo,
                       BSTR* pbstrBearing) override {
        return Locked(pbstrBearing, &ILocationObject::GetBearing, eHeadingType, pTo);
    }
    HRESULT GetRelativeHeading(SHORT nHeading, ILocationObject* pTo,
                               BSTR* pbstrRelativeHeading) override {
        return Locked(pbstrRelativeHeading, &ILocationObject::GetRelativeHeading, nHeading, pTo);
    }
    HRESULT GetDistance(ILocationObject* pTo, LONG* pnDistance) override {
        return Locked(pnDistance, &ILocationObject::GetDistance, pTo);
    }
    HRESULT GetBearingDegrees(ILocationObject* pTo, SHORT* pnBearing) override {
        return Locked(pnBearing, &ILocationObject::GetBearingDegrees, pTo);
    }
    HRESULT GetDistanceDescription(ILocationObject* pTo, BSTR* pbstrDistance) override {
        return Locked(pbstrDistance, &ILocationObject::GetDistanceDescription, pTo);
    }
    HRESULT GetDistanceAndHeading(SHORT nHeading, ILocationObject* pTo,
                                  BSTR* pbstrDescription) override {
        return Locked(pbstrDescription, &ILocationObject::GetDistanceAndHeading, nHeading, pTo);
    }
    HRESULT GetDistanceAndHeadingAndName(SHORT nHeading, ILocationObject* pTo,
                                         IDescriptionConfigurationObject* pConfig,
                                         BSTR* pbstrDescription) override {
        return Locked(pbstrDescription, &ILocationObject::GetDistanceAndHeadingAndName, nHeading,
                      pTo, pConfig);
    }

    virtual HRESULT GetName(BSTR* pbstrName) {
        return Locked(pbstrName, &ILocationObject::GetName);
    }
    virtual HRESULT SetName(BSTR bstrName) { return Inner(&ILocationObject::SetName, bstrName); }
    virtual HRESULT GetDescription(BSTR* pbstrDescription) {
        return Locked(pbstrDescription, &ILocationObject::GetDescription);
    }
    virtual HRESULT SetLocation(ILocationObject* pLocation) {
        return Inner(&ILocationObject::SetLocation, pLocation);
    }
    virtual HRESULT SetLongitude(DOUBLE dLongitude) {
        return Inner(&ILocationObject::SetLongitude, dLongitude);
    }
    virtual HRESULT SetLatitude(DOUBLE dLatitude) {
        return Inner(&ILocationObject::SetLatitude, dLatitude);
    }

private:
    // The receiver state writes the record's fields, always under the data lock.
    friend class gpscore::ReceiverState;

    template <class... P, class... A>
    HRESULT Inner(HRESULT (ILocationObject::*op)(P...), A... args) {
        return m_pLocation ? (m_pLocation.Get()->*op)(args...) : E_FAIL;
    }
    // Asks the inner location under the data lock, `out` (checked first) as the last argument.
    template <class Out, class... P, class... A>
    HRESULT Locked(Out* out, HRESULT (ILocationObject::*op)(P...), A... args) {
        if (out == nullptr) return E_POINTER;
        gpslib::os::CriticalSectionLock lock(m_csData);
        return Inner(op, args..., out);
    }
    // The fields the derived answers are made from, copied under the data lock, so that no
    // conversion or text is made while the polling thread waits.
    struct Fix {
        LONG altitudeFeet;
        SHORT headingDegrees;
        DOUBLE speedMph;
        DOUBLE estimatedAccuracyMeters;
        GPSQuality fixQuality;
        LONG ggaQuality;
        SHORT satellites;
    };
    Fix Copy();
};

namespace gpscore {

// The fix's place as a new location object; null without a record.
gpslib::ComPtr<ILocationObject> FixLocation(IGPSObject* record);

} // namespace gpscore

#endif // GPSCORE_GPS_GPSOBJECT_H_
