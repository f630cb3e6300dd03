#include "mpeg4/clip_support.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>

namespace kestrova::mpeg4::testing {

std::string ClipRecipe::name() const {
    std::ostringstream s;
    s << codec << '_' << source << '_' << width << 'x' << height << "_q" << qscale << "_g" << gop
      << (mv4 ? "_mv4" : "") << (mpeg_quant ? "_mq" : "") << (filter.empty() ? "" : "_filtered")
      << (packet_bytes > 0 ? "_ps" + std::to_string(packet_bytes) : "") << "_n" << frames;
    return s.str();
}

std::string make_temp_dir() {
    char tmpl[] = "/tmp/kmpeg4-XXXXXX";
    const char* dir = mkdtemp(tmpl);
    return dir ? std::string(dir) : std::string();
}

bool run(const std::string& command) {
    return std::system(command.c_str()) == 0;
}

Bytes read_file(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool write_file(const std::string& path, const Bytes& data) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(data.data()),
              static_cast<std::streamsize>(data.size()));
    return static_cast<bool>(out);
}

bool make_clip(const ClipRecipe& recipe, const std::string& dir, Clip& clip) {
    const std::string m4v = dir + "/" + recipe.name() + ".m4v";
    const std::string yuv = dir + "/" + recipe.name() + ".yuv";
    std::ostringstream enc;
    enc << "ffmpeg -nostdin -hide_banner -loglevel error -y -f lavfi -i '" << recipe.source
        << "=size=" << recipe.width << 'x' << recipe.height << ":rate=25'";
    if (!recipe.filter.empty())
        enc << " -vf '" << recipe.filter << "'";
    enc << " -frames:v " << recipe.frames << " -pix_fmt yuv420p -c:v " << recipe.codec
        << " -qscale:v " << recipe.qscale << " -g " << recipe.gop << " -bf 0";
    if (recipe.mv4)
        enc << " -flags +mv4";
    if (recipe.mpeg_quant)
        enc << " -mpeg_quant 1";
    if (recipe.packet_bytes > 0)
        enc << " -ps " << recipe.packet_bytes;
    enc << " -f m4v '" << m4v << "'";
    if (!run(enc.str()))
        return false;
    std::ostringstream dec;
    dec << "ffmpeg -nostdin -hide_banner -loglevel error -y -i '" << m4v
        << "' -f rawvideo -pix_fmt yuv420p -fps_mode passthrough '" << yuv << "'";
    if (!run(dec.str()))
        return false;

    clip.width = recipe.width;
    clip.height = recipe.height;
    clip.frames = split_pictures(read_file(m4v));
    const Bytes ref = read_file(yuv);
    const size_t picture = size_t(recipe.width) * recipe.height * 3 / 2;
    clip.reference.clear();
    for (size_t off = 0; off + picture <= ref.size(); off += picture)
        clip.reference.emplace_back(ref.begin() + static_cast<std::ptrdiff_t>(off),
                                    ref.begin() + static_cast<std::ptrdiff_t>(off + picture));
    return !clip.frames.empty() && clip.frames.size() == clip.reference.size();
}

namespace {

std::vector<size_t> start_codes(const Bytes& s) {
    std::vector<size_t> at;
    for (size_t i = 0; i + 3 < s.size(); ++i)
        if (s[i] == 0 && s[i + 1] == 0 && s[i + 2] == 1)
            at.push_back(i);
    return at;
}

} // namespace

std::vector<Bytes> split_pictures(const Bytes& stream) {
    std::vector<Bytes> out;
    size_t begin = 0;
    bool after_vop = false;
    for (size_t at : start_codes(stream)) {
        if (after_vop) {
            out.emplace_back(stream.begin() + static_cast<std::ptrdiff_t>(begin),
                             stream.begin() + static_cast<std::ptrdiff_t>(at));
            begin = at;
            after_vop = false;
        }
        if (stream[at + 3] == 0xB6)
            after_vop = true;
    }
    if (after_vop)
        out.emplace_back(stream.begin() + static_cast<std::ptrdiff_t>(begin), stream.end());
    return out;
}

namespace {

// Minimal MSB-first reader and writer for the rewriter; independent of the
// decoder's own reader.
struct Reader {
    const Bytes& d;
    size_t bit;
    bool bad = false;
    uint32_t get(int n) {
        uint32_t v = 0;
        for (int i = 0; i < n; ++i) {
            const size_t byte = bit >> 3;
            if (byte >= d.size()) {
                bad = true;
                return 0;
            }
            v = (v << 1) | ((d[byte] >> (7 - (bit & 7))) & 1u);
            ++bit;
        }
        return v;
    }
};

int increment_bits(uint32_t resolution) {
    int bits = 1;
    while (bits < 16 && ((resolution - 1) >> bits) != 0)
        ++bits;
    return bits;
}

} // namespace

Bytes rewrite_to_camera_layer(const Bytes& frame, int new_width, int new_height) {
    const auto codes = start_codes(frame);
    for (size_t k = 0; k < codes.size(); ++k) {
        const size_t at = codes[k];
        if (frame[at + 3] < 0x20 || frame[at + 3] > 0x2F)
            continue;
        const size_t end = k + 1 < codes.size() ? codes[k + 1] : frame.size();
        Reader r{frame, (at + 4) * 8};
        r.get(1 + 8);
        int verid = 1;
        if (r.get(1)) {
            verid = static_cast<int>(r.get(4));
            r.get(3);
        }
        if (r.get(4) == 15)
            r.get(16);
        if (r.get(1)) {
            r.get(3);
            if (r.get(1))
                r.get(79);
        }
        r.get(2 + 1);
        const uint32_t resolution = r.get(16);
        r.get(1);
        if (r.get(1))
            r.get(increment_bits(resolution));
        r.get(1);
        const uint32_t width = r.get(13);
        r.get(1);
        const uint32_t height = r.get(13);
        r.get(1 + 1 + 1);
        r.get(verid == 1 ? 1 : 2);
        if (r.get(1))
            r.get(8);
        const uint32_t quant_type = r.get(1);
        if (r.bad)
            return {};

        BitWriter w;
        w.put(0x000001, 24);
        w.put(0x20, 8);
        w.put(0, 1); // random_accessible_vol
        w.put(1, 8); // simple object type
        w.put(0, 1); // no layer identifier
        w.put(1, 4); // square pixels
        w.put(0, 1); // no control parameters
        w.put(0, 2); // rectangular
        w.put(1, 1);
        w.put(resolution, 16);
        w.put(1, 1);
        w.put(0, 1); // no fixed rate
        w.put(1, 1);
        w.put(new_width >= 0 ? static_cast<uint32_t>(new_width) : width, 13);
        w.put(1, 1);
        w.put(new_height >= 0 ? static_cast<uint32_t>(new_height) : height, 13);
        w.put(1, 1);      // marker
        w.put(0b0100, 4); // interlaced 0, obmc_disable 1, sprite 0, not_8_bit 0
        w.put(quant_type, 1);
        // The camera's tail: fields the full syntax reads differently (no
        // stuffing pattern, complexity estimation flag clear).
        w.put(0b0001010000, 10);
        Bytes out(frame.begin(), frame.begin() + static_cast<std::ptrdiff_t>(at));
        out.insert(out.end(), w.out.begin(), w.out.end());
        out.insert(out.end(), frame.begin() + static_cast<std::ptrdiff_t>(end), frame.end());
        return out;
    }
    return frame;
}

long find_start_code(const Bytes& data, uint8_t value) {
    for (size_t at : start_codes(data))
        if (data[at + 3] == value)
            return static_cast<long>(at);
    return -1;
}

void BitWriter::put(uint32_t v, int n) {
    for (int i = n - 1; i >= 0; --i) {
        if (used == 8) {
            out.push_back(0);
            used = 0;
        }
        out.back() |= static_cast<uint8_t>(((v >> i) & 1u) << (7 - used));
        ++used;
    }
}

void BitWriter::stuff() {
    const int n = used == 8 ? 8 : 8 - used;
    put((1u << (n - 1)) - 1, n);
}

double luma_psnr(const uint8_t* a, const uint8_t* b, size_t count) {
    double se = 0;
    for (size_t i = 0; i < count; ++i) {
        const double d = double(a[i]) - double(b[i]);
        se += d * d;
    }
    if (se == 0)
        return 99.0;
    return 10.0 * std::log10(255.0 * 255.0 * double(count) / se);
}

} // namespace kestrova::mpeg4::testing
