// A talking traffic light: its id, its signal amplitude and its raw text form.
#ifndef GPSCORE_ORIENTATION_TALKINGLIGHTOBJECT_H_
#define GPSCORE_ORIENTATION_TALKINGLIGHTOBJECT_H_

#include "GPSLib_classes.h"

// Raw form: "<TL><id>" Id "</id><am>" Amplitude "</am></TL>".
class CTalkingLightObject : public CTalkingLightObjectBase {
public:
    HRESULT InternalGetRawData(BSTR* pbstrRawData) override;
    HRESULT InternalSetFromRawData(BSTR bstrRawData) override;
};

#endif // GPSCORE_ORIENTATION_TALKINGLIGHTOBJECT_H_
