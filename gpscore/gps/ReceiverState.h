// What the receiver's sentences mean beyond their fields: the fix quality and estimated
// accuracy, the heading the service reports (smoothed by the averaging mode), the alive and
// start-up counts that tell a talking receiver from a silent one, and the pedometer.
#ifndef GPSCORE_GPS_RECEIVERSTATE_H_
#define GPSCORE_GPS_RECEIVERSTATE_H_

#include <gpslib/GPSLib_enums.h>

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "base/MapQueries.h"
#include "formats/Geodesy.h"
#include "gps/Nmea.h"

class CGPSObject;
class CGPSStatusObject;
class CGPSTimeObject;

namespace gpscore {

// Owned by the core and used only with its core lock held; every access to the fix record also
// takes the record's data lock.
class ReceiverState final : public nmea::Target {
public:
    // Sentences with a correct checksum keep the receiver counted as alive for this many polls.
    static constexpr std::int16_t kAlivePolls = 7;

    // The live fix record (not owned; null until the core creates it) and the map engine used
    // by big-city heading averaging (null without one: street names are then empty).
    void SetRecord(CGPSObject* record);
    CGPSObject* Record() const { return m_pRecord; }
    void SetMapEngine(MapQueries map) { m_map = map; }
    // Where sentences with a wrong checksum are traced and logged; unset: nowhere.
    void SetLog(std::function<void(std::string_view)> log) { m_log = std::move(log); }

    // nmea::Target: the parsed sentences applied to the record.
    void OnChecksumError(std::string_view line) override;
    void OnValidSentence() override;
    void OnRmcVoid() override;
    void OnRmc(const nmea::Rmc& rmc) override;
    void OnGga(const nmea::Gga& gga) override;
    void OnGsa(const nmea::Gsa& gsa) override;

    // Derives FixQuality (and the accuracy) from the record and the counters.
    void UpdateFixQuality();
    // Applies one course from a $GPRMC, in the averaging mode's way.
    void UpdateHeading(int course, double latitude, double longitude, double speedKnots);
    // Pushes one heading into the five-sample history and averages it.
    void AddHeadingSample(int heading);
    // Metres, from the HDOP and whether the fix is differential.
    double EstimateAccuracy() const;
    bool HasUsableFix() const;
    // One pedometer sample; a forced sample ignores the countdown between samples.
    void UpdatePedometer(bool force);
    void PedometerReset();
    // The distance gone as of now: the pedometer total and the way from its last sample to the
    // current position, without taking a sample (so the pedometer's own sampling is unchanged).
    std::int32_t Odometer() const;
    // Clears the record (not its position) and the averaging state.
    void ResetGPSData();
    // Sets both averaging counters back to 0 (a new averaging window).
    void ResetAveragingCounters();
    // Sets the heading, the instantaneous heading and the whole history to one value.
    void SetHeading(std::int16_t heading);

    // A position given by the client: a valid fix with the heading, whatever the receiver says.
    void ForceLocation(double latitude, double longitude, std::int16_t heading);
    // The record's speed in miles per hour (-1.0 for none).
    double SpeedMph() const;
    // The record's UTC date and time.
    void CopyTime(CGPSTimeObject& time) const;
    // The quality brought up to date, then the fix as a status snapshot.
    void FillStatus(CGPSStatusObject& status);

    // Set whenever an inertial receiver reports no usable satellite count; the spoken
    // directions of this service are then coarse.
    bool InertialNoSatellites() const { return m_bInertialNoSatellites; }

    ReceiverState() = default;
    ~ReceiverState() override;
    ReceiverState(const ReceiverState&) = delete;
    ReceiverState& operator=(const ReceiverState&) = delete;

    std::int16_t m_nNmeaAliveCount = 0;
    std::int16_t m_nStartupSentences = 2;
    GPSType m_eReceiverType = GPSTypeNone;
    HeadingAveraging m_eHeadingAveraging = AutomaticHeadings;
    std::int16_t m_nPedestrianAveragingSeconds = 5;
    double m_dMinSpeedForHeadingAveraging = 0.8; // Knots (and compared with mph by the pedometer).
    bool m_bTestMode = false;
    std::int32_t m_nPedometerTotalGPS =
        0; // In the distance units of the settings (metres or feet).

private:
    std::u16string StreetNameAt(double latitude, double longitude, std::int16_t heading) const;
    void SlowSpeedSample(int window, double latitude, double longitude);
    void SnapToStreet(double latitude, double longitude);

    // Sets the switch, counts it for the process, and tells the record's place.
    void SetInertialNoSatellites(bool on);

    CGPSObject* m_pRecord = nullptr;
    MapQueries m_map{nullptr};
    std::function<void(std::string_view)> m_log;
    bool m_bInertialNoSatellites = false;

    std::array<std::int16_t, 5> m_nHeadingHistory{-1, -1, -1, -1, -1}; // Newest first.
    std::int16_t m_nAveragingSamples = 0;
    std::int16_t m_nStreetChecks = 0;
    // First, middle and latest point of slow-speed averaging, in degrees.
    std::array<geo::Position, 3> m_trackPoints{};
    std::u16string m_bstrStreetName1;
    std::u16string m_bstrStreetName2;

    std::optional<geo::Position> m_pedometerAnchor; // The last sample's position.
    std::int32_t m_nPedometerCountdown = 0;
};

} // namespace gpscore

#endif // GPSCORE_GPS_RECEIVERSTATE_H_
