// A TCP server on the loopback interface for tests of network clients: listens on a free port,
// accepts one client at a time when asked, and sends and receives what the test says.
#ifndef GPSLIB_TESTS_SUPPORT_LOOPBACK_SERVER_H_
#define GPSLIB_TESTS_SUPPORT_LOOPBACK_SERVER_H_

#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <string_view>

namespace gpslib::test {

class LoopbackServer {
public:
    LoopbackServer() {
        m_listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        if (::bind(m_listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
            ::listen(m_listener, 4) != 0 ||
            ::getsockname(m_listener, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
            ::close(m_listener);
            m_listener = -1;
            return;
        }
        m_port = ntohs(address.sin_port);
    }
    ~LoopbackServer() {
        Drop();
        if (m_listener >= 0) ::close(m_listener);
    }
    LoopbackServer(const LoopbackServer&) = delete;
    LoopbackServer& operator=(const LoopbackServer&) = delete;

    bool ok() const { return m_listener >= 0; }
    int port() const { return m_port; }
    // Stops listening: new clients are refused from now on.
    void StopListening() {
        if (m_listener >= 0) ::close(m_listener);
        m_listener = -1;
    }

    // Accepts the waiting client (at most `timeoutMs`); false when none came.
    bool Accept(int timeoutMs = 2000) {
        Drop();
        pollfd p{m_listener, POLLIN, 0};
        if (m_listener < 0 || ::poll(&p, 1, timeoutMs) <= 0) return false;
        m_client = ::accept4(m_listener, nullptr, nullptr, SOCK_CLOEXEC);
        return m_client >= 0;
    }
    bool Send(std::string_view data) {
        return m_client >= 0 && ::send(m_client, data.data(), data.size(), MSG_NOSIGNAL) ==
                                    static_cast<ssize_t>(data.size());
    }
    // What the client sent within `timeoutMs`, up to `until` when given.
    std::string Receive(int timeoutMs = 2000, std::string_view until = "\n") {
        std::string got;
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        while (m_client >= 0 && got.find(until) == std::string::npos) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                                  end - std::chrono::steady_clock::now())
                                  .count();
            pollfd p{m_client, POLLIN, 0};
            if (left <= 0 || ::poll(&p, 1, static_cast<int>(left)) <= 0) break;
            char buffer[512];
            const ssize_t r = ::recv(m_client, buffer, sizeof buffer, 0);
            if (r <= 0) break;
            got.append(buffer, static_cast<std::size_t>(r));
        }
        return got;
    }
    // Closes the client's connection, as a server that stops does.
    void Drop() {
        if (m_client >= 0) ::close(m_client);
        m_client = -1;
    }

private:
    int m_listener = -1;
    int m_client = -1;
    int m_port = 0;
};

} // namespace gpslib::test

#endif // GPSLIB_TESTS_SUPPORT_LOOPBACK_SERVER_H_
