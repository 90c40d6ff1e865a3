// Receivers shared by gpsd: the device names, and the port against a server that speaks as gpsd
// does (JSON reports and NMEA lines), drops the connection and comes back.
#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>

#include "fake_env.h"
#include "gps/Gpsd.h"
#include "tests/support/loopback_server.h"

namespace gpscore {
namespace {

using gpslib::test::FakeEnv;
using gpslib::test::LoopbackServer;

TEST(Gpsd, DeviceNamesNameAServer) {
    struct Case {
        const char* name;
        std::optional<GpsdAddress> address;
    };
    const Case cases[] = {
        {"gpsd://localhost:2947:", GpsdAddress{"localhost", 2947}},
        {"gpsd://gps.example:3000", GpsdAddress{"gps.example", 3000}},
        {"GPSD://10.0.0.2:2948:", GpsdAddress{"10.0.0.2", 2948}},
        {"gpsd://", GpsdAddress{"localhost", 2947}},
        {"gpsd://host", GpsdAddress{"host", 2947}},
        {"gpsd://[::1]:2947:", GpsdAddress{"::1", 2947}},
        {"gpsd://[::1]", GpsdAddress{"::1", 2947}},
        {"gpsd://:2950:", GpsdAddress{"localhost", 2950}},
        {"gpsd://localhost:0:", std::nullopt},
        {"gpsd://localhost:65536:", std::nullopt},
        {"gpsd://localhost:12x:", std::nullopt},
        {"gpsd://::1:2947", std::nullopt},
        {"gpsd://[::1:2947", std::nullopt},
        {"gpsd://a/b:2947", std::nullopt},
        {"/dev/ttyUSB0:", std::nullopt},
        {"COM5:", std::nullopt},
        {"gps", std::nullopt},
        {"", std::nullopt},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ParseGpsdDevice(c.name), c.address) << c.name;
}

class GpsdPortTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(server.ok()); }
    GpsdAddress Address() const { return {"127.0.0.1", server.port()}; }
    // A port connected to the server, which has read the port's watch request.
    std::unique_ptr<gpslib::os::SerialPort> Connect() {
        std::unique_ptr<gpslib::os::SerialPort> port;
        EXPECT_TRUE(GpsdPort::Open(env, Address(), &port).ok());
        EXPECT_TRUE(server.Accept());
        EXPECT_EQ(server.Receive(), kGpsdWatch);
        return port;
    }
    // Everything the port hands on until it has been idle for a short while.
    std::string ReadAll(gpslib::os::SerialPort& port) {
        std::string all, chunk;
        for (int idle = 0; idle < 40;) {
            EXPECT_TRUE(port.Read(199, &chunk).ok());
            EXPECT_LE(chunk.size(), 199u);
            all += chunk;
            idle = chunk.empty() ? idle + 1 : 0;
            if (chunk.empty()) usleep(2000);
        }
        return all;
    }

    FakeEnv env;
    LoopbackServer server;
};

TEST_F(GpsdPortTest, AsksForNmeaAndHandsOnOnlyItsWholeSentences) {
    auto port = Connect();
    ASSERT_TRUE(port);
    const std::string overlong = "$GPTXT," + std::string(300, 'x') + "*00\r\n";
    ASSERT_TRUE(
        server.Send("{\"class\":\"VERSION\",\"release\":\"3.22\"}\r\n"
                    "{\"class\":\"WATCH\",\"enable\":true,\"json\":false,\"nmea\":true}\r\n"
                    "$GPRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W*6A\r\n" +
                    overlong +
                    "$GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*47\n"
                    "!AIVDM,1,1,,A,13aEOK?P00PD2wVMdLDRhgvL289?,0*26\r\n"
                    "$GPGSA,A,3,04,05"));
    EXPECT_EQ(ReadAll(*port),
              "$GPRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W*6A\r\n"
              "$GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*47\r\n"
              "!AIVDM,1,1,,A,13aEOK?P00PD2wVMdLDRhgvL289?,0*26\r\n");
    // The rest of a sentence split between two sends completes it.
    ASSERT_TRUE(server.Send(",,,,,,,,,,1.8,0.9,1.5*35\r\n"));
    EXPECT_EQ(ReadAll(*port), "$GPGSA,A,3,04,05,,,,,,,,,,1.8,0.9,1.5*35\r\n");
}

TEST_F(GpsdPortTest, ConnectsAgainWhenGpsdComesBackAndDropsTheBrokenLine) {
    auto port = Connect();
    ASSERT_TRUE(port);
    ASSERT_TRUE(server.Send("$GPRMC,1*00\r\n$GPRMC,cut"));
    EXPECT_EQ(ReadAll(*port), "$GPRMC,1*00\r\n");
    server.Drop(); // gpsd stops.
    EXPECT_EQ(ReadAll(*port), "") << "a dropped connection reads as silence, not as an error";

    // Not tried again before its time; then the watch is asked for again.
    EXPECT_FALSE(server.Accept(50));
    env.AdvanceMicros(GpsdPort::kRetryMicros);
    EXPECT_EQ(ReadAll(*port), "");
    ASSERT_TRUE(server.Accept());
    EXPECT_EQ(server.Receive(), kGpsdWatch);
    ASSERT_TRUE(server.Send("$GPRMC,2*00\r\n"));
    EXPECT_EQ(ReadAll(*port), "$GPRMC,2*00\r\n");
}

TEST_F(GpsdPortTest, AsksAgainAfterAQuietSpellUntilSentencesCome) {
    auto port = Connect();
    ASSERT_TRUE(port);
    // A gpsd with no receiver yet answers the watch and then says nothing.
    ASSERT_TRUE(server.Send("{\"class\":\"DEVICES\",\"devices\":[]}\r\n"));
    env.AdvanceMicros(GpsdPort::kQuietMicros - 1);
    EXPECT_EQ(ReadAll(*port), "");
    EXPECT_EQ(server.Receive(50), "") << "asked again too soon";
    env.AdvanceMicros(1);
    EXPECT_EQ(ReadAll(*port), "");
    EXPECT_EQ(server.Receive(), kGpsdWatch);
    // Sentences keep the port from asking: a quiet spell counts from the last one.
    ASSERT_TRUE(server.Send("$GPRMC,3*00\r\n"));
    env.AdvanceMicros(GpsdPort::kQuietMicros - 1);
    EXPECT_EQ(ReadAll(*port), "$GPRMC,3*00\r\n");
    env.AdvanceMicros(GpsdPort::kQuietMicros - 1);
    EXPECT_EQ(ReadAll(*port), "");
    EXPECT_EQ(server.Receive(50), "");
}

TEST_F(GpsdPortTest, AServerThatIsNotThereIsNotOpened) {
    const GpsdAddress address = Address();
    server.StopListening();
    std::unique_ptr<gpslib::os::SerialPort> port;
    EXPECT_EQ(GpsdPort::Open(env, address, &port).code(), gpslib::os::Status::Code::kIOError);
    EXPECT_EQ(port, nullptr);
}

TEST_F(GpsdPortTest, AFloodReachesTheLinkWholeAndInOrderInChunksItCanRead) {
    auto port = Connect();
    ASSERT_TRUE(port);
    std::string flood;
    for (int i = 0; flood.size() < 32 * 1024; ++i)
        flood += "$GPRMC," + std::to_string(100000 + i) + "*00\r\n";
    ASSERT_TRUE(server.Send(flood));
    usleep(100000); // All of it arrives before the link reads.
    EXPECT_EQ(ReadAll(*port), flood);
}

} // namespace
} // namespace gpscore
