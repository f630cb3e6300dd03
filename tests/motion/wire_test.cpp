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
