#include "stream/mjpeg_parser.h"
#include "stream/player_exception.h"
#include "stream/stream_builders.h"

#include <algorithm>
#include <gtest/gtest.h>

namespace kestrova::stream {
namespace {

using namespace testing;

struct RecordingHost : MJpegParserHost {
    void StartVideo(int w, int h) override {
        ++videoStarts;
        width = w;
        height = h;
    }
    bool OpenAudio(int format, uint32_t frameSize) override {
        ++audioOpens;
        audioFormat = format;
        audioFrameSize = frameSize;
        return audioOk;
    }
    int videoStarts = 0, width = 0, height = 0;
    int audioOpens = 0, audioFormat = 0;
    uint32_t audioFrameSize = 0;
    bool audioOk = true;
};

struct MJpegFixture : ::testing::Test {
    StreamProfile profile = StreamProfile::Viewer();
    CFrameChain video, audio;
    RecordingHost host;
    CMJpegParser parser{profile, video, audio, host};

    void SetUp() override { parser.Reset(); }

    // Feeds the stream in chunks of `step` bytes; the first non-zero code ends it.
    int Feed(const Bytes& stream, std::size_t step) {
        for (std::size_t at = 0; at < stream.size(); at += step) {
            const std::size_t n = std::min(step, stream.size() - at);
            if (int code = parser.ParseChunk(std::span(stream).subspan(at, n)))
                return code;
        }
        return 0;
    }
    std::vector<std::unique_ptr<FrameRecord>> Drain(CFrameChain& q) {
        std::vector<std::unique_ptr<FrameRecord>> out;
        while (auto r = q.Pop())
            out.push_back(std::move(r));
        return out;
    }
};

// Three video frames (one of them in three records), audio before and between them.
Bytes MixedStream(const std::vector<Bytes>& frames) {
    Bytes s;
    Append(s, MJpegAudio(Pattern(40, 1), 5));
    Append(s, MJpegFrame(frames[0], {frames[0].size()}, 100));
    const std::size_t a = 30, b = 45;
    Append(s, MJpegFrame(frames[1], {a, b, frames[1].size() - a - b}, 200));
    Append(s, MJpegAudio(Pattern(40, 2), 6));
    Append(s, MJpegFrame(frames[2], {1000, frames[2].size() - 1000}, 300));
    return s;
}

TEST_F(MJpegFixture, ReassemblesFramesWhateverTheChunking) {
    const std::vector<Bytes> frames = {Pattern(500, 3), Pattern(200, 4), Pattern(5000, 5)};
    const Bytes stream = MixedStream(frames);
    for (std::size_t step :
         {std::size_t{1}, std::size_t{7}, std::size_t{48}, std::size_t{2048}, stream.size()}) {
        SCOPED_TRACE(step);
        host = {};
        parser.Reset();
        ASSERT_EQ(Feed(stream, step), 0) << parser.LastError();
        auto v = Drain(video);
        ASSERT_EQ(v.size(), 3u);
        for (int i = 0; i < 3; ++i) {
            EXPECT_EQ(v[i]->data, frames[i]);
            EXPECT_EQ(v[i]->size, frames[i].size());
            EXPECT_EQ(v[i]->timestamp, 100u * (i + 1)); // the first record's stamp
        }
        auto a = Drain(audio);
        ASSERT_EQ(a.size(), 2u);
        EXPECT_EQ(a[0]->data, Pattern(40, 1));
        EXPECT_EQ(a[1]->timestamp, 6u);
        EXPECT_EQ(host.videoStarts, 1);
        EXPECT_EQ(host.width, 320);
        EXPECT_EQ(host.audioOpens, 1);
        EXPECT_EQ(host.audioFormat, 4);
        EXPECT_EQ(host.audioFrameSize, 160u);
        EXPECT_EQ(parser.Label(), "cam");
    }
}

TEST_F(MJpegFixture, HeaderSplitTwentyAndTwentyEight) {
    const Bytes frame = Pattern(64, 9);
    const Bytes s = MJpegFrame(frame, {64}, 7);
    Bytes first(120, 0); // a preceding audio record ending 20 bytes into the header
    first = MJpegAudio(Pattern(120 - 48, 1), 1);
    Append(first, Bytes(s.begin(), s.begin() + 20));
    ASSERT_EQ(parser.ParseChunk(first), 0);
    EXPECT_EQ(video.Count(), 0u);
    ASSERT_EQ(parser.ParseChunk(std::span(s).subspan(20)), 0);
    auto v = Drain(video);
    ASSERT_EQ(v.size(), 1u);
    EXPECT_EQ(v[0]->data, frame);
}

TEST_F(MJpegFixture, EmptyRecordsCompleteAtOnceAndAddNothing) {
    const Bytes frame = Pattern(150, 2);
    Bytes s = MJpegFrame(frame, {100, 0, 50}, 10);
    Append(s, MJpegAudio({}, 11));
    // Cut right after the empty audio record's header: it must not wait for more bytes.
    ASSERT_EQ(Feed(s, s.size()), 0);
    EXPECT_EQ(video.Count(), 1u);
    EXPECT_EQ(audio.Count(), 0u);
    Append(s, MJpegFrame(frame, {150}, 12));
    parser.Reset();
    Drain(video);
    ASSERT_EQ(Feed(s, 1), 0);
    EXPECT_EQ(video.Count(), 2u);

    // A frame of total size 0 carries no picture: its record, whatever payload it claims,
    // is stepped over and the next frame is queued.
    for (std::size_t claimed : {std::size_t{0}, std::size_t{7}}) {
        SCOPED_TRACE(claimed);
        MJpegRecord empty;
        empty.total = 0;
        empty.payload = Pattern(claimed, 3);
        Bytes z = empty.Encode();
        Append(z, MJpegFrame(frame, {150}, 13));
        parser.Reset();
        Drain(video);
        ASSERT_EQ(Feed(z, 5), 0) << parser.LastError();
        auto v = Drain(video);
        ASSERT_EQ(v.size(), 1u);
        EXPECT_EQ(v[0]->data, frame);
    }
}

TEST_F(MJpegFixture, HeaderChecksAndTheirTexts) {
    struct Case {
        const char* name;
        MJpegRecord record;
        const char* text;
    };
    MJpegRecord badType;
    badType.type = 3;
    badType.tag = "XXXX"; // the type is checked first
    MJpegRecord badTag;
    badTag.tag = "MJPX";
    badTag.version = 2; // the tag is checked before the version
    MJpegRecord badVersion;
    badVersion.version = 2;
    MJpegRecord lateStart;
    lateStart.total = 100;
    lateStart.offset = 10;
    lateStart.payload = Pattern(10, 0);
    MJpegRecord tooLong; // offset + payload past the frame's total size
    tooLong.total = 10;
    tooLong.payload = Pattern(11, 0);
    MJpegRecord huge;
    huge.total = CMJpegParser::kMaxFrameSize + 1;
    for (const Case& c :
         {Case{"type", badType, "Header type error."}, Case{"tag", badTag, "Header tag error."},
          Case{"version", badVersion, "Header version error."},
          Case{"begin", lateStart, "Header frame begin offset location error."},
          Case{"overrun", tooLong, "Header payload length error."},
          Case{"huge", huge, "Header frame size error."}}) {
        SCOPED_TRACE(c.name);
        parser.Reset();
        EXPECT_EQ(Feed(c.record.Encode(), 5), kMalformed);
        EXPECT_EQ(parser.LastError(), c.text);
    }
    EXPECT_EQ(video.Count(), 0u);
}

TEST_F(MJpegFixture, OffsetsOutOfOrderFail) {
    const Bytes frame = Pattern(90, 1);
    MJpegRecord first;
    first.total = 90;
    first.payload = Bytes(frame.begin(), frame.begin() + 30);
    MJpegRecord skip = first;
    skip.offset = 60; // 30 expected
    Bytes s = first.Encode();
    Append(s, skip.Encode());
    EXPECT_EQ(Feed(s, 13), kMalformed);
    EXPECT_EQ(parser.LastError(), "Header frame offset location error.");
    EXPECT_EQ(video.Count(), 0u);
}

TEST_F(MJpegFixture, RefusalPagesOnlyAtTheStart) {
    const std::string unauthorized =
        "<HTML><HEAD><TITLE>401 Unauthorized</TITLE></HEAD><BODY>denied</BODY></HTML>";
    const std::string busy = "<HTML><HEAD><TITLE>503 Service Unavailable</TITLE></HEAD></HTML>";
    EXPECT_EQ(parser.ParseChunk(Text(unauthorized)), kRefused);
    EXPECT_EQ(parser.LastError(), "User name or password error.");

    parser.Reset();
    EXPECT_EQ(parser.ParseChunk(Text(busy)), kBusy);
    EXPECT_EQ(parser.LastError(), kBusyText);

    // After the first chunk the page is no longer looked for: it fails the header checks.
    parser.Reset();
    const Bytes frame = MJpegFrame(Pattern(10, 1), {10}, 1);
    ASSERT_EQ(parser.ParseChunk(frame), 0);
    EXPECT_EQ(parser.ParseChunk(Text(unauthorized)), kMalformed);

    // Only the first 255 bytes of the first chunk are searched.
    parser.Reset();
    Bytes late = Text(std::string(255, ' ') + busy);
    EXPECT_EQ(parser.ParseChunk(late), kMalformed);
}

TEST_F(MJpegFixture, VideoQueueKeepsTenAgainstAStalledConsumer) {
    Bytes s;
    for (uint32_t i = 0; i < 11; ++i)
        Append(s, MJpegFrame(Pattern(20, static_cast<uint8_t>(i)), {20}, i));
    ASSERT_EQ(Feed(s, 100), 0);
    auto v = Drain(video);
    ASSERT_EQ(v.size(), 10u);
    for (uint32_t i = 0; i < 10; ++i)
        EXPECT_EQ(v[i]->timestamp, i);
}

TEST_F(MJpegFixture, AudioQueueLimitAndFailedOpen) {
    Bytes s;
    for (uint32_t i = 0; i < 7; ++i)
        Append(s, MJpegAudio(Pattern(16, static_cast<uint8_t>(i)), i));
    ASSERT_EQ(Feed(s, 64), 0);
    EXPECT_EQ(audio.Count(), 5u);
    EXPECT_EQ(host.videoStarts, 0); // audio alone starts no display

    // A failed open is not retried in this play; audio payloads are then dropped.
    parser.Reset();
    audio.Clear();
    host = {};
    host.audioOk = false;
    Append(s, MJpegFrame(Pattern(20, 1), {20}, 1));
    ASSERT_EQ(Feed(s, 64), 0);
    EXPECT_EQ(host.audioOpens, 1);
    EXPECT_EQ(audio.Count(), 0u);
    EXPECT_EQ(video.Count(), 1u);
}

TEST(MJpegMotionProfile, AcceptsAudioRecordsButPlaysNoAudio) {
    StreamProfile profile = StreamProfile::Motion();
    CFrameChain video, audio;
    RecordingHost host;
    CMJpegParser parser(profile, video, audio, host);
    parser.Reset();
    Bytes s = MJpegAudio(Pattern(16, 1), 1);
    Append(s, MJpegFrame(Pattern(30, 2), {30}, 2));
    ASSERT_EQ(parser.ParseChunk(s), 0);
    EXPECT_EQ(host.audioOpens, 0);
    EXPECT_EQ(audio.Count(), 0u);
    EXPECT_EQ(video.Count(), 1u);
    // An HTML page in place of the stream is simply malformed here.
    parser.Reset();
    EXPECT_EQ(parser.ParseChunk(Text("<HTML><HEAD><TITLE>401 Unauthorized</TITLE></HEAD><BODY>")),
              kMalformed);
}

} // namespace
} // namespace kestrova::stream
