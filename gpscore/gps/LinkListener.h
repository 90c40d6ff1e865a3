// What the receiver link tells the rest of the service (the poll cycle listens).
#ifndef GPSCORE_GPS_LINKLISTENER_H_
#define GPSCORE_GPS_LINKLISTENER_H_

#include <string_view>

namespace gpscore {

class LinkListener {
public:
    // The link was opened again: whatever watched the old one starts over.
    virtual void OnLinkRestarted() = 0;
    // A played-back trace reached one of its annotations.
    virtual void OnAnnotation(std::u16string_view text) = 0;

protected:
    ~LinkListener() = default;
};

} // namespace gpscore

#endif // GPSCORE_GPS_LINKLISTENER_H_
