// Live MPEG-4 Simple Profile encoding with libavcodec's "mpeg4" encoder.
#pragma once

#include "scene.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace kestrova::sim {

struct Mpeg4Settings {
    int width = 320, height = 240, fps = 15;
    int gop = 30;
    int quantiser = 6;
    bool fourMv = false;
    bool cameraForm = true;
};

struct EncodedFrame {
    std::vector<uint8_t> data;
    bool key = false;
};

class Mpeg4Encoder {
public:
    static std::unique_ptr<Mpeg4Encoder> Create(const Mpeg4Settings& settings, std::string* error);
    ~Mpeg4Encoder();

    // The stream headers (visual object sequence, visual object, layer) that
    // the ASF video format carries after its BITMAPINFOHEADER.
    const std::vector<uint8_t>& StreamHeaders() const { return headers_; }
    bool Encode(const YuvPicture& picture, int64_t frameNumber, EncodedFrame& out);

private:
    struct Impl;
    explicit Mpeg4Encoder(std::unique_ptr<Impl> impl);
    std::unique_ptr<Impl> impl_;
    std::vector<uint8_t> headers_;
};

} // namespace kestrova::sim
