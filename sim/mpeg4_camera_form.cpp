#include "mpeg4_camera_form.h"

namespace kestrova::sim {

namespace {

class BitWriter {
public:
    void Put(uint32_t value, int bits) {
        for (int i = bits - 1; i >= 0; --i) {
            acc_ = static_cast<uint8_t>(acc_ << 1 | ((value >> i) & 1));
            if (++count_ == 8) {
                out_.push_back(acc_);
                acc_ = 0;
                count_ = 0;
            }
        }
    }
    int Pending() const { return count_; }
    std::vector<uint8_t> Take() { return std::move(out_); }

private:
    std::vector<uint8_t> out_;
    uint8_t acc_ = 0;
    int count_ = 0;
};

} // namespace

std::vector<uint8_t> CameraLayerHeader(int width, int height, int timeResolution) {
    BitWriter w;
    w.Put(0x00000120, 32); // video_object_layer_start_code, layer 0
    w.Put(0, 1);           // random_accessible_vol
    w.Put(1, 8);           // video_object_type_indication: Simple
    w.Put(0, 1);           // is_object_layer_identifier
    w.Put(1, 4);           // pixel ratio code 1: square pixels
    w.Put(0, 1);           // vol_control_parameters
    w.Put(0, 2);           // video_object_layer_shape: rectangular
    w.Put(1, 1);           // marker
    w.Put(static_cast<uint32_t>(timeResolution), 16);
    w.Put(1, 1);                              // marker
    w.Put(0, 1);                              // fixed_vop_rate
    w.Put(1, 1);                              // marker
    w.Put(static_cast<uint32_t>(width), 13);  // video_object_layer_width
    w.Put(1, 1);                              // marker
    w.Put(static_cast<uint32_t>(height), 13); // video_object_layer_height
    w.Put(1, 1);                              // marker
    w.Put(0, 1);                              // interlaced
    w.Put(1, 1);                              // obmc_disable
    w.Put(0, 1);                              // sprite_enable
    w.Put(0, 1);                              // not_8_bit
    w.Put(0, 1);                              // quant_type
    w.Put(1, 1);                              // complexity_estimation_disable
    w.Put(1, 1);                              // resync_marker_disable
    w.Put(0, 1);                              // data_partitioned
    w.Put(0, 1);                              // scalability
    // next_start_code(): one zero bit, then ones up to the byte boundary.
    w.Put(0, 1);
    while (w.Pending() != 0)
        w.Put(1, 1);
    return w.Take();
}

std::vector<size_t> FindStartCodes(std::span<const uint8_t> data) {
    std::vector<size_t> at;
    for (size_t i = 0; i + 3 < data.size(); ++i)
        if (data[i] == 0 && data[i + 1] == 0 && data[i + 2] == 1) {
            at.push_back(i);
            i += 2;
        }
    return at;
}

std::vector<uint8_t> RewriteStreamHeaders(std::span<const uint8_t> headers, int width, int height,
                                          int timeResolution) {
    std::vector<uint8_t> out;
    const auto starts = FindStartCodes(headers);
    for (size_t k = 0; k < starts.size(); ++k) {
        const size_t begin = starts[k];
        const size_t end = k + 1 < starts.size() ? starts[k + 1] : headers.size();
        const uint8_t code = headers[begin + 3];
        if (code >= 0x20 && code <= 0x2F) {
            const auto vol = CameraLayerHeader(width, height, timeResolution);
            out.insert(out.end(), vol.begin(), vol.end());
        } else if (code != 0xB2) {
            out.insert(out.end(), headers.begin() + begin, headers.begin() + end);
        }
    }
    return out;
}

std::vector<uint8_t> StripToVop(std::span<const uint8_t> frame) {
    for (size_t at : FindStartCodes(frame))
        if (frame[at + 3] == 0xB6)
            return {frame.begin() + at, frame.end()};
    return {frame.begin(), frame.end()};
}

} // namespace kestrova::sim
