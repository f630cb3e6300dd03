// The live ASF stream: MPEG-4 video, G.726 audio, motion levels in the padding.
#include "asf_muxer.h"
#include "camera_simulator.h"
#include "g726_encoder.h"
#include "motion_store.h"
#include "mpeg4_encoder.h"
#include "scene.h"
#include "stream_source.h"

#include <vector>

namespace kestrova::sim {

namespace {

class AsfSource : public StreamSource {
public:
    static constexpr int64_t kBatchMs = 5;

    AsfSource(StreamEnv env, Fault fault, int fps, std::unique_ptr<Mpeg4Encoder> video,
              std::unique_ptr<G726Encoder> audio)
        : StreamSource(std::move(env), fault, fps),
          scene_(env_.options->width, env_.options->height, env_.options->fps),
          video_(std::move(video)), audio_(std::move(audio)),
          packets_(static_cast<uint32_t>(env_.options->asfPacketSize)) {}

    bool Next(std::string& out) override {
        if (ending_)
            return false;
        if (!headerSent_) {
            headerSent_ = true;
            AsfLayout layout;
            layout.width = scene_.Width();
            layout.height = scene_.Height();
            layout.fps = fps_;
            layout.videoConfig = video_->StreamHeaders();
            layout.audioBits = audio_ ? audio_->Bits() : 0;
            layout.packetSize = packets_.PacketSize();
            std::string header = BuildAsfHeader(layout);
            if (fault_ == Fault::CloseMidHeader) {
                out.append(header, 0, header.size() / 2);
                ending_ = true;
                return true;
            }
            out += header;
            return true;
        }
        if (fault_ == Fault::StallAfterHeaders) {
            StallWhileFault();
            return false;
        }
        // Audio frames keep their own 40 ms clock so they never bunch up between pictures
        // (the client's audio queue holds three); on a tie the audio goes first.
        const int64_t n = frame_;
        const int64_t due = FrameTimeMs(n);
        std::string bytes;
        if (audio_ && audio_->FrameTimeMs(audioFrame_) <= due) {
            const int64_t at = audio_->FrameTimeMs(audioFrame_);
            if (!WaitUntil(at) || !audio_->NextFrame(audioBytes_))
                return false;
            packets_.AddAudio(audioBytes_, static_cast<uint32_t>(at), bytes);
            ++audioFrame_;
            // Shares a packet with a picture due at once; otherwise it leaves now.
            if (due - at > kBatchMs)
                packets_.Flush(bytes);
            out += bytes;
            return true;
        }
        if (!WaitUntil(due))
            return false;
        scene_.Render(n, picture_);
        EncodedFrame frame;
        if (!video_->Encode(picture_, n, frame))
            return false;
        const auto levels = MotionLevels(env_.motion->Snapshot(), scene_.ObjectInCameraCoords(n));
        AsfDefect defect = AsfDefect::None;
        if (n == 1 && fault_ == Fault::BadStreamNumber)
            defect = AsfDefect::BadStreamNumber;
        if (n == 1 && fault_ == Fault::OversizePayload)
            defect = AsfDefect::Oversize;
        packets_.AddVideo(frame.data, frame.key, static_cast<uint32_t>(due), levels, bytes, defect);
        ++frame_;
        frames_ = frame_;
        if (n == 2 && fault_ == Fault::CloseMidFrame) {
            out.append(bytes, 0, bytes.size() / 2);
            ending_ = true;
            return true;
        }
        out += bytes;
        return true;
    }

private:
    Scene scene_;
    std::unique_ptr<Mpeg4Encoder> video_;
    std::unique_ptr<G726Encoder> audio_;
    AsfPacketizer packets_;
    YuvPicture picture_;
    std::vector<uint8_t> audioBytes_;
    int64_t frame_ = 0;
    int64_t audioFrame_ = 0;
    bool headerSent_ = false;
    bool ending_ = false;
};

} // namespace

std::unique_ptr<StreamSource> MakeAsfSource(StreamEnv env, Fault fault, std::string* error) {
    const SimOptions& o = *env.options;
    Mpeg4Settings s;
    s.width = o.width;
    s.height = o.height;
    s.fps = o.fps;
    s.gop = o.gop;
    s.quantiser = o.quantiser;
    s.fourMv = o.fourMv;
    s.cameraForm = o.cameraForm;
    auto video = Mpeg4Encoder::Create(s, error);
    if (!video)
        return nullptr;
    std::unique_ptr<G726Encoder> audio;
    if (o.audioBits != 0) {
        audio = G726Encoder::Create(o.audioBits, kAudioFrameSamples, error);
        if (!audio)
            return nullptr;
    }
    const int fps = o.fps;
    return std::make_unique<AsfSource>(std::move(env), fault, fps, std::move(video),
                                       std::move(audio));
}

} // namespace kestrova::sim
