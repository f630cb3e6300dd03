#include "net/raw_http_server.h"
#include "net/stream_connection.h"

#include <atomic>
#include <chrono>
#include <future>
#include <gtest/gtest.h>
#include <thread>
#include <vector>

namespace kestrova::net {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using test::Chunk;
using test::Pattern;
using test::RawHttpServer;
using test::ReceivedRequest;
using test::ResponseHead;
using test::SendAll;

std::string ReadExactly(StreamConnection& c, std::size_t n) {
    std::vector<uint8_t> buffer(n);
    const long got = c.Read(buffer);
    return got < 0 ? std::string() : std::string(buffer.begin(), buffer.begin() + got);
}

TEST(StreamConnection, ChunkedBodyReadInExactCountsAcrossChunks) {
    const std::string body = Pattern(40'000);
    RawHttpServer server([&](int fd, const ReceivedRequest&) {
        SendAll(fd, ResponseHead("HTTP/1.1 200 OK", {"Transfer-Encoding: chunked"}));
        std::size_t at = 0;
        for (std::size_t size : {1, 7, 1000, 3, 17000, 5, 2}) {
            SendAll(fd, Chunk(std::string_view(body).substr(at, size)));
            at += size;
            std::this_thread::sleep_for(1ms); // separate network pieces
        }
        SendAll(fd, Chunk(std::string_view(body).substr(at)));
        SendAll(fd, "0\r\n\r\n");
    });
    StreamConnection c;
    ASSERT_TRUE(c.Open(server.Url("/img/video.asf"), "", ""));
    EXPECT_TRUE(c.IsOpen());
    std::string got;
    for (std::size_t n : {5, 13, 1, 4096, 30, 20000})
        got += ReadExactly(c, n);
    ASSERT_EQ(got.size(), 5u + 13 + 1 + 4096 + 30 + 20000); // every read filled
    got += ReadExactly(c, 100'000);                         // the rest: a short count
    EXPECT_EQ(got.size(), body.size());
    EXPECT_TRUE(got == body);
    std::vector<uint8_t> more(16);
    EXPECT_EQ(c.Read(more), 0); // clean end of the body
    EXPECT_EQ(c.BytesReceived(), body.size());
}

TEST(StreamConnection, CloseDelimitedBodyAndStatusPagesAreData) {
    const std::string body = Pattern(10'000, 3);
    RawHttpServer plain([&](int fd, const ReceivedRequest&) {
        SendAll(fd, ResponseHead("HTTP/1.0 200 OK", {"Content-Type: image/jpeg"}) + body);
    });
    StreamConnection c;
    ASSERT_TRUE(c.Open(plain.Url("/img/mjpeg.cgi"), "", ""));
    std::string got;
    std::vector<uint8_t> buffer(2048);
    long n;
    while ((n = c.Read(buffer)) > 0)
        got.append(buffer.begin(), buffer.begin() + n);
    EXPECT_EQ(n, 0);
    EXPECT_TRUE(got == body);

    const std::string page = "<HTML><HEAD><TITLE>401 Unauthorized</TITLE></HEAD></HTML>";
    RawHttpServer refusing([&](int fd, const ReceivedRequest&) {
        SendAll(fd, ResponseHead("HTTP/1.0 401 Unauthorized",
                                 {"WWW-Authenticate: Basic realm=\"cam\""}) +
                        page);
    });
    ASSERT_TRUE(c.Open(refusing.Url("/img/mjpeg.cgi"), "user", "wrong"));
    EXPECT_EQ(ReadExactly(c, 4096), page);
    // A redirect is not followed either: its body is what is read.
    RawHttpServer moving([&](int fd, const ReceivedRequest&) {
        SendAll(fd, ResponseHead("HTTP/1.0 302 Found", {"Location: /elsewhere"}) + "moved");
    });
    ASSERT_TRUE(c.Open(moving.Url("/img/video.asf"), "", ""));
    EXPECT_EQ(ReadExactly(c, 100), "moved");
    EXPECT_EQ(moving.Connections(), 1);
}

TEST(StreamConnection, SendsBasicCredentialsOnlyWithAUserName) {
    RawHttpServer server(
        [](int fd, const ReceivedRequest&) { SendAll(fd, ResponseHead("HTTP/1.0 200 OK") + "x"); });
    StreamConnection c;
    ASSERT_TRUE(c.Open(server.Url("/a"), "admin", "secret"));
    ASSERT_TRUE(c.Open(server.Url("/b"), "", "ignored"));
    const std::string longUser(40, 'a'), longPassword(40, 'b');
    ASSERT_TRUE(c.Open(server.Url("/c"), longUser, longPassword));
    c.Close();
    const auto requests = server.Requests();
    ASSERT_EQ(requests.size(), 3u);
    EXPECT_EQ(requests[0].Header("Authorization"), "Basic YWRtaW46c2VjcmV0");
    EXPECT_FALSE(requests[1].HasHeader("Authorization"));
    EXPECT_EQ(
        requests[2].Header("Authorization"),
        "Basic YWFhYWFhYWFhYWFhYWFhYWFhYWFhYWFhYWFhYWFhYWFhYWFhYWFhYTpiYmJiYmJiYmJiYmJiYmJiYmJi"
        "YmJiYmJiYmJiYmJiYmJiYmJiYmJi");
}

TEST(StreamConnection, FailuresAreReported) {
    std::string deadUrl;
    {
        RawHttpServer gone([](int, const ReceivedRequest&) {});
        deadUrl = gone.Url("/img/video.asf");
    }
    StreamConnection c;
    EXPECT_FALSE(c.Open(deadUrl, "u", "p"));
    EXPECT_FALSE(c.IsOpen());
    EXPECT_FALSE(c.LastError().empty());
    std::vector<uint8_t> buffer(16);
    EXPECT_EQ(c.Read(buffer), -1);
    EXPECT_FALSE(c.Open("file:///etc/passwd", "", "")); // only HTTP URLs

    // A chunked body cut off inside a chunk: the bytes that came, then an error.
    RawHttpServer cut([](int fd, const ReceivedRequest&) {
        SendAll(fd, ResponseHead("HTTP/1.1 200 OK", {"Transfer-Encoding: chunked"}) +
                        "100\r\nonly-part");
    });
    ASSERT_TRUE(c.Open(cut.Url("/img/video.asf"), "", ""));
    EXPECT_EQ(ReadExactly(c, 1000), "only-part");
    EXPECT_EQ(c.Read(buffer), -1);
    EXPECT_FALSE(c.LastError().empty());
}

TEST(StreamConnection, AbortUnblocksOpenAndReadPromptly) {
    RawHttpServer silent([&](int, const ReceivedRequest&) { silent.WaitForStop(20s); });
    StreamConnection opening;
    auto open =
        std::async(std::launch::async, [&] { return opening.Open(silent.Url("/"), "", ""); });
    std::this_thread::sleep_for(200ms);
    const auto abortAt = Clock::now();
    opening.Abort();
    ASSERT_EQ(open.wait_for(2s), std::future_status::ready);
    EXPECT_FALSE(open.get());
    EXPECT_LT(Clock::now() - abortAt, 500ms);
    // The abort holds until Close: a new Open fails at once.
    EXPECT_FALSE(opening.Open(silent.Url("/"), "", ""));
    opening.Close();

    RawHttpServer stalling([&](int fd, const ReceivedRequest&) {
        SendAll(fd, ResponseHead("HTTP/1.0 200 OK") + "head");
        stalling.WaitForStop(20s);
    });
    for (bool byClose : {false, true}) {
        StreamConnection c;
        ASSERT_TRUE(c.Open(stalling.Url("/"), "", ""));
        auto read = std::async(std::launch::async, [&] { return ReadExactly(c, 100); });
        std::this_thread::sleep_for(200ms);
        const auto stopAt = Clock::now();
        if (byClose)
            c.Close();
        else
            c.Abort();
        ASSERT_EQ(read.wait_for(2s), std::future_status::ready);
        EXPECT_EQ(read.get(), "head"); // what arrived before the abort is handed over
        EXPECT_LT(Clock::now() - stopAt, 500ms);
        if (!byClose) {
            c.Close();
            EXPECT_FALSE(c.IsOpen());
            ASSERT_TRUE(c.Open(stalling.Url("/"), "", "")); // usable again after Close
        }
    }
}

TEST(StreamConnection, ReadSomeHandsOverWhatHasArrived) {
    RawHttpServer server([&](int fd, const ReceivedRequest&) {
        SendAll(fd, ResponseHead("HTTP/1.0 200 OK") + "frame-tail");
        server.WaitForStop(20s);
    });
    StreamConnection c;
    ASSERT_TRUE(c.Open(server.Url("/img/mjpeg.cgi"), "", ""));
    std::vector<uint8_t> buffer(2048);
    std::size_t got = 0;
    while (got < 10) {
        const long n = c.ReadSome(std::span(buffer).subspan(got));
        ASSERT_GT(n, 0);
        got += static_cast<std::size_t>(n);
    }
    EXPECT_EQ(std::string(buffer.begin(), buffer.begin() + 10), "frame-tail");
}

TEST(StreamConnection, SlowReaderKeepsTheBufferBounded) {
    constexpr std::size_t kTotal = 8 * 1024 * 1024;
    constexpr std::size_t kCapacity = 64 * 1024;
    constexpr std::size_t kPiece = 16 * 1024; // the most one network piece adds
    std::atomic<std::size_t> sent{0};
    RawHttpServer server([&](int fd, const ReceivedRequest&) {
        SendAll(fd, ResponseHead("HTTP/1.0 200 OK"));
        for (std::size_t at = 0; at < kTotal; at += 65536) {
            if (!SendAll(fd, Pattern(65536, at)))
                return;
            sent += 65536;
        }
    });
    StreamConnection c;
    c.SetBufferCapacity(kCapacity);
    ASSERT_TRUE(c.Open(server.Url("/img/video.asf"), "", ""));
    std::this_thread::sleep_for(300ms); // the camera fills every buffer on the way
    EXPECT_LE(c.PeakBuffered(), kCapacity + kPiece);
    EXPECT_LE(c.BytesReceived(), kCapacity + kPiece);
    EXPECT_LT(sent.load(), kTotal); // the server is held back, not drained into memory

    std::vector<uint8_t> buffer(4096);
    std::size_t total = 0;
    bool inOrder = true;
    long n;
    while ((n = c.Read(buffer)) > 0) {
        const std::string expected = Pattern(static_cast<std::size_t>(n), total);
        if (inOrder && std::string(buffer.begin(), buffer.begin() + n) != expected) {
            inOrder = false;
            ADD_FAILURE() << "bytes out of order in the read at offset " << total;
        }
        total += static_cast<std::size_t>(n);
        if (total % (1024 * 1024) < 4096)
            std::this_thread::sleep_for(20ms); // a slow consumer now and then
    }
    EXPECT_EQ(n, 0);
    EXPECT_EQ(total, kTotal);
    EXPECT_TRUE(inOrder);
    EXPECT_LE(c.PeakBuffered(), kCapacity + kPiece);
}

} // namespace
} // namespace kestrova::net
