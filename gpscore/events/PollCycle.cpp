// The heartbeat: once a second (or on GPSForcePoll, or after GPSForceLocation without reading)
// the receiver is read, the receiver state brought up to date, and the service looks for what
// it must announce.
#include "core/GPSCore.h"
#include "core/Utility.h"

bool CGPSCore::PollCycle(bool readReceiver) {
    gpslib::os::CriticalSectionLock poll(m_csAux);
    GPSType type = GPSTypeNone;
    if (m_pUtility != nullptr && m_pUtility->ReceiverSettings())
        m_pUtility->ReceiverSettings()->GetGPSReceiverType(&type);
    bool read = false;
    if (type != GPSTypeNone) {
        if (readReceiver) read = ReadReceiver();
        m_receiver.UpdatePedometer(false);
    }
    return read;
}
