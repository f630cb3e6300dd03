// Feeds arbitrary bytes in arbitrary chunks through the Motion-JPEG parser.
#include "fuzz_chunks.h"
#include "stream/mjpeg_parser.h"

namespace {

struct Host : kestrova::stream::MJpegParserHost {
    void StartVideo(int, int) override {}
    bool OpenAudio(int format, uint32_t) override { return format % 2 == 0; }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace kestrova::stream;
    fuzz::Chunker chunks(data, size);
    const StreamProfile profile =
        chunks.Control(0) & 1 ? StreamProfile::Motion() : StreamProfile::Viewer();
    CFrameChain video, audio;
    Host host;
    CMJpegParser parser(profile, video, audio, host);
    parser.Reset();
    for (auto chunk = chunks.Next(); !chunk.empty(); chunk = chunks.Next()) {
        if (parser.ParseChunk(chunk) != 0)
            break;
        if (video.Count() > 5) // a consumer now and then
            video.Pop();
    }
    return 0;
}
