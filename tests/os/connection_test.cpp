// Connections to a server: opened within a time limit, read without waiting, written whole, and
// a server that goes away is an error the reader sees.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "os/env.h"
#include "tests/support/loopback_server.h"

namespace gpslib::os {
namespace {

using gpslib::test::LoopbackServer;

TEST(Connection, OpeningReportsWhyNoServerAnswers) {
    LoopbackServer closed;
    ASSERT_TRUE(closed.ok());
    const int refusedPort = closed.port();
    closed.StopListening();
    struct Case {
        std::string host;
        int port;
        Status::Code code;
    };
    const Case cases[] = {
        {"127.0.0.1", refusedPort, Status::Code::kIOError},
        {"no-such-host.invalid", 2947, Status::Code::kNotFound},
        {"127.0.0.1", 0, Status::Code::kInvalidArgument},
        {"127.0.0.1", 70000, Status::Code::kInvalidArgument},
        {"", 2947, Status::Code::kInvalidArgument},
    };
    for (const Case& c : cases) {
        std::unique_ptr<Connection> connection;
        Status status = Env::Default()->NewConnection(c.host, c.port, 500, &connection);
        EXPECT_EQ(status.code(), c.code) << c.host << ":" << c.port << " " << status.ToString();
        EXPECT_EQ(connection, nullptr);
    }
}

TEST(Connection, ReadsWhatIsWaitingWritesWholeAndSeesTheServerGo) {
    LoopbackServer server;
    ASSERT_TRUE(server.ok());
    std::unique_ptr<Connection> connection;
    ASSERT_TRUE(Env::Default()->NewConnection("localhost", server.port(), 1000, &connection).ok());
    ASSERT_TRUE(server.Accept());
    std::string got = "stale";
    EXPECT_TRUE(connection->Read(100, &got).ok());
    EXPECT_EQ(got, "") << "nothing waits: the read returns at once";

    ASSERT_TRUE(connection->Write("?WATCH\n").ok());
    EXPECT_EQ(server.Receive(), "?WATCH\n");

    ASSERT_TRUE(server.Send("$GPRMC,1\r\n$GPGGA,2\r\n"));
    std::string all;
    for (int i = 0; i < 200 && all.size() < 20; ++i) {
        ASSERT_TRUE(connection->Read(7, &got).ok());
        EXPECT_LE(got.size(), 7u);
        all += got;
        if (got.empty()) usleep(5000);
    }
    EXPECT_EQ(all, "$GPRMC,1\r\n$GPGGA,2\r\n");

    server.Drop();
    Status status;
    for (int i = 0; i < 200 && status.ok(); ++i) {
        status = connection->Read(100, &got);
        if (status.ok()) usleep(5000);
    }
    EXPECT_EQ(status.code(), Status::Code::kIOError);
    EXPECT_EQ(got, "");
}

} // namespace
} // namespace gpslib::os
