#include "gps/FixValues.h"

#include <cmath>
#include <cstdint>

#include "GPSLib_classes.h"
#include "base/Utility.h"
#include "formats/Geodesy.h"
#include "resources/StringIds.h"

namespace gpscore {

namespace {

constexpr double kKnotsPerMph = 0.868976240408186;
constexpr double kBritishKnotsPerMph = 0.8684210526279225;

// The whole part of `value` in the interface's 16 bits. A value beyond 32 bits (or not a
// number) has no whole part to keep and gives 0.
SHORT Low16(double value) {
    if (!(value > -2147483648.0 && value < 2147483648.0)) return 0;
    return static_cast<SHORT>(static_cast<std::int32_t>(value));
}

} // namespace

Units DisplayUnits() {
    auto utility = Utility::Instance();
    return utility != nullptr ? utility->CurrentUnits() : Imperial;
}

double SpeedInUnits(double speedMph, Units units) {
    if (!(speedMph > 0.0)) return 0.0;
    switch (units) {
    case Metric:
        return speedMph * geo::kKilometresPerMile;
    case Nautical:
        return speedMph * kKnotsPerMph;
    case BritishNautical:
        return speedMph * kBritishKnotsPerMph;
    default:
        return speedMph;
    }
}

SHORT WholeSpeed(double speedMph, Units units) {
    return Low16(SpeedInUnits(speedMph, units) + 0.5);
}

double SpeedTenths(double speedMph, Units units) {
    return std::trunc(SpeedInUnits(speedMph, units) * 10.0) * 0.1;
}

LONG AltitudeInUnits(LONG altitudeFeet, Units units) {
    if (altitudeFeet == -1 || altitudeFeet == 0 || units != Metric) return altitudeFeet;
    // Plus a half, then truncated toward zero: the rule the spoken altitude has always followed.
    return static_cast<LONG>(std::trunc(altitudeFeet * geo::kStoredMetresPerFoot + 0.5));
}

SHORT AccuracyInUnits(double accuracyMeters, Units units) {
    if (accuracyMeters == -1.0) return -1;
    return Low16(units == Metric ? accuracyMeters : accuracyMeters * geo::kFeetPerMetre);
}

std::u16string AccuracyDescription(const FixAccuracy& fix) {
    auto utility = Utility::Instance();
    if (utility == nullptr) return {};
    // Settings that cannot be read count as no receiver selected.
    const settings::Receiver receiver = utility->ReceiverSettings();
    if (receiver.receiverType == GPSTypeNone) return utility->GetString(ids::kNoReceiverSelected);
    if (fix.quality == GPSQualityNoGPS) {
        const std::u16string_view name = receiver.receiverName;
        return name.empty() ? utility->GetString(ids::kReceiverNotConnected)
                            : utility->FormatString(ids::kNamedReceiverNotConnected, {name});
    }
    const std::int64_t satellites = fix.satellites;
    if (fix.meters != -1.0 && fix.quality >= GPSQualityPoor) {
        const Units units = utility->CurrentUnits();
        const std::int64_t value = AccuracyInUnits(fix.meters, units);
        const std::u16string unit =
            utility->GetString(units == Metric ? ids::kMetresWord : ids::kFeetWord);
        const std::u16string differential =
            fix.differential ? utility->GetString(ids::kDifferentialWord) : std::u16string();
        if (fix.quality == GPSQualityInertial && fix.satellites == 0)
            return utility->FormatString(
                ids::kAccurateToInertial,
                {std::u16string_view(differential), value, std::u16string_view(unit)});
        return utility->FormatString(ids::kAccurateTo, {std::u16string_view(differential), value,
                                                        std::u16string_view(unit), satellites});
    }
    return utility->FormatString(ids::kNoFixSatellites, {satellites});
}

} // namespace gpscore
