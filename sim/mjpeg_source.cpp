// The live Motion-JPEG stream in the camera's record framing, with G.726 audio records.
#include "camera_simulator.h"
#include "g726_encoder.h"
#include "jpeg_encoder.h"
#include "mjpeg_framer.h"
#include "scene.h"
#include "stream_source.h"

#include <vector>

namespace kestrova::sim {

namespace {

MjpegDefect DefectFor(Fault fault) {
    switch (fault) {
    case Fault::BadTag:
        return MjpegDefect::BadTag;
    case Fault::BadType:
        return MjpegDefect::BadType;
    case Fault::BadVersion:
        return MjpegDefect::BadVersion;
    case Fault::BadOffset:
        return MjpegDefect::BadOffset;
    case Fault::BadBeginOffset:
        return MjpegDefect::BadBeginOffset;
    case Fault::OversizePayload:
        return MjpegDefect::Oversize;
    default:
        return MjpegDefect::None;
    }
}

class MjpegSource : public StreamSource {
public:
    MjpegSource(StreamEnv env, Fault fault, int fps, std::unique_ptr<G726Encoder> audio)
        : StreamSource(std::move(env), fault, fps),
          scene_(env_.options->width, env_.options->height, env_.options->fps),
          audio_(std::move(audio)) {}

    bool Next(std::string& out) override {
        if (ending_)
            return false;
        if (fault_ == Fault::StallAfterHeaders) {
            StallWhileFault();
            return false;
        }
        // Audio records keep their own 40 ms clock; on a tie the audio goes first.
        const int64_t n = frame_;
        const int64_t due = FrameTimeMs(n);
        std::string bytes;
        if (audio_ && audio_->FrameTimeMs(audioFrame_) <= due) {
            const int64_t at = audio_->FrameTimeMs(audioFrame_);
            if (!WaitUntil(at) || !audio_->NextFrame(audioBytes_))
                return false;
            AppendAudioRecord(bytes, audioBytes_, audio_->Bits(), static_cast<uint32_t>(at),
                              "audio");
            ++audioFrame_;
            if (fault_ == Fault::CloseMidHeader) {
                out.append(bytes, 0, 20); // inside the first record header
                ending_ = true;
                return true;
            }
            out += bytes;
            return true;
        }
        if (!WaitUntil(due))
            return false;
        // The scene runs on its own clock; a slower stream shows every k-th scene frame.
        const int64_t sceneFrame = n * scene_.Fps() / fps_;
        scene_.Render(sceneFrame, picture_);
        const auto jpeg = EncodeJpeg(picture_, env_.options->jpegQuality);
        if (jpeg.empty())
            return false;
        const std::string label = "frame " + std::to_string(n);
        AppendVideoFrame(bytes, jpeg, scene_.Width(), scene_.Height(), static_cast<uint32_t>(due),
                         static_cast<size_t>(env_.options->mjpegRecordBytes), label,
                         n == 1 ? DefectFor(fault_) : MjpegDefect::None);
        ++frame_;
        frames_ = frame_;
        if (fault_ == Fault::CloseMidHeader) {
            out.append(bytes, 0, 20); // inside the first record header
            ending_ = true;
            return true;
        }
        if (fault_ == Fault::CloseMidFrame && n == 2) {
            out.append(bytes, 0, bytes.size() / 2);
            ending_ = true;
            return true;
        }
        out += bytes;
        return true;
    }

private:
    Scene scene_;
    std::unique_ptr<G726Encoder> audio_;
    YuvPicture picture_;
    std::vector<uint8_t> audioBytes_;
    int64_t frame_ = 0;
    int64_t audioFrame_ = 0;
    bool ending_ = false;
};

} // namespace

std::unique_ptr<StreamSource> MakeMjpegSource(StreamEnv env, Fault fault, int fps,
                                              std::string* error) {
    std::unique_ptr<G726Encoder> audio;
    if (env.options->audioBits != 0) {
        audio = G726Encoder::Create(env.options->audioBits, kAudioFrameSamples, error);
        if (!audio)
            return nullptr;
    }
    return std::make_unique<MjpegSource>(std::move(env), fault, fps, std::move(audio));
}

} // namespace kestrova::sim
