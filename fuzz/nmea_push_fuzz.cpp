// Fuzz target: NMEA text a client pushes in, through the receiver link to the live fix record.
// The first byte picks the heading averaging mode and where the text is cut into two pushes;
// the rest is the text as UTF-16 code units (little-endian pairs), so characters outside the
// 8-bit code page, lone surrogates and NULs arrive as a client can send them. Every value the
// sentences carry reaches the record and the receiver state (fix quality, heading averaging,
// pedometer), and every getter a client calls then answers: never a crash, an overflow or a
// read outside the input. The fix quality stays one of the enumeration's values.
#include <gpslib/GPSDatabaseLib.h>
#include <gpslib/GPSMapLib.h>
#include <gpslib/registry.h>

#include <cstdint>
#include <cstdlib>
#include <string>

#include "GPSLib_classes.h"
#include "base/ServiceContext.h"
#include "gps/GPSObject.h"
#include "gps/ReceiverLink.h"
#include "service_classes.h"

namespace {

using gpslib::ComPtr;

void AskEverything(IGPSObject* gps) {
    LONG altitude = 0;
    SHORT value = 0;
    DOUBLE real = 0.0;
    GPSQuality quality = GPSQualityNoGPS;
    gps->GetAltitude(&altitude);
    gps->GetHeadingDegrees(&value);
    gps->GetInstantaneousHeadingDegrees(&value);
    gps->GetSpeed(&value);
    gps->GetSpeedDouble(&real);
    gps->GetEstimatedAccuracy(&value);
    gps->GetHDOP(&real);
    gps->GetVDOP(&real);
    gps->GetNumberOfSatellites(&value);
    gps->GetFixQuality(&quality);
    if (quality < GPSQualityNoGPS || quality > GPSQualityInertial) std::abort();
    for (HeadingType type : {Degrees, Compass}) {
        gpslib::Bstr text;
        gps->GetHeading(type, text.Put());
    }
    gpslib::Bstr text;
    gps->GetEstimatedAccuracyDescription(text.Put());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::RegisterServiceClassesOnce();
    if (size == 0) return 0;
    std::u16string text;
    for (std::size_t i = 1; i + 1 < size; i += 2)
        text += static_cast<char16_t>(data[i] | data[i + 1] << 8);

    ComPtr<IGPSObject> gps;
    if (FAILED(gpslib::CreateObject(CLSID_GPSObject, IID_IGPSObject, &gps))) std::abort();
    gpscore::ServiceContext context;
    gpscore::ReceiverLink link(context);
    gpscore::ReceiverState& state = link.State();
    state.SetRecord(gpslib::ImplOf<CGPSObject>(gps.Get()));
    state.m_eHeadingAveraging = static_cast<HeadingAveraging>(data[0] % 4);
    state.m_nStartupSentences = data[0] & 4 ? 0 : 2;

    const std::size_t cut = text.empty() ? 0 : (data[0] >> 3) % (text.size() + 1);
    const std::u16string_view all(text);
    link.PushNmea(all.substr(0, cut));
    state.UpdatePedometer(false);
    AskEverything(gps.Get());
    link.PushNmea(all.substr(cut));
    state.UpdatePedometer(true);
    state.Odometer();
    AskEverything(gps.Get());
    state.ResetGPSData();
    AskEverything(gps.Get());
    return 0;
}
