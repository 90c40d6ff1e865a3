// A receiver shared by gpsd, the GPS daemon of most Linux systems. The service names it like a
// port: the port name "gpsd://HOST:" and the port number make the device name
// "gpsd://HOST:PORT:" (a registry alias may also point a port at such a name). The port opens a
// TCP connection to gpsd, asks it for the receiver's raw NMEA and hands on the sentences exactly
// as a serial port hands on what the receiver sends; when gpsd goes away (restarted, stopped)
// it connects again on its own while the link reads, and it asks again for the NMEA when none
// has come for a while (a receiver plugged in after the port connected is then heard too).
#ifndef GPSCORE_GPS_GPSD_H_
#define GPSCORE_GPS_GPSD_H_

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "os/env.h"

namespace gpscore {

inline constexpr char kGpsdScheme[] = "gpsd://";
inline constexpr int kGpsdDefaultPort = 2947;
// What gpsd is asked for once connected: its reports and the receiver's NMEA.
inline constexpr char kGpsdWatch[] = "?WATCH={\"enable\":true,\"nmea\":true}\n";

struct GpsdAddress {
    std::string host;
    int port = kGpsdDefaultPort;
    bool operator==(const GpsdAddress&) const = default;
};

// The gpsd server a device name names: "gpsd://HOST:PORT:" or "gpsd://HOST:PORT" (the trailing
// colon of a device name may be left out), "gpsd://HOST" and "gpsd://" for the default host
// localhost and port 2947; an IPv6 address in brackets ("gpsd://[::1]:2947:"). nullopt for any
// other name, and for a port outside 1-65535.
std::optional<GpsdAddress> ParseGpsdDevice(std::string_view deviceName);

// Not thread-safe: the receiver link reads it under the service's core lock.
class GpsdPort final : public gpslib::os::SerialPort {
public:
    // How long a connection attempt may take, and how often a lost gpsd is tried again.
    static constexpr int kConnectTimeoutMs = 1000;
    static constexpr std::uint64_t kRetryMicros = 2'000'000;
    // A connection this long without a sentence sends its watch request again.
    static constexpr std::uint64_t kQuietMicros = 5'000'000;
    // NMEA kept for the link at most; older sentences are dropped first.
    static constexpr std::size_t kMaxWaiting = std::size_t{64} * 1024;

    // Connects to gpsd and asks for NMEA. Fails (IOError, NotFound) when gpsd does not answer:
    // a receiver that is not there is not opened, as with a serial port.
    static gpslib::os::Status Open(gpslib::os::Env& env, const GpsdAddress& address,
                                   std::unique_ptr<gpslib::os::SerialPort>* result);

    // The NMEA sentences gpsd sent, whole lines only (its own JSON reports are left out), never
    // waiting. A dropped connection is not an error: nothing comes until gpsd answers again.
    gpslib::os::Status Read(std::size_t n, std::string* result) override;
    // Drops what is waiting and the line being received.
    gpslib::os::Status Purge() override;

private:
    GpsdPort(gpslib::os::Env& env, GpsdAddress address)
        : m_env(env), m_address(std::move(address)) {}
    gpslib::os::Status Connect();
    gpslib::os::Status Watch();
    void Drop();
    void Receive();
    void TakeLine();

    gpslib::os::Env& m_env;
    GpsdAddress m_address;
    std::unique_ptr<gpslib::os::Connection> m_connection;
    std::uint64_t m_nextAttempt = 0;
    std::uint64_t m_lastHeard = 0; // when the last sentence came or the watch was last asked for
    std::string m_line;            // The line being received.
    bool m_overlong = false;       // The line being received is too long to be NMEA: skipped.
    std::string m_waiting;         // Whole NMEA lines not yet read by the link.
};

} // namespace gpscore

#endif // GPSCORE_GPS_GPSD_H_
