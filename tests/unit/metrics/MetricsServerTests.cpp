#include "app/metrics/MetricsServer.hpp"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <string>

namespace ampwell {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;
using ::testing::StartsWith;

// One request on the loopback, the whole answer back. Every wait is bounded: a server that never
// answers fails the test after a few seconds instead of hanging it.
std::string roundTrip(std::uint16_t port, const std::string& request) {
    const int socket = ::socket(AF_INET, SOCK_STREAM, 0);
    if (socket < 0) return "no socket";
    timeval timeout{5, 0};
    setsockopt(socket, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
    setsockopt(socket, SOL_SOCKET, SO_SNDTIMEO, &timeout, sizeof timeout);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    std::string answer;
    if (connect(socket, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
        send(socket, request.data(), request.size(), 0) == static_cast<ssize_t>(request.size())) {
        char buffer[4096];
        for (int reads = 0; reads < 10000; ++reads) {
            const ssize_t got = recv(socket, buffer, sizeof buffer, 0);
            if (got <= 0) break;
            answer.append(buffer, static_cast<std::size_t>(got));
        }
    }
    close(socket);
    return answer;
}

std::string get(std::uint16_t port, const std::string& path, const std::string& headers = "",
                const std::string& method = "GET") {
    return roundTrip(port,
                     method + " " + path + " HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n" + headers + "\r\n");
}

FleetState oneDevice(double ratio) {
    FleetState state;
    FollowedDevice device;
    device.serial = "00008101-000A";
    device.name = "iPad";
    device.port = "1";
    device.batteryRatio = ratio;
    state.devices = {device};
    return state;
}

class MetricsServerTest : public ::testing::Test {
protected:
    void SetUp() override {
        const auto bound = server_.start({"127.0.0.1", 0});
        ASSERT_TRUE(bound.ok()) << bound.error();
        port_ = *bound;
        ASSERT_NE(port_, 0);
    }

    MetricsServer server_{"9.8.7"};
    std::uint16_t port_ = 0;
};

TEST_F(MetricsServerTest, ServesTheStateLastPublished) {
    server_.publish(oneDevice(0.4));
    server_.publish(oneDevice(0.41));
    const std::string answer = get(port_, "/metrics");
    EXPECT_THAT(answer, StartsWith("HTTP/1.1 200"));
    EXPECT_THAT(answer, HasSubstr("Content-Type: text/plain; version=0.0.4"));
    EXPECT_THAT(answer,
                HasSubstr("ampwell_device_battery_ratio{serial=\"00008101-000A\",name=\"iPad\",port=\"1\"} 0.41\n"));
    EXPECT_THAT(answer, HasSubstr("ampwell_build_info{version=\"9.8.7\"} 1\n"));
}

TEST_F(MetricsServerTest, AnswersAScraperThatAsksForOpenMetricsInOpenMetrics) {
    const std::string answer =
        get(port_, "/metrics", "Accept: application/openmetrics-text;version=1.0.0,text/plain;q=0.5\r\n");
    EXPECT_THAT(answer, HasSubstr("Content-Type: application/openmetrics-text"));
    EXPECT_THAT(answer, HasSubstr("# EOF\n"));
}

TEST_F(MetricsServerTest, NamesTheEndpointAtTheRootAndRefusesEverythingElse) {
    const std::string root = get(port_, "/");
    EXPECT_THAT(root, StartsWith("HTTP/1.1 200"));
    EXPECT_THAT(root, HasSubstr("href=\"/metrics\""));
    EXPECT_THAT(get(port_, "/metric"), StartsWith("HTTP/1.1 404"));
    EXPECT_THAT(get(port_, "/metrics/x"), StartsWith("HTTP/1.1 404"));
    const std::string posted = get(port_, "/metrics", "Content-Length: 0\r\n", "POST");
    EXPECT_THAT(posted, StartsWith("HTTP/1.1 405"));
    EXPECT_THAT(posted, HasSubstr("Allow: GET, HEAD"));
    EXPECT_THAT(get(port_, "/", "", "DELETE"), StartsWith("HTTP/1.1 405"));
    const std::string head = get(port_, "/metrics", "", "HEAD");
    EXPECT_THAT(head, StartsWith("HTTP/1.1 200"));
    EXPECT_THAT(head, Not(HasSubstr("ampwell_build_info")));
}

TEST_F(MetricsServerTest, ASecondServerOnTheSamePortSaysWhyItCannotStart) {
    MetricsServer second("9.8.7");
    const auto bound = second.start({"127.0.0.1", port_});
    ASSERT_FALSE(bound.ok());
    EXPECT_FALSE(bound.error().empty());
    MetricsServer nowhere("9.8.7");
    EXPECT_FALSE(nowhere.start({"not-an-address", 0}).ok());
}

TEST(ListenAddress, ReadsAPortAloneOrAfterAHost) {
    const auto alone = parseListenAddress("9101");
    ASSERT_TRUE(alone);
    EXPECT_EQ(alone->host, "127.0.0.1");
    EXPECT_EQ(alone->port, 9101);
    const auto everywhere = parseListenAddress("0.0.0.0:9101");
    ASSERT_TRUE(everywhere);
    EXPECT_EQ(everywhere->host, "0.0.0.0");
    const auto six = parseListenAddress("[::1]:80");
    ASSERT_TRUE(six);
    EXPECT_EQ(six->host, "::1");
    EXPECT_EQ(six->port, 80);
    for (const char* bad : {"", ":9101", "65536", "91a", "::1:80", "host:", "-1", "[::1:80"})
        EXPECT_FALSE(parseListenAddress(bad)) << bad;
}

}  // namespace
}  // namespace ampwell
