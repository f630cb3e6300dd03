#include "codec/image/frame_image.h"
#include "motion/config_client.h"
#include "motion/motion_protocol.h"
#include "net/endpoints.h"
#include "net/raw_http_server.h"
#include "sim/jpeg_encoder.h"
#include "sim/scene.h"

#include <atomic>
#include <gtest/gtest.h>

namespace kestrova::motion {
namespace {

using net::test::RawHttpServer;
using net::test::ReceivedRequest;

std::string SmallJpeg() {
    sim::Scene scene(64, 48, 15);
    sim::YuvPicture picture;
    scene.Render(0, picture);
    const auto bytes = sim::EncodeJpeg(picture, 75);
    return std::string(bytes.begin(), bytes.end());
}

void Answer(int fd, const std::string& body) {
    net::test::SendAll(fd, net::test::ResponseHead(
                               "HTTP/1.1 200 OK", {"Content-Length: " + std::to_string(body.size()),
                                                   "Connection: close"}) +
                               body);
}

class SilentHost : public ConfigHost {
public:
    void ShowMessage(int id) override { messages.push_back(id); }
    std::optional<Credentials> AskCredentials() override { return std::nullopt; }
    std::vector<int> messages;
};

TEST(MotionWire, PostCarriesExactBodyAndHeaders) {
    RawHttpServer server([](int fd, const ReceivedRequest&) { Answer(fd, "ERROR: no\r\n"); });
    HttpConfigTransport transport;
    SilentHost host;
    MotionConfigClient client(transport, host);
    std::string base = server.Url("");
    while (!base.empty() && base.back() == '/')
        base.pop_back();
    client.SetBase(base);
    // The first release is not confirmed: it goes out a second time on a new connection.
    EXPECT_EQ(client.SendRelease(), 2);
    const auto requests = server.Requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(server.Connections(), 2);
    for (const auto& r : requests) {
        EXPECT_EQ(r.requestLine.rfind("POST /ocxparser.cgi HTTP/1.", 0), 0u) << r.requestLine;
        EXPECT_EQ(r.body, kReleaseBody);
        EXPECT_EQ(r.Header("Content-Length"), std::to_string(kReleaseBody.size()));
        EXPECT_EQ(r.Header("Content-Type"), "application/x-www-form-urlencoded");
        EXPECT_EQ(r.Header("User-Agent"), "VuriveZuvoruR HTTP Poster 1.0");
    }
    EXPECT_TRUE(host.messages.empty());
}

// A read whose answer carries none of the set-up's keys failed: nothing is taken and Apply
// sends nothing. Lines ended by a line feed alone are read; values off the picture clamped.
TEST(MotionWire, ReadAnswersWithoutTheSetUpAreFailedReads) {
    struct Case {
        const char* name;
        std::string answer; // status line and headers up to the body, then the body
        bool read;
        const char* sentArea0; // area 1's rectangle lines in the save that follows, if any
    };
    auto ok = [](const std::string& body) {
        return net::test::ResponseHead(
                   "HTTP/1.1 200 OK",
                   {"Content-Length: " + std::to_string(body.size()), "Connection: close"}) +
               body;
    };
    const std::string moved =
        "<html><head><title>301 Moved Permanently</title></head><body>moved</body></html>";
    const Case cases[] = {
        {"empty 200", ok(""), false, nullptr},
        {"moved page",
         net::test::ResponseHead("HTTP/1.1 301 Moved Permanently",
                                 {"Location: /index.html",
                                  "Content-Length: " + std::to_string(moved.size()),
                                  "Connection: close"}) +
             moved,
         false, nullptr},
        {"text without keys", ok("ERROR: unknown command\r\n"), false, nullptr},
        {"lines ending in LF only",
         ok("RES: 3\nAREA0EN: 1\nAREA0X1: 16\nAREA0Y1: 8\nAREA0X2: 639\nAREA0Y2: 479\n"), true,
         "AREA0X1: 16\r\nAREA0Y1: 8\r\nAREA0X2: 639\r\nAREA0Y2: 479\r\n"},
        {"values off the picture",
         ok("AREA0EN: 0\r\nAREA0X1: 2147483646\r\nAREA0Y1: -7\r\nAREA0X2: 700\r\n"
            "AREA0Y2: 99999999999\r\n"),
         true, "AREA0X1: 640\r\nAREA0Y1: 0\r\nAREA0X2: 640\r\nAREA0Y2: 480\r\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        RawHttpServer server([&](int fd, const ReceivedRequest& r) {
            if (r.body.rfind("COMMAND: MOT_SAVE_AREA", 0) == 0)
                Answer(fd, "MOT: OK\r\n");
            else
                net::test::SendAll(fd, c.answer);
        });
        HttpConfigTransport transport;
        SilentHost host;
        MotionConfigClient client(transport, host);
        client.SetBase(server.Url(""));
        EXPECT_EQ(client.ReadConfiguration(), c.read);
        EXPECT_EQ(client.areas.loaded, c.read);
        EXPECT_EQ(host.messages, c.read ? std::vector<int>{} : std::vector<int>{kMsgNoSetup});
        const SaveResult saved = client.SaveAreas({}, {});
        const auto requests = server.Requests();
        if (!c.read) {
            EXPECT_EQ(saved, SaveResult::NotSent);
            EXPECT_EQ(requests.size(), 1u) << "nothing that was not read is sent";
            continue;
        }
        EXPECT_EQ(saved, SaveResult::Confirmed);
        ASSERT_EQ(requests.size(), 2u);
        EXPECT_NE(requests[1].body.find(c.sentArea0), std::string::npos) << requests[1].body;
    }
}

TEST(MotionWire, SnapshotMustFitOneRead) {
    const std::string jpeg = SmallJpeg();
    ASSERT_GT(jpeg.size(), 100u);
    std::atomic<std::size_t> bodySize{0};
    RawHttpServer server([&](int fd, const ReceivedRequest&) {
        // A valid picture padded with trailing bytes the decoder ignores.
        std::string body = jpeg;
        body.resize(bodySize.load(), '\0');
        Answer(fd, body);
    });
    HttpConfigTransport transport;
    FrameImage image;
    bodySize = 255999;
    std::string text;
    ASSERT_TRUE(transport.PostForImage(image, server.Url("/snap.jpg"), net::kSnapshotRequestBody,
                                       {"u", ""}, &text));
    EXPECT_EQ(image.Width(), 64);
    EXPECT_EQ(text.size(), 255999u);
    const auto received = server.Requests();
    ASSERT_EQ(received.size(), 1u);
    EXPECT_EQ(received[0].body, "COMMAND: MOT_READ_VIEW\r\n\r\n");

    // One byte more fails cleanly and keeps the picture it had.
    bodySize = 256000;
    FrameImage kept;
    ASSERT_TRUE(kept.Decode({reinterpret_cast<const uint8_t*>(jpeg.data()), jpeg.size()},
                            ImageFormat::Jpeg));
    EXPECT_FALSE(transport.PostForImage(kept, server.Url("/snap.jpg"), net::kSnapshotRequestBody,
                                        {"u", ""}, nullptr));
    EXPECT_EQ(kept.Width(), 64);
}

} // namespace
} // namespace kestrova::motion
