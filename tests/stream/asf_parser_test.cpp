#include "stream/asf_feeder.h"
#include "stream/asf_parser.h"
#include "stream/player_exception.h"
#include "stream/stream_builders.h"

#include <algorithm>
#include <gtest/gtest.h>

namespace kestrova::stream {
namespace {

using namespace testing;

struct RecordingHost : AsfParserHost {
    bool StartVideo(int w, int h, std::span<const uint8_t> c) override {
        ++videoStarts;
        width = w;
        height = h;
        config.assign(c.begin(), c.end());
        return true;
    }
    bool OpenAudio(int format, uint32_t frameSize) override {
        ++audioOpens;
        audioFormat = format;
        audioFrameSize = frameSize;
        return audioOk;
    }
    int PacingValue() const override { return pacing; }
    void MotionLevels(const std::array<uint8_t, 4>& l) override { levels.push_back(l); }

    int videoStarts = 0, width = 0, height = 0, audioOpens = 0, audioFormat = 0;
    uint32_t audioFrameSize = 0;
    Bytes config;
    bool audioOk = true;
    int pacing = 18;
    std::vector<std::array<uint8_t, 4>> levels;
};

constexpr uint32_t kPacket = 1024;

struct AsfFixture : ::testing::Test {
    StreamProfile profile = StreamProfile::Viewer();
    CFrameChain video, audio;
    RecordingHost host;
    std::unique_ptr<CAsfParser> parser;

    void SetUp() override { Remake(); }
    void Remake() {
        parser = std::make_unique<CAsfParser>(profile, video, audio, host);
        parser->Reset();
    }
    Bytes Header() {
        AsfHeaderLayout layout;
        layout.packetSize = kPacket;
        return AsfHeader(layout);
    }
    int Feed(const Bytes& stream, std::size_t step) {
        AsfChunkFeeder feeder(*parser);
        for (std::size_t at = 0; at < stream.size(); at += step) {
            if (int code =
                    feeder.Push(std::span(stream).subspan(at, std::min(step, stream.size() - at))))
                return code;
        }
        return 0;
    }
    int FeedPackets(const std::vector<Bytes>& packets) {
        Bytes s = Header();
        for (const auto& p : packets)
            Append(s, p);
        return Feed(s, s.size());
    }
    std::vector<std::unique_ptr<FrameRecord>> Drain(CFrameChain& q) {
        std::vector<std::unique_ptr<FrameRecord>> out;
        while (auto r = q.Pop())
            out.push_back(std::move(r));
        return out;
    }
};

// A 600-byte video object over three packets (replicated data only on the first
// payload), with a whole audio object in the middle packet.
std::vector<Bytes> SpreadObject(const Bytes& frame, const Bytes& sound) {
    AsfPayload p1 = Whole(0x81, Bytes(frame.begin(), frame.begin() + 200), 1000);
    p1.objectSize = 600;
    AsfPayload p2{.stream = 0x81,
                  .offset = 200,
                  .replicated = false,
                  .data = Bytes(frame.begin() + 200, frame.begin() + 400)};
    AsfPayload p3{.stream = 0x81,
                  .offset = 400,
                  .replicated = false,
                  .data = Bytes(frame.begin() + 400, frame.end())};
    return {AsfPacket(kPacket, {p1}), AsfPacket(kPacket, {Whole(0x02, sound, 990)}),
            AsfPacket(kPacket, {p2}), AsfPacket(kPacket, {p3})};
}

TEST_F(AsfFixture, HeadersAndObjectsWhateverTheChunking) {
    const Bytes frame = Pattern(600, 1);
    const Bytes sound = Pattern(600, 2); // as large as the video object: the checks pass
    Bytes s = Header();
    for (const auto& p : SpreadObject(frame, sound))
        Append(s, p);
    Append(s, AsfPacket(kPacket, {Whole(0x01, Pattern(50, 3), 1040), Whole(0x02, sound, 1030)}));
    for (std::size_t step : {std::size_t{1}, std::size_t{13}, std::size_t{kPacket}, s.size()}) {
        SCOPED_TRACE(step);
        host = {};
        Remake();
        ASSERT_EQ(Feed(s, step), 0) << parser->LastError();
        EXPECT_EQ(parser->CurrentStage(), CAsfParser::Stage::Packets);
        EXPECT_EQ(parser->PacketSize(), kPacket);
        EXPECT_EQ(host.videoStarts, 1);
        EXPECT_EQ(host.width, 320);
        EXPECT_EQ(host.height, 240);
        EXPECT_EQ(host.config, (Bytes{0x00, 0x00, 0x01, 0xB0, 0x01}));
        EXPECT_EQ(host.audioOpens, 1);
        EXPECT_EQ(host.audioFormat, 4);
        EXPECT_EQ(host.audioFrameSize, 600u); // the first audio payload's length
        auto v = Drain(video);
        ASSERT_EQ(v.size(), 2u);
        EXPECT_EQ(v[0]->data, frame);
        EXPECT_EQ(v[0]->timestamp, 1000u);
        EXPECT_EQ(v[1]->timestamp, 1040u);
        auto a = Drain(audio);
        ASSERT_EQ(a.size(), 2u);
        EXPECT_EQ(a[0]->timestamp, 990u);
        EXPECT_EQ(a[0]->data, sound);
    }
}

TEST_F(AsfFixture, AudioBetweenFragmentsSetsTheSizeTheNextFragmentMeets) {
    // The fragment at offset 400 is checked against the 100-byte audio object announced last.
    auto packets = SpreadObject(Pattern(600, 1), Pattern(100, 2));
    EXPECT_EQ(FeedPackets(packets), kMalformed);
    EXPECT_EQ(parser->LastError(), "PayloadLength > MediaObjectSize");
    EXPECT_EQ(video.Count(), 0u);
}

TEST_F(AsfFixture, RefusalsInTheFirstThirtyBytes) {
    const std::string busy = "<HTML><HEAD><TITLE>503 Service";
    ASSERT_EQ(busy.size(), 30u);
    EXPECT_EQ(Feed(Text(busy + " Unavailable</TITLE>"), 1), kBusy);
    EXPECT_EQ(parser->LastError(), kBusyText);

    Remake();
    EXPECT_EQ(Feed(Text("<HTML><HEAD><TITLE>401 Unauthorized</TITLE></HEAD>"), 64), kRefused);
    EXPECT_EQ(parser->LastError(), "User name or password error");
}

TEST_F(AsfFixture, UnknownStreamNumber) {
    EXPECT_EQ(FeedPackets({AsfPacket(kPacket, {Whole(0x82, Pattern(10, 1), 0)})}),
              kBadStreamNumber);
    EXPECT_EQ(parser->LastError(), "Bad StreamNo: 130");
}

TEST_F(AsfFixture, MalformedStreamsAreRefusedWithoutOverrun) {
    struct Case {
        const char* name;
        std::function<Bytes()> stream;
        int code;
        std::string text;
    };
    auto headerWith = [](auto change) {
        AsfHeaderLayout layout;
        layout.packetSize = kPacket;
        change(layout);
        return AsfHeader(layout);
    };
    auto withPacket = [this](Bytes packet) {
        Bytes s = Header();
        Append(s, packet);
        return s;
    };
    AsfPayload noObject{.stream = 0x81, .replicated = false, .data = Pattern(10, 0)};
    AsfPayload audioNoObject{.stream = 0x02, .replicated = false, .data = Pattern(10, 0)};
    AsfPayload shortReplicated = Whole(0x81, Pattern(10, 0), 0);
    shortReplicated.replicatedLength = 4; // no room for a size: no object begins
    AsfPayload replicatedPastPacket = Whole(0x81, {}, 0);
    replicatedPastPacket.replicatedLength = 254;
    AsfPayload hugeObject = Whole(0x81, Pattern(10, 0), 0);
    hugeObject.objectSize = CAsfParser::kMaxMediaObjectSize + 1;
    AsfPayload first = Whole(0x81, Pattern(100, 0), 0);
    first.objectSize = 150;
    AsfPayload overlap{.stream = 0x81, .offset = 0, .replicated = false, .data = Pattern(100, 0)};
    Bytes runsPast = AsfPacket(kPacket, {Whole(0x81, Pattern(20, 0), 0)});
    runsPast[14 + 7 + 8] = 0xFF; // payload length 0xFFFF: past the packet end
    runsPast[14 + 7 + 8 + 1] = 0xFF;

    const std::vector<Case> cases = {
        {"header too large", [&] { return headerWith([](auto& s) { s.sizeOverride = 1055; }); },
         kMalformed, "Bad header object size: 1055"},
        {"packet size 0", [&] { return headerWith([](auto& s) { s.packetSize = 0; }); }, kMalformed,
         "Bad packet size: 0"},
        {"packet size 5000", [&] { return headerWith([](auto& s) { s.packetSize = 5000; }); },
         kMalformed, "Bad packet size: 5000"},
        {"payload past packet", [&] { return withPacket(runsPast); }, kMalformed,
         "Payload runs past packet"},
        {"replicated 4, no object",
         [&] { return withPacket(AsfPacket(kPacket, {shortReplicated})); }, kMalformed,
         "PayloadLength > MediaObjectSize"},
        {"replicated past packet",
         [&] {
             // After a 900-byte payload the 254 bytes of replicated data run off the end.
             return withPacket(
                 AsfPacket(kPacket, {Whole(0x81, Pattern(900, 0), 0), replicatedPastPacket}));
         },
         kMalformed, "Payload runs past packet"},
        {"object huge", [&] { return withPacket(AsfPacket(kPacket, {hugeObject})); }, kMalformed,
         "Bad media object size: 4194305"},
        {"no video object", [&] { return withPacket(AsfPacket(kPacket, {noObject})); }, kMalformed,
         "PayloadLength > MediaObjectSize"},
        {"overflow",
         [&] {
             return withPacket(AsfPacket(kPacket, {first, overlap}));
         },
         kMalformed, "nVideoFrameSize > nVideoTotalFrameSize"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Remake();
        EXPECT_EQ(Feed(c.stream(), 7), c.code);
        EXPECT_EQ(parser->LastError(), c.text);
    }
    // With an announced size in place, the missing-object checks speak for themselves.
    Remake();
    AsfPayload done = Whole(0x81, Pattern(10, 0), 0);
    AsfPayload again{.stream = 0x81, .replicated = false, .data = Pattern(10, 0)};
    EXPECT_EQ(FeedPackets({AsfPacket(kPacket, {done, again})}), kMalformed);
    EXPECT_EQ(parser->LastError(), "No new video buffer");
    Remake();
    AsfPayload sound = Whole(0x02, Pattern(10, 0), 0);
    EXPECT_EQ(FeedPackets({AsfPacket(kPacket, {sound, audioNoObject})}), kMalformed);
    EXPECT_EQ(parser->LastError(), "No new audio buffer");
}

TEST_F(AsfFixture, EmptyObjectsAndLongReplicatedDataAreTaken) {
    const Bytes frame = Pattern(300, 4);
    AsfPayload empty = Whole(0x81, {}, 5);
    AsfPayload emptySound = Whole(0x02, {}, 6);
    AsfPayload longReplicated = Whole(0x81, Bytes(frame.begin(), frame.begin() + 100), 7);
    longReplicated.objectSize = 300;
    longReplicated.replicatedLength = 16; // size and time, then bytes the parser leaves alone
    AsfPayload rest{.stream = 0x01,
                    .offset = 100,
                    .replicated = false,
                    .data = Bytes(frame.begin() + 100, frame.end()),
                    .replicatedLength = 3}; // too short to announce anything: a fragment
    ASSERT_EQ(FeedPackets({AsfPacket(kPacket, {empty, emptySound}),
                           AsfPacket(kPacket, {longReplicated}), AsfPacket(kPacket, {rest})}),
              0)
        << parser->LastError();
    auto v = Drain(video);
    ASSERT_EQ(v.size(), 1u);
    EXPECT_EQ(v[0]->data, frame);
    EXPECT_EQ(v[0]->timestamp, 7u);
    EXPECT_EQ(audio.Count(), 0u);
}

TEST_F(AsfFixture, FailedAudioOpenSkipsAudioKeepsVideo) {
    host.audioOk = false;
    std::vector<Bytes> packets;
    for (uint32_t i = 0; i < 4; ++i)
        packets.push_back(
            AsfPacket(kPacket, {Whole(0x02, Pattern(40, 1), i), Whole(0x81, Pattern(30, 2), i)}));
    ASSERT_EQ(FeedPackets(packets), 0) << parser->LastError();
    EXPECT_EQ(host.audioOpens, 1);
    EXPECT_EQ(audio.Count(), 0u);
    EXPECT_EQ(video.Count(), 4u);
}

TEST_F(AsfFixture, AudioQueueNeverAboveThreeDropsOldest) {
    std::vector<Bytes> packets;
    for (uint32_t i = 0; i < 6; ++i)
        packets.push_back(AsfPacket(kPacket, {Whole(0x02, Pattern(40, 1), i)}));
    ASSERT_EQ(FeedPackets(packets), 0);
    auto a = Drain(audio);
    ASSERT_EQ(a.size(), 3u);
    EXPECT_EQ(a[0]->timestamp, 3u);
    EXPECT_EQ(a[2]->timestamp, 5u);
}

// Frames with stream bytes: queued per the key-frame gate at pacing 2 (limit 4).
std::vector<uint32_t> QueuedTimes(AsfFixture& f, const std::vector<uint8_t>& streams) {
    f.host.pacing = 2;
    std::vector<Bytes> packets;
    for (std::size_t i = 0; i < streams.size(); ++i)
        packets.push_back(
            AsfPacket(kPacket, {Whole(streams[i], Pattern(8, 0), static_cast<uint32_t>(i))}));
    EXPECT_EQ(f.FeedPackets(packets), 0);
    std::vector<uint32_t> times;
    for (auto& r : f.Drain(f.video))
        times.push_back(r->timestamp);
    return times;
}

TEST_F(AsfFixture, VideoAboveTheLimitWaitsForAKeyFrame) {
    // Five fit (the limit is "more than 4"), 5 and 6 are dropped, key frame 7 is queued
    // although the queue is still full, which starts the dropping again at 8.
    auto times = QueuedTimes(*this, {0x81, 0x01, 0x01, 0x01, 0x01, 0x01, 0x01, 0x81, 0x01});
    EXPECT_EQ(times, (std::vector<uint32_t>{0, 1, 2, 3, 4, 7}));
}

TEST_F(AsfFixture, MotionProfileKeyFrameNeedsRoomAndAudioIsIgnored) {
    profile = StreamProfile::Motion();
    Remake();
    // The queue never drains: the key frame at 7 finds it above the limit and is dropped too.
    auto times = QueuedTimes(*this, {0x81, 0x01, 0x01, 0x01, 0x01, 0x01, 0x01, 0x81, 0x02});
    EXPECT_EQ(times, (std::vector<uint32_t>{0, 1, 2, 3, 4}));
    EXPECT_EQ(host.audioOpens, 0);
    EXPECT_EQ(audio.Count(), 0u);
}

TEST_F(AsfFixture, MotionLevelsFollowTheCompletingPayload) {
    profile = StreamProfile::Motion();
    Remake();
    AsfPayload head = Whole(0x81, Pattern(50, 0), 0);
    head.objectSize = 80;
    AsfPayload tail{.stream = 0x01, .offset = 50, .replicated = false, .data = Pattern(30, 0)};
    std::vector<Bytes> packets = {
        AsfPacket(kPacket, {head}, {9, 9, 9, 9}),     // incomplete frame: no levels
        AsfPacket(kPacket, {tail}, {10, 20, 30, 40}), // completes it
        AsfPacket(kPacket, {Whole(0x81, Pattern(8, 0), 1)}, {1, 2, 3, 4}),
    };
    // A packet whose padding is only 3 bytes carries no levels.
    const Bytes filled = Pattern(kPacket - 14 - 17 - 3, 5);
    packets.push_back(AsfPacket(kPacket, {Whole(0x81, filled, 2)}, {7, 7, 7}));
    ASSERT_EQ(FeedPackets(packets), 0) << parser->LastError();
    ASSERT_EQ(host.levels.size(), 2u);
    EXPECT_EQ(host.levels[0], (std::array<uint8_t, 4>{10, 20, 30, 40}));
    EXPECT_EQ(host.levels[1], (std::array<uint8_t, 4>{1, 2, 3, 4}));
    EXPECT_EQ(video.Count(), 3u);
}

} // namespace
} // namespace kestrova::stream
