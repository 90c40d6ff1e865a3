// The virtual walker: a position and heading the user moves over the street network from the
// armchair, answered for whenever a question names VirtualMode. To come here: VirtualSet…,
// VirtualForward, VirtualBackup, VirtualTurnLeft/Right, VirtualCrossStreet, VirtualSetHeading,
// VirtualSetImpliedHeading, VirtualGetOnStreetMessage, and the position saved across runs.
#ifndef GPSCORE_ORIENTATION_VIRTUALWALKER_H_
#define GPSCORE_ORIENTATION_VIRTUALWALKER_H_

#include "GPSLib_classes.h"

namespace gpscore {

// REQUIRES for every method: the service's core lock held.
class VirtualWalker {
public:
    // The walker object, made by Start and released by Stop.
    IVirtualObject* Walker() const { return m_pVirtualObject.Get(); }
    void Create();
    void Release() { m_pVirtualObject.Reset(); }
    gpslib::ComPtr<ILocationObject> Location() const;
    SHORT Heading() const;

    // Whether the poll cycle has announced the live user arriving near the walker.
    bool ArrivedNear() const { return m_bArrivedNearVirtual; }
    void SetArrivedNear(bool arrived) { m_bArrivedNearVirtual = arrived; }

    // The walked distance of the virtual pedometer (the live one is the receiver's).
    LONG PedometerTotal() const { return m_nPedometerTotalVirtual; }
    void PedometerReset() { m_nPedometerTotalVirtual = 0; }

private:
    gpslib::ComPtr<IVirtualObject> m_pVirtualObject;
    bool m_bArrivedNearVirtual = false;
    LONG m_nPedometerTotalVirtual = 0;
};

} // namespace gpscore

#endif // GPSCORE_ORIENTATION_VIRTUALWALKER_H_
