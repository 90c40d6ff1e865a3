#include "gps/Gpsd.h"

#include <charconv>

namespace gpscore {

namespace {

// gpsd's lines: NMEA sentences start with '$' (or '!' for AIS, which the parser ignores);
// everything else is a JSON report. An NMEA sentence is at most 82 characters; a longer line
// is not one.
constexpr std::size_t kMaxNmeaLine = 256;
constexpr std::size_t kReadChunk = 4096;
constexpr int kMaxReadsPerCall = 16;

} // namespace

std::optional<GpsdAddress> ParseGpsdDevice(std::string_view name) {
    if (name.size() < 7 || name.substr(0, 7) != kGpsdScheme) {
        // The scheme compares without regard to case, as device names do.
        std::string head(name.substr(0, 7));
        for (char& c : head)
            c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
        if (head != kGpsdScheme) return std::nullopt;
    }
    std::string_view rest = name.substr(7);
    if (!rest.empty() && rest.back() == ':') rest.remove_suffix(1);
    GpsdAddress address;
    std::string_view host = rest;
    std::string_view port;
    if (!rest.empty() && rest.front() == '[') {
        const std::size_t close = rest.find(']');
        if (close == std::string_view::npos) return std::nullopt;
        host = rest.substr(1, close - 1);
        std::string_view after = rest.substr(close + 1);
        if (!after.empty()) {
            if (after.front() != ':') return std::nullopt;
            port = after.substr(1);
        }
    } else if (const std::size_t colon = rest.rfind(':'); colon != std::string_view::npos) {
        host = rest.substr(0, colon);
        port = rest.substr(colon + 1);
        if (host.find(':') != std::string_view::npos) return std::nullopt;
    }
    if (host.find_first_of("/ \t") != std::string_view::npos) return std::nullopt;
    address.host = host.empty() ? "localhost" : std::string(host);
    if (!port.empty()) {
        int value = 0;
        auto [end, error] = std::from_chars(port.data(), port.data() + port.size(), value);
        if (error != std::errc() || end != port.data() + port.size() || value < 1 || value > 65535)
            return std::nullopt;
        address.port = value;
    }
    return address;
}

gpslib::os::Status GpsdPort::Open(gpslib::os::Env& env, const GpsdAddress& address,
                                  std::unique_ptr<gpslib::os::SerialPort>* result) {
    result->reset();
    std::unique_ptr<GpsdPort> port(new GpsdPort(env, address));
    gpslib::os::Status status = port->Connect();
    if (!status.ok()) return status;
    *result = std::move(port);
    return gpslib::os::Status::OK();
}

gpslib::os::Status GpsdPort::Connect() {
    m_line.clear();
    m_overlong = false;
    gpslib::os::Status status =
        m_env.NewConnection(m_address.host, m_address.port, kConnectTimeoutMs, &m_connection);
    if (status.ok()) status = Watch();
    if (!status.ok()) {
        m_connection.reset();
        m_nextAttempt = m_env.NowMicros() + kRetryMicros;
    }
    return status;
}

// gpsd may not stream to a watcher that came before the receiver did; asking again is
// harmless (it answers with its device list and the watch in force).
gpslib::os::Status GpsdPort::Watch() {
    m_lastHeard = m_env.NowMicros();
    return m_connection->Write(kGpsdWatch);
}

void GpsdPort::TakeLine() {
    if (!m_overlong && !m_line.empty() && (m_line.front() == '$' || m_line.front() == '!')) {
        m_lastHeard = m_env.NowMicros();
        // The link's sentence cutter wants the line end the receiver sends.
        if (m_line.back() != '\r') m_line.push_back('\r');
        m_line.push_back('\n');
        m_waiting += m_line;
        if (m_waiting.size() > kMaxWaiting) {
            // The link has fallen behind: keep the newest whole lines.
            std::size_t cut = m_waiting.find('\n', m_waiting.size() - kMaxWaiting);
            m_waiting.erase(0, cut == std::string::npos ? m_waiting.size() : cut + 1);
        }
    }
    m_line.clear();
    m_overlong = false;
}

// gpsd stopped or dropped us: try again shortly; the partial line is lost.
void GpsdPort::Drop() {
    m_connection.reset();
    m_line.clear();
    m_overlong = false;
    m_nextAttempt = m_env.NowMicros() + kRetryMicros / 2;
}

void GpsdPort::Receive() {
    if (!m_connection) {
        if (m_env.NowMicros() < m_nextAttempt || !Connect().ok()) return;
    } else if (m_env.NowMicros() - m_lastHeard >= kQuietMicros && !Watch().ok()) {
        Drop();
        return;
    }
    std::string chunk;
    for (int i = 0; i < kMaxReadsPerCall; ++i) {
        gpslib::os::Status status = m_connection->Read(kReadChunk, &chunk);
        if (!status.ok()) {
            Drop();
            return;
        }
        if (chunk.empty()) return;
        for (char c : chunk) {
            if (c == '\n') {
                TakeLine();
            } else if (m_line.size() < kMaxNmeaLine) {
                m_line.push_back(c);
            } else {
                m_overlong = true;
            }
        }
    }
}

gpslib::os::Status GpsdPort::Read(std::size_t n, std::string* result) {
    result->clear();
    if (m_waiting.empty()) Receive();
    const std::size_t take = std::min(n, m_waiting.size());
    result->assign(m_waiting, 0, take);
    m_waiting.erase(0, take);
    return gpslib::os::Status::OK();
}

gpslib::os::Status GpsdPort::Purge() {
    m_waiting.clear();
    m_line.clear();
    m_overlong = false;
    return gpslib::os::Status::OK();
}

} // namespace gpscore
