#include "base/SettingsRecords.h"

#include "formats/Geodesy.h"

namespace gpscore::settings {

void System::SetSettingsDirectory(std::u16string_view directory) {
    settingsDirectory = directory;
    debugDirectory = directory;
    if (debugDirectory.empty() || (debugDirectory.back() != u'/' && debugDirectory.back() != u'\\'))
        debugDirectory += u'/';
    debugDirectory += u"Debug";
}

std::int16_t System::ArrivalDistance(Units in) const {
    return geo::StoredFeetToUnits(arrivalDistanceFeet, in);
}

std::int16_t System::ArrivedNearThreshold(Units in) const {
    return geo::StoredFeetToUnits(arrivedNearFeet, in);
}

void System::SetArrivalDistance(Units in, std::int16_t distance) {
    arrivalDistanceFeet = geo::UnitsToStoredFeet(distance, in);
    if (arrivedNearFeet > arrivalDistanceFeet) arrivedNearFeet = arrivalDistanceFeet;
}

void System::SetArrivedNearThreshold(Units in, std::int16_t threshold) {
    const std::int16_t feet =
        geo::UnitsToStoredFeet(threshold < 0 ? std::int16_t{0} : threshold, in);
    arrivedNearFeet = feet < arrivalDistanceFeet ? feet : arrivalDistanceFeet;
}

} // namespace gpscore::settings
