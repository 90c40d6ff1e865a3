#include "gps/ReceiverState.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <optional>

#include "base/Descriptions.h"
#include "base/Utility.h"
#include "gps/FixValues.h"
#include "gps/GPSObject.h"
#include "gps/GPSStatusObject.h"
#include "gps/GPSTimeObject.h"

namespace gpscore {

namespace {

using gpslib::os::CriticalSectionLock;

// The track-point headings measure their steps in feet at this rounder figure, not the
// geodesy's 6076.11549: their thresholds were set with it.
constexpr double kFeetPerNauticalMile = 6076.1;
constexpr double kFastKnots = 5.0;
constexpr double kBriskWalkKnots = 3.0;
constexpr double kNorthernHeadingMinKnots = 2.0;
constexpr int kPedometerSkipPolls = 5;
constexpr int kStreetChecksBeforeSnap = 4;
constexpr int kSnapSamples = 5;

// The place's position when it holds one (a place at 0.0/0.0 holds none).
std::optional<geo::Position> PositionOf(ILocationObject* place) {
    VARIANT_BOOL valid = 0;
    if (place == nullptr || FAILED(place->IsValid(&valid)) || valid == 0) return std::nullopt;
    geo::Position position;
    place->GetLatitude(&position.latitude);
    place->GetLongitude(&position.longitude);
    return position;
}

// The distance as places measure it: metres or feet by the settings' units.
std::int32_t DistanceInCurrentUnits(const geo::Position& from, const geo::Position& to) {
    auto utility = Utility::Instance();
    return geo::DistanceInUnits(from, to, utility != nullptr ? utility->CurrentUnits() : Imperial);
}

// The course of a $GPRMC truncated toward zero to 16 bits; a value no integer holds reads as 0.
SHORT CourseDegrees(double course) {
    if (!std::isfinite(course) || std::fabs(course) >= 2147483648.0) return 0;
    return static_cast<SHORT>(static_cast<std::int32_t>(course));
}

double DistanceFeet(const geo::Position& a, const geo::Position& b) {
    return geo::DistanceNauticalMiles(geo::Radians(a.latitude), geo::Radians(a.longitude),
                                      geo::Radians(b.latitude), geo::Radians(b.longitude)) *
           kFeetPerNauticalMile;
}

} // namespace

ReceiverState::~ReceiverState() {
    if (m_bInertialNoSatellites) CountCoarseReceiver(false);
}

void ReceiverState::SetRecord(CGPSObject* record) {
    m_pRecord = record;
    if (m_pRecord != nullptr) {
        CriticalSectionLock lock(m_pRecord->DataLock());
        m_pRecord->SetCoarseDirections(m_bInertialNoSatellites);
    }
}

void ReceiverState::SetInertialNoSatellites(bool on) {
    if (on == m_bInertialNoSatellites) return;
    m_bInertialNoSatellites = on;
    CountCoarseReceiver(on);
    if (m_pRecord == nullptr) return;
    CriticalSectionLock lock(m_pRecord->DataLock());
    m_pRecord->SetCoarseDirections(on);
}

// ---------------------------------------------------------------------------------------------
// Sentences.

void ReceiverState::OnChecksumError(std::string_view line) {
    if (m_log) {
        std::string text = "\nCSUM ERROR:";
        text.append(line);
        text += '\n';
        m_log(text);
    }
}

void ReceiverState::OnValidSentence() {
    m_nNmeaAliveCount = kAlivePolls;
}

void ReceiverState::OnRmcVoid() {
    if (m_nStartupSentences > 0) --m_nStartupSentences;
    if (m_pRecord == nullptr) return;
    CriticalSectionLock lock(m_pRecord->DataLock());
    m_pRecord->m_bValid = 0;
    m_pRecord->m_dSpeedMph = -1.0;
    UpdateFixQuality();
}

void ReceiverState::OnRmc(const nmea::Rmc& rmc) {
    if (m_nStartupSentences > 0) --m_nStartupSentences;
    if (m_pRecord == nullptr) return;
    CGPSObject& r = *m_pRecord;
    CriticalSectionLock lock(r.DataLock());
    r.m_bValid = 1;
    r.m_nYear = static_cast<SHORT>(rmc.year);
    r.m_nMonth = static_cast<SHORT>(rmc.month);
    r.m_nDay = static_cast<SHORT>(rmc.day);
    r.m_nHour = static_cast<SHORT>(rmc.hour);
    r.m_nMinutes = static_cast<SHORT>(rmc.minute);
    r.m_nSeconds = static_cast<SHORT>(rmc.second);
    r.SetLatitude(rmc.latitude);
    r.SetLongitude(rmc.longitude);
    r.m_dSpeedMph = nmea::SpeedMph(rmc.speedKnots);
    UpdateFixQuality();
    UpdateHeading(CourseDegrees(rmc.courseDegrees), rmc.latitude, rmc.longitude, rmc.speedKnots);
}

void ReceiverState::OnGga(const nmea::Gga& gga) {
    if (m_pRecord == nullptr) return;
    CriticalSectionLock lock(m_pRecord->DataLock());
    m_pRecord->m_nGgaQuality = gga.quality;
    m_pRecord->m_nSatellites = static_cast<SHORT>(gga.satellites);
    m_pRecord->m_dHDOP = gga.hdop;
    m_pRecord->m_nAltitudeFeet = nmea::AltitudeFeet(gga.altitudeMetres);
    UpdateFixQuality();
}

void ReceiverState::OnGsa(const nmea::Gsa& gsa) {
    if (m_pRecord == nullptr) return;
    CriticalSectionLock lock(m_pRecord->DataLock());
    m_pRecord->m_nFixType = gsa.fixType;
    m_pRecord->m_dPDOP = gsa.pdop;
    m_pRecord->m_dHDOP = gsa.hdop;
    m_pRecord->m_dVDOP = gsa.vdop;
}

// ---------------------------------------------------------------------------------------------
// Quality.

double ReceiverState::EstimateAccuracy() const {
    if (m_pRecord == nullptr) return -1.0;
    CriticalSectionLock lock(m_pRecord->DataLock());
    const double factor = m_pRecord->m_nGgaQuality == kGgaDifferential ? 2.0 : 3.3;
    return m_pRecord->m_dHDOP * 2.0 * factor;
}

void ReceiverState::UpdateFixQuality() {
    if (m_pRecord == nullptr) {
        SetInertialNoSatellites(false);
        return;
    }
    CGPSObject& r = *m_pRecord;
    CriticalSectionLock lock(r.DataLock());
    SetInertialNoSatellites(false);
    // Silent, or still sending its start-up sentences: no receiver to speak of yet.
    if (m_nNmeaAliveCount == 0 || (m_nStartupSentences > 0 && !m_bTestMode)) {
        r.m_eFixQuality = GPSQualityNoGPS;
    } else if (r.m_bValid == 0) {
        r.m_eFixQuality = GPSQualityNoFix;
    } else if (r.m_nGgaQuality == 7) {
        r.m_eFixQuality = GPSQualityInertial;
        r.m_dEstimatedAccuracyMeters = EstimateAccuracy();
        if (r.m_nSatellites == 0 || r.m_nSatellites > 10) {
            r.m_nSatellites = 0;
            SetInertialNoSatellites(true);
        }
    } else {
        const double metres = EstimateAccuracy();
        r.m_dEstimatedAccuracyMeters = metres;
        r.m_eFixQuality = metres <= 5.0    ? GPSQualityEnhanced
                          : metres <= 10.0 ? GPSQualityGood
                          : metres <= 20.0 ? GPSQualityFair
                                           : GPSQualityPoor;
    }
}

bool ReceiverState::HasUsableFix() const {
    if (m_bTestMode) return true;
    if (m_pRecord == nullptr) return false;
    CriticalSectionLock lock(m_pRecord->DataLock());
    return HasFix(m_pRecord->m_eFixQuality);
}

// ---------------------------------------------------------------------------------------------
// Heading.

void ReceiverState::AddHeadingSample(int heading) {
    if (m_pRecord == nullptr) return;
    CriticalSectionLock lock(m_pRecord->DataLock());
    for (std::size_t i = m_nHeadingHistory.size() - 1; i > 0; --i)
        m_nHeadingHistory[i] = m_nHeadingHistory[i - 1];
    m_nHeadingHistory[0] = static_cast<SHORT>(heading);
    bool wrapsNorth = false;
    for (SHORT h : m_nHeadingHistory) {
        if (h == -1) return;
        if (h > 270) wrapsNorth = true;
    }
    int sum = 0;
    for (SHORT h : m_nHeadingHistory)
        sum += (wrapsNorth && h < 90) ? h + 360 : h;
    m_pRecord->m_nHeadingDegrees = static_cast<SHORT>((sum / 5) % 360);
}

void ReceiverState::SetHeading(SHORT heading) {
    if (m_pRecord == nullptr) return;
    CriticalSectionLock lock(m_pRecord->DataLock());
    m_pRecord->m_nHeadingDegrees = heading;
    m_pRecord->m_nInstantaneousHeadingDegrees = heading;
    m_nHeadingHistory.fill(heading);
}

void ReceiverState::UpdateHeading(int course, double latitude, double longitude,
                                  double speedKnots) {
    if (m_eReceiverType == GPSTypeNorthernHeadingsWhenStopped) {
        if (course != 0 && speedKnots >= kNorthernHeadingMinKnots) AddHeadingSample(course);
        return;
    }
    if (m_pRecord == nullptr) return;
    CriticalSectionLock lock(m_pRecord->DataLock());
    m_pRecord->m_nInstantaneousHeadingDegrees = static_cast<SHORT>(course);
    if (m_pRecord->m_eFixQuality == GPSQualityInertial) {
        m_pRecord->m_nHeadingDegrees = static_cast<SHORT>(course);
        return;
    }
    if (!(speedKnots > m_dMinSpeedForHeadingAveraging)) return;
    if (m_eHeadingAveraging == InstantaneousHeadings) {
        m_pRecord->m_nHeadingDegrees = static_cast<SHORT>(course);
        return;
    }
    if (speedKnots > kFastKnots ||
        (m_eHeadingAveraging == ManualHeadings && m_nPedestrianAveragingSeconds == 1)) {
        m_nAveragingSamples = 0;
        AddHeadingSample(course);
        return;
    }
    int window = 2;
    if (m_eHeadingAveraging == ManualHeadings)
        window = m_nPedestrianAveragingSeconds;
    else if (m_eHeadingAveraging == AutomaticHeadings)
        window = speedKnots >= kBriskWalkKnots ? 2 : 5;
    SlowSpeedSample(window, latitude, longitude);
    if (m_eHeadingAveraging == BigCityHeadings && m_nStreetChecks >= kStreetChecksBeforeSnap) {
        m_nStreetChecks = 0;
        SnapToStreet(latitude, longitude);
    }
}

// Slow movement: the course a receiver reports at walking pace wanders, so the heading comes
// from three track points a window apart instead, when the two legs agree.
void ReceiverState::SlowSpeedSample(int window, double latitude, double longitude) {
    const bool bigCity = m_eHeadingAveraging == BigCityHeadings;
    const geo::Position here{latitude, longitude};
    ++m_nAveragingSamples;
    if (m_nAveragingSamples == 1) {
        m_trackPoints[0] = here;
        if (bigCity) m_bstrStreetName2 = StreetNameAt(latitude, longitude, -1);
    }
    if (m_nAveragingSamples == window) {
        m_trackPoints[1] = here;
        if (bigCity) {
            m_bstrStreetName1 = StreetNameAt(latitude, longitude, -1);
            if (m_bstrStreetName1 != m_bstrStreetName2) m_bstrStreetName2.clear();
        }
    }
    if (m_nAveragingSamples < 2 * window) return;

    m_trackPoints[2] = here;
    const auto& [first, middle, latest] = m_trackPoints;
    const double d12 = DistanceFeet(first, middle);
    const double d23 = DistanceFeet(middle, latest);
    const double minimum = window == 2 ? 2.0 : window - 1.0;
    const double maximum = 10.0 * window;
    if (d12 > minimum && d12 < maximum && d23 < maximum) {
        const int leg1 = geo::BearingDegrees(first, middle);
        const int leg2 = geo::BearingDegrees(middle, latest);
        if (geo::HeadingsWithin(leg1, leg2, 25)) {
            AddHeadingSample(leg1);
            AddHeadingSample(leg2);
        } else {
            const int across = geo::BearingDegrees(first, latest);
            AddHeadingSample(across);
            AddHeadingSample(across);
        }
    }
    m_trackPoints[0] = m_trackPoints[1];
    m_trackPoints[1] = m_trackPoints[2];
    m_nAveragingSamples = static_cast<SHORT>(window);
    if (bigCity) ++m_nStreetChecks;
}

// Big-city averaging: a walker who stays on one street for a while is given the street's own
// direction, which buildings cannot bend.
void ReceiverState::SnapToStreet(double latitude, double longitude) {
    SHORT heading = -1;
    SHORT course = -1;
    {
        CriticalSectionLock lock(m_pRecord->DataLock());
        heading = m_pRecord->m_nHeadingDegrees;
        course = m_pRecord->m_nInstantaneousHeadingDegrees;
    }
    std::u16string name = StreetNameAt(latitude, longitude, heading);
    if (!name.empty() && name == m_bstrStreetName2) {
        SHORT bearing = m_map.StreetBearing(latitude, longitude, heading);
        if (bearing == -1) return; // No street near after all: nothing to snap to.
        if (course != -1 && !geo::HeadingsWithin(bearing, course, 90))
            bearing = static_cast<SHORT>((bearing + 180) % 360);
        for (int i = 0; i < kSnapSamples; ++i)
            AddHeadingSample(bearing);
    } else {
        m_bstrStreetName2 = m_bstrStreetName1;
        m_bstrStreetName1 = name;
    }
}

std::u16string ReceiverState::StreetNameAt(double latitude, double longitude, SHORT heading) const {
    return m_map.StreetAt(latitude, longitude, heading, MapWords::kStreetRaw);
}

void ReceiverState::ResetAveragingCounters() {
    m_nAveragingSamples = 0;
    m_nStreetChecks = 0;
}

// ---------------------------------------------------------------------------------------------
// Pedometer and reset.

void ReceiverState::UpdatePedometer(bool force) {
    if (m_pRecord == nullptr) return;
    CriticalSectionLock lock(m_pRecord->DataLock());
    const std::optional<geo::Position> here = PositionOf(m_pRecord->InnerLocation());
    if (m_pRecord->m_eFixQuality < GPSQualityPoor || !here) {
        m_nPedometerCountdown = 0;
        return;
    }
    if (m_nPedometerCountdown >= 1 && !force) {
        --m_nPedometerCountdown;
        return;
    }
    if (!(m_pRecord->m_dSpeedMph > m_dMinSpeedForHeadingAveraging)) {
        m_nPedometerCountdown = 0;
        return;
    }
    if (m_pedometerAnchor) {
        const std::int32_t walked = DistanceInCurrentUnits(*m_pedometerAnchor, *here);
        if (walked > 0) m_nPedometerTotalGPS += walked;
    }
    m_pedometerAnchor = here;
    m_nPedometerCountdown = kPedometerSkipPolls;
}

std::int32_t ReceiverState::Odometer() const {
    if (m_pRecord == nullptr || !m_pedometerAnchor) return m_nPedometerTotalGPS;
    CriticalSectionLock lock(m_pRecord->DataLock());
    const std::optional<geo::Position> here = PositionOf(m_pRecord->InnerLocation());
    if (m_pRecord->m_eFixQuality < GPSQualityPoor || !here) return m_nPedometerTotalGPS;
    return m_nPedometerTotalGPS + std::max(0, DistanceInCurrentUnits(*m_pedometerAnchor, *here));
}

void ReceiverState::ForceLocation(double latitude, double longitude, SHORT heading) {
    if (m_pRecord == nullptr) return;
    CGPSObject& r = *m_pRecord;
    CriticalSectionLock lock(r.DataLock());
    r.SetLatitude(latitude);
    r.SetLongitude(longitude);
    r.m_nAltitudeFeet = 100;
    r.m_nHeadingDegrees = heading;
    r.m_bValid = 1;
    m_nNmeaAliveCount = 1;
    m_nStartupSentences = 0;
    if (r.m_nFixType < 1) r.m_nFixType = 1;
    if (r.m_nGgaQuality <= 0) r.m_nGgaQuality = 1;
    UpdateFixQuality();
}

double ReceiverState::SpeedMph() const {
    if (m_pRecord == nullptr) return -1.0;
    CriticalSectionLock lock(m_pRecord->DataLock());
    return m_pRecord->m_dSpeedMph;
}

void ReceiverState::CopyTime(CGPSTimeObject& time) const {
    if (m_pRecord == nullptr) return;
    CGPSObject& r = *m_pRecord;
    CriticalSectionLock lock(r.DataLock());
    time.SetTime(r.m_nYear, r.m_nMonth, r.m_nDay, r.m_nHour, r.m_nMinutes, r.m_nSeconds);
}

void ReceiverState::FillStatus(CGPSStatusObject& status) {
    if (m_pRecord == nullptr) return;
    CGPSObject& r = *m_pRecord;
    CriticalSectionLock lock(r.DataLock());
    status.SetHDOP(r.m_dHDOP);
    status.SetVDOP(r.m_dVDOP);
    UpdateFixQuality();
    status.SetFixQuality(r.m_eFixQuality);
    const bool fix = HasFix(r.m_eFixQuality);
    status.SetHasFix(fix ? 1 : 0);
    status.SetEstimatedAccuracyMeters(fix ? EstimateAccuracy() : -1.0);
    status.SetDifferential(r.m_nGgaQuality == kGgaDifferential ? 1 : 0);
    status.SetSatellites(r.m_nSatellites);
    if (m_bTestMode || InertialNoSatellites()) {
        status.SetSatellites(0);
        status.SetEstimatedAccuracyMeters(EstimateAccuracy());
    }
}

void ReceiverState::PedometerReset() {
    m_nPedometerTotalGPS = 0;
    m_pedometerAnchor.reset();
}

void ReceiverState::ResetGPSData() {
    m_nAveragingSamples = 0;
    m_nStreetChecks = 0;
    m_nHeadingHistory.fill(-1);
    m_trackPoints = {};
    if (m_pRecord == nullptr) return;
    CGPSObject& r = *m_pRecord;
    CriticalSectionLock lock(r.DataLock());
    r.m_bValid = 0;
    r.m_eFixQuality = GPSQualityNoGPS;
    r.m_nFixType = 0;
    r.m_nGgaQuality = 0;
    r.m_nHeadingDegrees = -1;
    r.m_nInstantaneousHeadingDegrees = -1;
    r.m_dSpeedMph = -1.0;
    r.m_nAltitudeFeet = -1;
    r.m_nSatellites = 0;
    r.m_dHDOP = r.m_dVDOP = r.m_dPDOP = 50.0;
    r.m_nYear = r.m_nMonth = r.m_nDay = 0;
    r.m_nHour = r.m_nMinutes = r.m_nSeconds = 0;
}

} // namespace gpscore
