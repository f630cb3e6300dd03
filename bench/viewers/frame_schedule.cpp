#include "viewers/frame_schedule.h"

#include "stream/asf_feeder.h"
#include "stream/asf_parser.h"
#include "stream/mjpeg_parser.h"

#include <algorithm>

namespace kestrova::bench {

namespace {

using namespace kestrova::stream;

struct NullAsfHost : AsfParserHost {
    bool StartVideo(int, int, std::span<const uint8_t>) override { return true; }
    bool OpenAudio(int, uint32_t) override { return true; }
    int PacingValue() const override { return 1 << 20; } // never limit the queue
};
struct NullMjpegHost : MJpegParserHost {
    void StartVideo(int, int) override {}
    bool OpenAudio(int, uint32_t) override { return true; }
};

} // namespace

FrameSchedule::FrameSchedule(const Recording& recording, StreamKind kind) {
    StreamProfile profile = StreamProfile::Viewer();
    profile.mjpegVideoLimit = std::size_t{1} << 30;
    CFrameChain video, audio;
    NullAsfHost asfHost;
    NullMjpegHost mjpegHost;
    CAsfParser asf(profile, video, audio, asfHost);
    CMJpegParser mjpeg(profile, video, audio, mjpegHost);
    AsfChunkFeeder feeder(asf);
    asf.Reset();
    mjpeg.Reset();
    for (std::size_t i = 0; i < recording.chunks.size(); ++i) {
        const auto& c = recording.chunks[i];
        const std::size_t begin = std::max<std::size_t>(c.offset, recording.bodyStart);
        const std::size_t end = std::size_t{c.offset} + c.length;
        if (end <= begin)
            continue;
        const auto body = recording.bytes.subspan(begin, end - begin);
        if (kind == StreamKind::Asf) {
            if (feeder.Push(body) != 0)
                break;
        } else {
            mjpeg.ParseChunk(body);
        }
        while (auto frame = video.Pop())
            chunkOf_.emplace(frame->timestamp, static_cast<uint32_t>(i));
        audio.Clear();
    }
}

int64_t FrameSchedule::SentAt(uint32_t timestamp, const std::vector<int64_t>& sendTimes) const {
    const auto it = chunkOf_.find(timestamp);
    if (it == chunkOf_.end() || it->second >= sendTimes.size())
        return -1;
    return sendTimes[it->second];
}

std::vector<uint32_t> FrameSchedule::SentBetween(int64_t fromNs, int64_t toNs,
                                                 const std::vector<int64_t>& sendTimes) const {
    std::vector<uint32_t> out;
    for (const auto& [timestamp, chunk] : chunkOf_) {
        if (chunk < sendTimes.size() && sendTimes[chunk] >= fromNs && sendTimes[chunk] <= toNs)
            out.push_back(timestamp);
    }
    return out;
}

} // namespace kestrova::bench
