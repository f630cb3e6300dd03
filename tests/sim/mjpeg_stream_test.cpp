// The Motion-JPEG record framing read back byte by byte with the tests' own
// reader, including the deliberately malformed records of the fault modes.
#include "sim_test_util.h"

#include <chrono>
#include <gtest/gtest.h>

namespace kestrova::sim::test {
namespace {

struct Record {
    std::string tag;
    uint32_t total = 0, offset = 0, timestamp = 0;
    uint16_t width = 0, height = 0, length = 0, audioFormat = 0;
    uint8_t type = 0, version = 0;
    std::string label;
    std::string payload;
};

// Splits a stream into records by their payload lengths; a cut-off tail is left out.
std::vector<Record> SplitRecords(std::string_view s, size_t* leftover = nullptr) {
    std::vector<Record> out;
    size_t at = 0;
    while (at + 48 <= s.size()) {
        Record r;
        r.tag = std::string(s.substr(at, 4));
        r.total = Le32(s, at + 4);
        r.width = Le16(s, at + 8);
        r.height = Le16(s, at + 10);
        r.offset = Le32(s, at + 12);
        r.length = Le16(s, at + 16);
        r.timestamp = Le32(s, at + 18);
        r.type = static_cast<uint8_t>(s[at + 22]);
        r.audioFormat = Le16(s, at + 23);
        r.version = static_cast<uint8_t>(s[at + 25]);
        r.label = std::string(s.substr(at + 26, 20).data());
        if (at + 48 + r.length > s.size())
            break;
        r.payload = std::string(s.substr(at + 48, r.length));
        out.push_back(std::move(r));
        at += 48 + out.back().length;
    }
    if (leftover)
        *leftover = s.size() - at;
    return out;
}

struct Frame {
    std::string jpeg;
    uint32_t timestamp = 0;
    int records = 0;
};

// Reassembles the video frames, reporting the first framing rule broken.
std::vector<Frame> Assemble(const std::vector<Record>& records, std::string* error) {
    std::vector<Frame> frames;
    Frame current;
    uint32_t total = 0;
    bool inFrame = false;
    for (size_t i = 0; i < records.size(); ++i) {
        const Record& r = records[i];
        const std::string where = "record " + std::to_string(i) + ": ";
        if (r.tag != "MJPG")
            return *error = where + "tag", frames;
        if (r.version != 1)
            return *error = where + "version", frames;
        if (r.type == 2)
            continue;
        if (r.type != 1)
            return *error = where + "type", frames;
        if (!inFrame) {
            if (r.offset != 0)
                return *error = where + "begin offset", frames;
            current = Frame{};
            current.timestamp = r.timestamp;
            total = r.total;
            inFrame = true;
        }
        if (r.offset != current.jpeg.size())
            return *error = where + "offset", frames;
        if (r.offset + r.length > total)
            return *error = where + "past the frame", frames;
        if (r.timestamp != current.timestamp)
            return *error = where + "timestamp changed inside a frame", frames;
        current.jpeg += r.payload;
        ++current.records;
        if (current.jpeg.size() == total) {
            frames.push_back(std::move(current));
            inFrame = false;
        }
    }
    return frames;
}

class MjpegStreamTest : public ::testing::Test {
protected:
    HttpResult Stream(SimOptions o, long ms, const std::string& query = "") {
        sim_ = std::make_unique<CameraSimulator>(o);
        std::string error;
        EXPECT_TRUE(sim_->Start(&error)) << error;
        return Fetch({.url = sim_->BaseUrl() + "img/mjpeg.cgi" + query, .timeoutMs = ms});
    }
    std::unique_ptr<CameraSimulator> sim_;
};

TEST_F(MjpegStreamTest, RecordsFrameWholeJpegsAndInterleaveAudio) {
    SimOptions o;
    o.fps = 25;
    o.audioBits = 5;
    o.mjpegRecordBytes = 3000;
    const HttpResult r = Stream(o, 800);
    ASSERT_EQ(r.status, 200);
    const auto records = SplitRecords(r.body);
    std::string error;
    const auto frames = Assemble(records, &error);
    EXPECT_EQ(error, "");
    ASSERT_GE(frames.size(), 12u);
    for (size_t i = 0; i < frames.size(); ++i) {
        EXPECT_GE(frames[i].records, 2);
        EXPECT_EQ(frames[i].timestamp, i * 1000 / 25);
        EXPECT_EQ(DecodeJpegSize(frames[i].jpeg), std::make_pair(320, 240)) << "frame " << i;
    }
    int audio = 0;
    for (const Record& rec : records) {
        if (rec.type == 1) {
            EXPECT_EQ(rec.width, 320);
            EXPECT_EQ(rec.height, 240);
            EXPECT_LE(rec.length, 3000);
            continue;
        }
        EXPECT_EQ(rec.audioFormat, 5);
        EXPECT_EQ(rec.length, 200); // 40 ms at 5 bits per sample
        EXPECT_EQ(rec.total, rec.length);
        EXPECT_EQ(rec.timestamp, static_cast<uint32_t>(audio * 40));
        ++audio;
    }
    EXPECT_GE(audio, 15);
    // The first bytes are a record, not an HTTP page.
    EXPECT_EQ(r.body.substr(0, 4), "MJPG");
}

TEST_F(MjpegStreamTest, SpeedSlowsThePicturesButNotTheSound) {
    SimOptions o;
    o.fps = 25;
    o.audioBits = 4;
    const HttpResult r = Stream(o, 700, "?Speed=5");
    std::string error;
    const auto records = SplitRecords(r.body);
    const auto frames = Assemble(records, &error);
    ASSERT_GE(frames.size(), 3u);
    EXPECT_LE(frames.size(), 5u);
    EXPECT_EQ(frames[1].timestamp - frames[0].timestamp, 200u);
    // Audio keeps coming every 40 ms between the pictures, never in bunches.
    int audio = 0;
    int64_t lastPicture = -1;
    for (const Record& rec : records) {
        if (rec.type == 1) {
            lastPicture = rec.timestamp;
            continue;
        }
        EXPECT_EQ(rec.timestamp, static_cast<uint32_t>(audio * 40));
        EXPECT_GE(static_cast<int64_t>(rec.timestamp), lastPicture);
        ++audio;
    }
    EXPECT_GE(audio, 14);
}

TEST_F(MjpegStreamTest, MalformedRecordModesBreakTheSecondFrame) {
    const std::pair<const char*, const char*> cases[] = {
        {"bad-tag", "tag"},
        {"bad-type", "type"},
        {"bad-version", "version"},
        {"bad-offset", "offset"},
        {"bad-begin-offset", "begin offset"},
        {"oversize-payload", "past the frame"},
    };
    SimOptions o;
    o.fps = 25;
    o.audioBits = 0;
    sim_ = std::make_unique<CameraSimulator>(o);
    ASSERT_TRUE(sim_->Start());
    for (const auto& [fault, rule] : cases) {
        SCOPED_TRACE(fault);
        ASSERT_TRUE(sim_->SetFault(fault));
        const HttpResult r = Fetch({.url = sim_->BaseUrl() + "img/mjpeg.cgi", .timeoutMs = 300});
        std::string error;
        const auto records = SplitRecords(r.body);
        const auto frames = Assemble(records, &error);
        if (std::string(fault) == "oversize-payload") {
            // Its first record already overruns the announced total.
            ASSERT_GE(records.size(), 3u);
        }
        ASSERT_EQ(frames.size(), 1u) << error;
        EXPECT_NE(error.find(rule), std::string::npos) << error;
        EXPECT_EQ(error.substr(0, 7), "record ");
    }
}

TEST_F(MjpegStreamTest, ClosingModesCutTheStreamWhereNamed) {
    SimOptions o;
    o.fps = 25;
    o.audioBits = 0;
    o.fault = "close-mid-header";
    HttpResult r = Stream(o, 3000);
    EXPECT_EQ(r.body.size(), 20u);
    EXPECT_EQ(r.body.substr(0, 4), "MJPG");

    ASSERT_TRUE(sim_->SetFault("close-mid-frame"));
    const auto begin = std::chrono::steady_clock::now();
    r = Fetch({.url = sim_->BaseUrl() + "img/mjpeg.cgi", .timeoutMs = 3000});
    EXPECT_LT(std::chrono::steady_clock::now() - begin, std::chrono::milliseconds(2000));
    size_t leftover = 0;
    std::string error;
    const auto frames = Assemble(SplitRecords(r.body, &leftover), &error);
    EXPECT_EQ(error, "");
    EXPECT_EQ(frames.size(), 2u);
    EXPECT_GT(leftover, 0u); // a cut record
}

TEST_F(MjpegStreamTest, RefusalAndStallModes) {
    SimOptions o;
    o.fps = 25;
    o.fault = "auth-401";
    HttpResult r = Stream(o, 1000);
    EXPECT_EQ(r.status, 401);
    EXPECT_EQ(r.body.rfind("<HTML><HEAD><TITLE>401 Unauthorized", 0), 0u);

    ASSERT_TRUE(sim_->SetFault("busy-503"));
    r = Fetch({.url = sim_->BaseUrl() + "img/video.asf", .timeoutMs = 1000});
    EXPECT_EQ(r.status, 503);
    EXPECT_EQ(r.body.substr(0, 30), "<HTML><HEAD><TITLE>503 Service");

    ASSERT_TRUE(sim_->SetFault("stall-after-headers"));
    r = Fetch({.url = sim_->BaseUrl() + "img/mjpeg.cgi", .timeoutMs = 400});
    EXPECT_EQ(r.status, 200);
    EXPECT_TRUE(r.body.empty());
    EXPECT_TRUE(r.transferError);

    ASSERT_TRUE(sim_->SetFault("trickle"));
    r = Fetch({.url = sim_->BaseUrl() + "img/mjpeg.cgi", .timeoutMs = 400});
    EXPECT_GT(r.body.size(), 10u);
    EXPECT_LT(r.body.size(), 400u); // one byte every 2 ms at most
}

TEST_F(MjpegStreamTest, TransferFramingModes) {
    SimOptions o;
    o.fps = 25;
    sim_ = std::make_unique<CameraSimulator>(o);
    ASSERT_TRUE(sim_->Start());
    const std::string request = "GET /img/mjpeg.cgi HTTP/1.1\r\nHost: cam\r\n"
                                "Authorization: Basic YWRtaW46YWRtaW4=\r\n\r\n";
    auto headOf = [](const std::string& answer) {
        return answer.substr(0, answer.find("\r\n\r\n"));
    };

    std::string plain = headOf(RawExchange(sim_->Port(), request, 2000, 500));
    EXPECT_EQ(plain.rfind("HTTP/1.1 200", 0), 0u) << plain;
    EXPECT_EQ(plain.find("chunked"), std::string::npos) << plain;
    EXPECT_EQ(plain.find("Content-Length"), std::string::npos) << plain;

    ASSERT_TRUE(sim_->SetFault("http10"));
    std::string http10 = headOf(RawExchange(sim_->Port(), request, 2000, 500));
    EXPECT_EQ(http10.rfind("HTTP/1.0 200", 0), 0u) << http10;
    EXPECT_EQ(http10.find("chunked"), std::string::npos) << http10;

    ASSERT_TRUE(sim_->SetFault("chunked"));
    std::string chunked = headOf(RawExchange(sim_->Port(), request, 2000, 500));
    EXPECT_EQ(chunked.rfind("HTTP/1.1 200", 0), 0u) << chunked;
    EXPECT_NE(chunked.find("Transfer-Encoding: chunked"), std::string::npos) << chunked;
    // libcurl undoes the chunking: the records come out intact.
    const HttpResult r = Fetch({.url = sim_->BaseUrl() + "img/mjpeg.cgi", .timeoutMs = 300});
    std::string error;
    EXPECT_FALSE(Assemble(SplitRecords(r.body), &error).empty());
    EXPECT_EQ(error, "");
}

} // namespace
} // namespace kestrova::sim::test
