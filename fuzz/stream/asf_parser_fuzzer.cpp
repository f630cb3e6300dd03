// Feeds arbitrary bytes in arbitrary chunks through the ASF parser (headers and packets),
// gathered into exact blocks by the same feeder that reads streams from memory.
#include "fuzz_chunks.h"
#include "stream/asf_feeder.h"
#include "stream/asf_parser.h"

namespace {

struct Host : kestrova::stream::AsfParserHost {
    bool StartVideo(int, int, std::span<const uint8_t>) override { return true; }
    bool OpenAudio(int format, uint32_t) override { return format != 3; }
    int PacingValue() const override { return pacing; }
    void MotionLevels(const std::array<uint8_t, 4>& l) override { sum += l[0] + l[3]; }
    int pacing = 18;
    unsigned sum = 0;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace kestrova::stream;
    fuzz::Chunker chunks(data, size);
    const StreamProfile profile =
        chunks.Control(0) & 1 ? StreamProfile::Motion() : StreamProfile::Viewer();
    CFrameChain video, audio;
    Host host;
    host.pacing = chunks.Control(1) % 8;
    CAsfParser parser(profile, video, audio, host);
    parser.Reset();
    AsfChunkFeeder feeder(parser);
    for (auto chunk = chunks.Next(); !chunk.empty(); chunk = chunks.Next()) {
        if (feeder.Push(chunk) != 0)
            break;
        if (video.Count() > 20)
            video.Clear();
    }
    return 0;
}
