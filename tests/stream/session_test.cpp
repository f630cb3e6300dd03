#include "stream/asf_session.h"
#include "stream/engine_doubles.h"
#include "stream/mjpeg_session.h"
#include "stream/player_exception.h"
#include "stream/stream_builders.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>

namespace kestrova::stream {
namespace {

using namespace testing;
using namespace std::chrono_literals;

// One play: window, consumers and a session reading a scripted source.
template <typename Session> struct Play {
    explicit Play(Bytes bytes, StreamProfile profile = StreamProfile::Viewer())
        : source(std::make_shared<ScriptedSource>(std::move(bytes))), display(window),
          audio(window), session(window, profile) {
        session.SetTimings(FastTimings());
        session.SetDisplay(&display);
        session.SetAudio(&audio);
        session.SetTarget("http://camera/stream", "a-user-name-longer-than-31-characters", "");
        session.SetSourceFactory([this] { return source; });
    }
    // Runs until the session ends by itself; its result code.
    int RunToEnd() {
        EXPECT_TRUE(session.Start());
        EXPECT_TRUE(WaitFor([&] { return session.IsFinished(); }));
        // The end is reported after the finished flag is set: join the thread to see it.
        session.StopAndJoin();
        return session.ExitCode();
    }
    void ExpectCleanEnd() {
        EXPECT_EQ(window.VideoQueue().Count(), 0u);
        EXPECT_EQ(window.AudioQueue().Count(), 0u);
        EXPECT_TRUE(display.IsFinished());
        EXPECT_TRUE(audio.IsFinished());
        EXPECT_FALSE(audio.IsOpen());
        EXPECT_TRUE(source->Aborted());
    }
    std::vector<std::pair<uint32_t, uintptr_t>> Ended() {
        std::vector<std::pair<uint32_t, uintptr_t>> out;
        for (auto m : window.Posted())
            if (m.first == WM_STREAM_ENDED)
                out.push_back(m);
        return out;
    }

    RecordingWindow window;
    std::shared_ptr<ScriptedSource> source;
    FakeDisplay display;
    FakeAudio audio;
    Session session;
};

Bytes MJpegStream(int frames) {
    Bytes s = MJpegAudio(Pattern(40, 1), 1);
    for (int i = 0; i < frames; ++i)
        Append(s, MJpegFrame(Pattern(3000, static_cast<uint8_t>(i)), {1000, 2000},
                             static_cast<uint32_t>(i)));
    return s;
}

constexpr uint32_t kPacket = 1024;

Bytes AsfStream(int frames) {
    AsfHeaderLayout layout;
    layout.packetSize = kPacket;
    Bytes s = AsfHeader(layout);
    for (int i = 0; i < frames; ++i)
        Append(s, AsfPacket(kPacket, {Whole(0x02, Pattern(100, 1), i),
                                      Whole(i % 5 ? 0x01 : 0x81, Pattern(500, 2), i)}));
    return s;
}

TEST(MJpegSession, PlaysUntilStoppedAndLeavesNothingBehind) {
    Play<CMJpegSession> play(MJpegStream(30));
    play.source->endAtLast = false; // the camera keeps the connection open
    ASSERT_TRUE(play.session.Start());
    // The display keeps up or frames are dropped at the queue limit; either way some arrive.
    const std::size_t total = MJpegStream(30).size();
    // The display counts a frame just after taking it off the queue, so an empty queue alone
    // does not mean the count is final.
    ASSERT_TRUE(WaitFor([&] {
        return play.session.BytesReceived() == total && play.window.VideoQueue().Count() == 0 &&
               play.display.frames >= 10;
    }));
    EXPECT_LE(play.display.frames, 30);
    EXPECT_EQ(play.display.starts, 1);
    EXPECT_EQ(play.display.width, 320);
    EXPECT_EQ(play.audio.opens, 1);
    EXPECT_EQ(play.audio.format, 4);
    EXPECT_EQ(play.source->user, "a-user-name-longer-than-31-characters"); // passed whole
    EXPECT_EQ(play.source->url, "http://camera/stream");
    EXPECT_TRUE(play.session.StopThread(5000));
    EXPECT_EQ(play.session.ExitCode(), 0);
    EXPECT_TRUE(play.Ended().empty());
    EXPECT_EQ(play.audio.closes, 1);
    play.ExpectCleanEnd();
}

TEST(MJpegSession, EndOfStreamAndStallBothEndWithReadError) {
    {
        Play<CMJpegSession> play(MJpegStream(3));
        play.source->stallAt = 48 + 500; // mid-frame close would look the same: a short read
        play.source->endAtLast = true;
        play.display.stalled = true;
        const auto t0 = std::chrono::steady_clock::now();
        EXPECT_EQ(play.RunToEnd(), kReadError);
        EXPECT_GE(std::chrono::steady_clock::now() - t0, 300ms); // the read time-out
        EXPECT_EQ(play.Ended(),
                  (std::vector<std::pair<uint32_t, uintptr_t>>{{WM_STREAM_ENDED, 400}}));
        play.ExpectCleanEnd();
    }
    {
        Play<CMJpegSession> play(MJpegStream(3)); // ends after three frames
        play.display.stalled = true;
        EXPECT_EQ(play.RunToEnd(), kReadError);
        play.ExpectCleanEnd();
    }
}

TEST(Sessions, ConnectFailureHangAndStopWhileConnecting) {
    {
        Play<CMJpegSession> play({});
        play.source->openMode = ScriptedSource::OpenMode::Fail;
        EXPECT_EQ(play.RunToEnd(), kConnectError);
        EXPECT_EQ(play.Ended().size(), 1u);
    }
    {
        // The Motion-JPEG session opens only HTTP targets.
        Play<CMJpegSession> play({});
        play.session.SetTarget("ftp://camera/stream", "u", "p");
        EXPECT_EQ(play.RunToEnd(), kConnectError);
        EXPECT_EQ(play.source->opens, 0);
    }
    {
        Play<CAsfSession> play({});
        play.source->openMode = ScriptedSource::OpenMode::Hang;
        const auto t0 = std::chrono::steady_clock::now();
        EXPECT_EQ(play.RunToEnd(), kConnectError);
        EXPECT_GE(std::chrono::steady_clock::now() - t0, 300ms);
        EXPECT_TRUE(play.source->Aborted()); // the hanging attempt was abandoned
        EXPECT_EQ(play.Ended().size(), 1u);
    }
    {
        Play<CAsfSession> play({});
        play.source->openMode = ScriptedSource::OpenMode::Hang;
        play.session.SetTimings([] {
            auto t = FastTimings();
            t.connectTimeout = 30000;
            return t;
        }());
        ASSERT_TRUE(play.session.Start());
        std::this_thread::sleep_for(20ms);
        const auto t0 = std::chrono::steady_clock::now();
        EXPECT_TRUE(play.session.StopThread(5000));
        EXPECT_LT(std::chrono::steady_clock::now() - t0, 2s);
        EXPECT_EQ(play.session.ExitCode(), 0);
        EXPECT_TRUE(play.Ended().empty());
    }
}

TEST(AsfSession, PlaysRecordsEveryByteAndStopsClean) {
    const Bytes stream = AsfStream(40);
    Play<CAsfSession> play(stream);
    play.source->endAtLast = false;
    const auto file = std::filesystem::temp_directory_path() /
                      ("asf_record_" + std::to_string(::getpid()) + ".asf");
    play.session.SetRecord(true, file.string());
    ASSERT_TRUE(play.session.Start());
    ASSERT_TRUE(WaitFor([&] {
        // Every byte handed to the session (the reader reads ahead of it), and every frame
        // the display took counted.
        return play.session.BytesReceived() == stream.size() &&
               play.window.VideoQueue().Count() == 0 && play.display.frames >= 36;
    }));
    EXPECT_EQ(play.display.starts, 1);
    EXPECT_EQ(play.display.height, 240);
    EXPECT_EQ(play.audio.opens, 1);
    EXPECT_TRUE(play.session.StopThread(5000));
    EXPECT_EQ(play.session.ExitCode(), 0);
    EXPECT_TRUE(play.Ended().empty());
    EXPECT_EQ(play.display.closes, 1); // the decoder is closed by the stop sequence
    play.ExpectCleanEnd();

    std::ifstream in(file, std::ios::binary);
    Bytes recorded((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(recorded, stream);
    std::filesystem::remove(file);
}

// However the camera's bytes come in (all at once, in pieces that straddle packets and the
// reader's ring end, or a few bytes at a time), the session takes the same packets in
// order: every byte is recorded and no parse fails.
TEST(AsfSession, PiecesOfAnySizeGiveTheSameStream) {
    const Bytes stream = AsfStream(150); // more than the reader's ring: it wraps
    for (const std::size_t piece : {SIZE_MAX, std::size_t{1000}, std::size_t{7}}) {
        SCOPED_TRACE(piece);
        Play<CAsfSession> play(stream);
        play.source->endAtLast = false;
        play.source->piece = piece;
        const auto file = std::filesystem::temp_directory_path() /
                          ("asf_pieces_" + std::to_string(::getpid()) + ".asf");
        play.session.SetRecord(true, file.string());
        ASSERT_TRUE(play.session.Start());
        EXPECT_TRUE(WaitFor([&] { return play.session.BytesReceived() == stream.size(); }));
        EXPECT_TRUE(play.session.StopThread(5000));
        EXPECT_EQ(play.session.ExitCode(), 0);
        EXPECT_TRUE(play.Ended().empty());
        std::ifstream in(file, std::ios::binary);
        const Bytes recorded((std::istreambuf_iterator<char>(in)),
                             std::istreambuf_iterator<char>());
        EXPECT_EQ(recorded, stream);
        std::filesystem::remove(file);
    }
}

// The record name comes from the page: a link under that name is never
// followed (the play ends with the file error and the link's target is left as
// it was), while an old regular file is truncated and rewritten.
TEST(AsfSession, RecordsOnlyIntoRegularFiles) {
    const auto dir =
        std::filesystem::temp_directory_path() / ("asf_record_dir_" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    const auto victim = dir / "victim.txt";
    std::ofstream(victim) << "keep me";
    std::filesystem::create_symlink(victim, dir / "link.asf");
    {
        Play<CAsfSession> play(AsfStream(3));
        play.session.SetRecord(true, (dir / "link.asf").string());
        EXPECT_EQ(play.RunToEnd(), kFileError);
        play.ExpectCleanEnd();
    }
    std::ifstream in(victim);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "keep me");

    const Bytes stream = AsfStream(3);
    const auto old = dir / "old.asf";
    std::ofstream(old) << std::string(stream.size() * 2, 'x');
    {
        Play<CAsfSession> play(stream);
        play.session.SetRecord(true, old.string());
        EXPECT_EQ(play.RunToEnd(), kReadError); // the stream ends after three frames
    }
    EXPECT_EQ(std::filesystem::file_size(old), stream.size());
    std::filesystem::remove_all(dir);
}

TEST(AsfSession, ErrorCodesArePostedAfterTheStopSequence) {
    AsfHeaderLayout layout;
    layout.packetSize = kPacket;
    Bytes badStream = AsfHeader(layout);
    Append(badStream, AsfPacket(kPacket, {Whole(0x82, Pattern(10, 0), 0)}));
    Bytes overlong = AsfHeader(layout);
    AsfPayload big = Whole(0x81, Pattern(10, 0), 0);
    big.objectSize = CAsfParser::kMaxMediaObjectSize + 1;
    Append(overlong, AsfPacket(kPacket, {big}));
    Bytes cut = AsfStream(3);
    cut.resize(cut.size() - 100); // the connection closes mid-packet

    struct Case {
        Bytes stream;
        int code;
        std::string text;
    };
    for (const Case& c :
         {Case{Text("<HTML><HEAD><TITLE>503 Service Unavailable</TITLE>"), 310, kBusyText},
          Case{Text("<HTML><HEAD><TITLE>401 Unauthorized</TITLE></HEAD>"), 300,
               "User name or password error"},
          Case{badStream, 420, "Bad StreamNo: 130"},
          Case{overlong, 430, "Bad media object size: 4194305"},
          Case{cut, 400, "data reading error."}}) {
        SCOPED_TRACE(c.code);
        Play<CAsfSession> play(c.stream);
        play.display.stalled = true;
        EXPECT_EQ(play.RunToEnd(), c.code);
        EXPECT_EQ(play.session.LastError().rfind(c.text, 0), 0u) << play.session.LastError();
        ASSERT_EQ(play.Ended().size(), 1u);
        EXPECT_EQ(play.Ended()[0].second, static_cast<uintptr_t>(c.code));
        play.ExpectCleanEnd();
    }
}

TEST(AsfSession, MotionProfileReportsThroughItsCallbacks) {
    AsfHeaderLayout layout;
    layout.packetSize = kPacket;
    layout.audio = false;
    Bytes s = AsfHeader(layout);
    Append(s, AsfPacket(kPacket, {Whole(0x81, Pattern(100, 0), 0)}, {5, 6, 7, 8}));
    Append(s, AsfPacket(kPacket, {Whole(0x02, Pattern(100, 0), 0)}));
    Play<CAsfSession> play(s, StreamProfile::Motion());
    std::atomic<int> ended{0};
    std::array<uint8_t, 4> levels{};
    play.session.SetEndCallback([&](int code) { ended = code; });
    play.session.SetMotionLevelsCallback([&](const std::array<uint8_t, 4>& l) { levels = l; });
    EXPECT_EQ(play.RunToEnd(), kReadError);
    EXPECT_EQ(play.session.LastError().rfind("data reading error4.", 0), 0u);
    EXPECT_EQ(ended.load(), kReadError);
    EXPECT_TRUE(play.window.Posted().empty());
    EXPECT_EQ(levels, (std::array<uint8_t, 4>{5, 6, 7, 8}));
    EXPECT_EQ(play.audio.opens, 0);
    play.ExpectCleanEnd();
}

// The session waits for the camera's next packet with the users' 60 s read time-out; the
// stop request wakes that wait, so the stop is not held up by it.
TEST(AsfSession, StopWithFramesQueuedReleasesThem) {
    Play<CAsfSession> play(AsfStream(20));
    play.session.SetTimings([] {
        auto t = FastTimings();
        t.readTimeout = EngineTimings().readTimeout;
        return t;
    }());
    play.source->endAtLast = false;
    play.display.stalled = true;
    ASSERT_TRUE(play.session.Start());
    ASSERT_TRUE(WaitFor([&] { return play.window.VideoQueue().Count() == 20; }));
    EXPECT_EQ(play.window.AudioQueue().Count(), 3u);
    EXPECT_TRUE(play.session.StopThread(5000));
    EXPECT_EQ(play.session.ExitCode(), 0);
    play.ExpectCleanEnd();
}

} // namespace
} // namespace kestrova::stream
