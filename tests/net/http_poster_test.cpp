#include "codec/image/frame_image.h"
#include "net/http_poster.h"
#include "net/raw_http_server.h"
#include "net/refusal.h"

#include <chrono>
#include <cstdlib>
#include <curl/curl.h>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <thread>
#include <unistd.h>

namespace kestrova::net {
namespace {

using namespace std::chrono_literals;
using test::RawHttpServer;
using test::ReceivedRequest;
using test::ResponseHead;
using test::SendAll;

CHttpPoster::Options Fast() {
    CHttpPoster::Options o;
    o.sendSettle = 0ms;
    o.sendTimeout = 2000ms;
    o.readIdleTimeout = 2000ms;
    return o;
}

// Printable text whose every position is recognisable.
std::string Text(std::size_t length) {
    std::string s(length, ' ');
    for (std::size_t i = 0; i < length; ++i)
        s[i] = static_cast<char>('!' + (i * 31 + i / 94) % 94);
    return s;
}

// Answers every request with `body` as an HTTP/1.0 close-delimited answer, written in
// small uneven pieces.
RawHttpServer::Handler Answer(std::string body, std::string status = "HTTP/1.0 200 OK") {
    return [body, status](int fd, const ReceivedRequest&) {
        SendAll(fd, ResponseHead(status, {"Content-Type: text/plain"}));
        for (std::size_t at = 0, step = 1000; at < body.size();
             at += step, step = step * 3 % 7001 + 1)
            SendAll(fd, std::string_view(body).substr(at, step));
    };
}

TEST(HttpPoster, GetSendsAgentAcceptAndBasicCredentials) {
    RawHttpServer server(Answer("ptctrl=on\rioctrl=off\r"));
    {
        CHttpPoster poster(Fast());
        std::string answer;
        ASSERT_TRUE(
            poster.Request(answer, server.Url("/img/query.cgi?x=1"), false, "admin", "secret"));
        EXPECT_EQ(answer, "ptctrl=on\rioctrl=off\r");
    }
    {
        CHttpPoster poster(Fast());
        std::string answer;
        ASSERT_TRUE(poster.Request(answer, server.Url("/a"), false, "admin", ""));
    }
    {
        CHttpPoster poster(Fast());
        std::string answer;
        ASSERT_TRUE(poster.Request(answer, server.Url("/b"), false, "", ""));
    }
    const std::string longUser(40, 'a'), longPassword(40, 'b');
    {
        CHttpPoster poster(Fast());
        std::string answer;
        ASSERT_TRUE(poster.Request(answer, server.Url("/c"), false, longUser, longPassword));
    }
    const auto requests = server.Requests();
    ASSERT_EQ(requests.size(), 4u);
    EXPECT_EQ(requests[0].requestLine, "GET /img/query.cgi?x=1 HTTP/1.1");
    EXPECT_EQ(requests[0].Header("User-Agent"), "VuriveZuvoruR HTTP Poster 1.0");
    EXPECT_EQ(requests[0].Header("Accept"), "*/*");
    EXPECT_EQ(requests[0].Header("Authorization"), "Basic YWRtaW46c2VjcmV0"); // admin:secret
    EXPECT_EQ(requests[1].Header("Authorization"), "Basic YWRtaW46fg==");     // admin:~
    EXPECT_EQ(requests[2].Header("Authorization"), "Basic On4=");             // :~
    // Credentials longer than 31 characters travel whole.
    EXPECT_EQ(
        requests[3].Header("Authorization"),
        "Basic YWFhYWFhYWFhYWFhYWFhYWFhYWFhYWFhYWFhYWFhYWFhYWFhYWFhYTpiYmJiYmJiYmJiYmJiYmJiYmJi"
        "YmJiYmJiYmJiYmJiYmJiYmJiYmJi");
}

TEST(HttpPoster, PostSendsFormHeaderAndExactBody) {
    RawHttpServer server(Answer("MOT: OK\r\n"));
    const std::string body = "COMMAND: MOT_READ_AREA\r\n\r\n";
    {
        CHttpPoster poster(Fast());
        std::string answer;
        ASSERT_TRUE(poster.Request(answer, server.Url("/ocxparser.cgi"), true, "u", "p", body,
                                   static_cast<long>(body.size())));
        EXPECT_EQ(answer, "MOT: OK\r\n");
    }
    const std::string withNul("a=1\0tail", 8);
    {
        CHttpPoster poster(Fast());
        std::string answer;
        ASSERT_TRUE(poster.Request(answer, server.Url("/p"), true, "u", "p", withNul, -1));
    }
    {
        CHttpPoster poster(Fast());
        std::string answer;
        ASSERT_TRUE(poster.Request(answer, server.Url("/p"), true, "u", "p", withNul, 8));
    }
    const std::string big = Text(5000); // large enough that a client might wait for 100-continue
    {
        CHttpPoster poster(Fast());
        std::string answer;
        const auto start = std::chrono::steady_clock::now();
        ASSERT_TRUE(poster.Request(answer, server.Url("/p"), true, "u", "", big, -1));
        EXPECT_LT(std::chrono::steady_clock::now() - start, 500ms);
    }
    const auto requests = server.Requests();
    ASSERT_EQ(requests.size(), 4u);
    EXPECT_EQ(requests[0].requestLine, "POST /ocxparser.cgi HTTP/1.1");
    EXPECT_EQ(requests[0].Header("Content-Type"), "application/x-www-form-urlencoded");
    EXPECT_EQ(requests[0].Header("User-Agent"), "VuriveZuvoruR HTTP Poster 1.0");
    EXPECT_EQ(requests[0].Header("Accept"), "*/*");
    EXPECT_EQ(requests[0].body, body);
    EXPECT_EQ(requests[1].body, "a=1"); // length -1: the text length
    EXPECT_EQ(requests[2].body, withNul);
    EXPECT_EQ(requests[3].body, big);
    EXPECT_FALSE(requests[3].HasHeader("Expect"));
    EXPECT_EQ(requests[3].Header("Authorization"), "Basic dTp+"); // u:~
}

TEST(HttpPoster, AssemblesLongAnswersInOrderForBothProfiles) {
    const std::string body = Text(700'000);
    RawHttpServer server(Answer(body));
    for (CHttpPoster::Options options : {Fast(), CHttpPoster::Options::MotionControl()}) {
        options.sendSettle = 0ms;
        CHttpPoster poster(options);
        std::string answer;
        ASSERT_TRUE(poster.Request(answer, server.Url("/util/query.cgi"), false, "u", "p"));
        EXPECT_EQ(answer.size(), body.size());
        EXPECT_TRUE(answer == body);
    }
}

TEST(HttpPoster, AnswerTextStopsAtFirstNulButBytesAreKept) {
    const std::string body("type=mpeg4\r\0voice_out=on\r", 25);
    RawHttpServer server(Answer(body));
    CHttpPoster poster(Fast());
    std::string answer;
    ASSERT_TRUE(poster.Request(answer, server.Url("/util/query.cgi"), false, "u", "p"));
    EXPECT_EQ(answer, "type=mpeg4\r");
    EXPECT_EQ(std::string(poster.AnswerBytes().begin(), poster.AnswerBytes().end()), body);
}

TEST(HttpPoster, RefusalPageComesBackAsText) {
    const std::string page = "<HTML><HEAD><TITLE>401 Unauthorized</TITLE></HEAD></HTML>";
    RawHttpServer server(Answer(page, "HTTP/1.1 401 Unauthorized"));
    CHttpPoster poster(Fast());
    std::string answer;
    ASSERT_TRUE(poster.Request(answer, server.Url("/img/query.cgi"), false, "u", "bad"));
    EXPECT_EQ(answer, page);
    EXPECT_TRUE(IsLoginRefused(answer));
}

TEST(HttpPoster, ServesOneRequestOnly) {
    RawHttpServer server(Answer("first"));
    CHttpPoster poster(Fast());
    std::string answer;
    ASSERT_TRUE(poster.Request(answer, server.Url("/a"), false, "u", "p"));
    EXPECT_EQ(answer, "first");
    // A GET whose connection fails is not reported: true and an empty text.
    EXPECT_TRUE(poster.Request(answer, server.Url("/a"), false, "u", "p"));
    EXPECT_EQ(answer, "");
    EXPECT_FALSE(poster.Request(answer, server.Url("/a"), true, "u", "p", "x", 1));
    EXPECT_NE(poster.LastError(), 0);
    EXPECT_EQ(server.Connections(), 1);
}

TEST(HttpPoster, FailureCasesSetLastError) {
    CHttpPoster noUrl(Fast());
    std::string answer = "stale";
    EXPECT_FALSE(noUrl.Request(answer, "", false, "u", "p"));
    EXPECT_EQ(noUrl.LastError(), CHttpPoster::kErrorNoUrl);

    // Nothing listens on the port of a server that is gone.
    std::string deadUrl;
    {
        RawHttpServer gone([](int, const ReceivedRequest&) {});
        deadUrl = gone.Url("/x");
    }
    CHttpPoster get(Fast());
    EXPECT_TRUE(get.Request(answer, deadUrl, false, "u", "p"));
    EXPECT_EQ(answer, "");
    CHttpPoster post(Fast());
    EXPECT_FALSE(post.Request(answer, deadUrl, true, "u", "p", "x", 1));
    EXPECT_EQ(post.LastError(), CURLE_COULDNT_CONNECT);
}

TEST(HttpPoster, SendTimeOutFailsAStalledGetAndPost) {
    // The handler returns without answering only when the server stops, so block it.
    RawHttpServer silent([&](int, const ReceivedRequest&) { silent.WaitForStop(10s); });
    for (bool post : {false, true}) {
        CHttpPoster::Options options = Fast();
        options.sendTimeout = 300ms;
        CHttpPoster poster(options);
        std::string answer;
        const auto start = std::chrono::steady_clock::now();
        EXPECT_FALSE(poster.Request(answer, silent.Url("/img/query.cgi"), post, "u", "p", "b", 1));
        const auto took = std::chrono::steady_clock::now() - start;
        EXPECT_GE(took, 300ms);
        EXPECT_LT(took, 2s);
        EXPECT_EQ(poster.LastError(), CURLE_OPERATION_TIMEDOUT);
    }
}

TEST(HttpPoster, HostileAnswersAreBounded) {
    RawHttpServer endless([&](int fd, const ReceivedRequest&) {
        SendAll(fd, ResponseHead("HTTP/1.0 200 OK"));
        const std::string piece = Text(4096);
        while (SendAll(fd, piece)) {
        }
    });
    CHttpPoster::Options options = Fast();
    options.maxAnswer = 100'000;
    CHttpPoster big(options);
    std::string answer;
    EXPECT_FALSE(big.Request(answer, endless.Url("/"), false, "u", "p"));
    EXPECT_EQ(big.LastError(), CHttpPoster::kErrorAnswerTooLarge);
    EXPECT_TRUE(answer.empty());

    RawHttpServer stalling([&](int fd, const ReceivedRequest&) {
        SendAll(fd, ResponseHead("HTTP/1.0 200 OK") + "partial");
        stalling.WaitForStop(10s);
    });
    options = Fast();
    options.readIdleTimeout = 200ms;
    CHttpPoster stalled(options);
    EXPECT_FALSE(stalled.Request(answer, stalling.Url("/"), false, "u", "p"));
    EXPECT_EQ(stalled.LastError(), CHttpPoster::kErrorStalled);

    // One byte every 20 ms (10 s for the whole answer) never trips the silence cap; the
    // request's own deadline ends it, for the viewer's GET and the motion control's POST.
    RawHttpServer trickling([&](int fd, const ReceivedRequest&) {
        SendAll(fd, ResponseHead("HTTP/1.0 200 OK"));
        for (int i = 0; i < 500 && SendAll(fd, "x"); ++i)
            if (trickling.WaitForStop(20ms))
                break;
    });
    for (bool post : {false, true}) {
        options = post ? CHttpPoster::Options::MotionControl() : Fast();
        options.sendSettle = 0ms;
        options.requestTimeout = 300ms;
        CHttpPoster slow(options);
        const auto start = std::chrono::steady_clock::now();
        EXPECT_FALSE(slow.Request(answer, trickling.Url("/ocxparser.cgi"), post, "u", "p", "b", 1));
        EXPECT_EQ(slow.LastError(), CHttpPoster::kErrorTimedOut);
        EXPECT_LT(std::chrono::steady_clock::now() - start, 5s);
    }
}

TEST(HttpPoster, RequestImageDecodesTheAnswerAsJpeg) {
    // A small picture encoded by libjpeg's own command-line encoder.
    const auto dir = std::filesystem::temp_directory_path();
    const auto ppm = dir / ("knet_image_" + std::to_string(getpid()) + ".ppm");
    const auto jpg = dir / ("knet_image_" + std::to_string(getpid()) + ".jpg");
    {
        std::ofstream out(ppm, std::ios::binary);
        out << "P6\n16 8\n255\n" << std::string(16 * 8 * 3, '\x60');
    }
    const std::string command = "cjpeg -outfile " + jpg.string() + " " + ppm.string();
    ASSERT_EQ(std::system(command.c_str()), 0);
    std::ifstream file(jpg, std::ios::binary);
    const std::string jpeg((std::istreambuf_iterator<char>(file)), {});
    std::filesystem::remove(ppm);
    std::filesystem::remove(jpg);
    ASSERT_GT(jpeg.size(), 100u);
    ASSERT_NE(jpeg.find('\0'), std::string::npos); // the text view alone could not decode it

    RawHttpServer camera(Answer(jpeg));
    CHttpPoster poster(CHttpPoster::Options::MotionControl());
    FrameImage image;
    ASSERT_TRUE(poster.RequestImage(image, camera.Url("/snap.jpg"), true, "u", "p",
                                    "COMMAND: MOT_READ_VIEW\r\n\r\n", -1));
    EXPECT_EQ(image.Width(), 16);
    EXPECT_EQ(image.Height(), 8);

    RawHttpServer busy(Answer("<HTML><HEAD><TITLE>403 Forbidden</TITLE></HEAD></HTML>"));
    CHttpPoster refused(Fast());
    EXPECT_FALSE(refused.RequestImage(image, busy.Url("/snap.jpg"), true, "u", "p", "x", 1));
    EXPECT_EQ(refused.LastError(), CHttpPoster::kErrorNotAnImage);
    EXPECT_EQ(image.Width(), 16); // the earlier picture stays

    // The motion control's snapshot is its 640 x 480 view scaled twice at most: a wider
    // picture is refused from its frame header.
    std::string wide = jpeg;
    const std::size_t sof = wide.find("\xFF\xC0");
    ASSERT_NE(sof, std::string::npos);
    wide[sof + 7] = static_cast<char>(1281 >> 8);
    wide[sof + 8] = static_cast<char>(1281 & 0xFF);
    RawHttpServer wideCamera(Answer(wide));
    CHttpPoster widePoster(CHttpPoster::Options::MotionControl());
    EXPECT_FALSE(
        widePoster.RequestImage(image, wideCamera.Url("/snap.jpg"), true, "u", "p", "x", 1));
    EXPECT_EQ(widePoster.LastError(), CHttpPoster::kErrorNotAnImage);
}

} // namespace
} // namespace kestrova::net
