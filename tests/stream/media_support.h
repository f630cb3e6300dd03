#pragma once

// Test media made at test time with the ffmpeg command-line tool.

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <system_error>
#include <unistd.h>
#include <vector>

namespace kestrova::stream::testing {

struct Mpeg4Clip {
    std::vector<uint8_t> config;              // stream headers before the first picture
    std::vector<std::vector<uint8_t>> frames; // one picture each
    std::vector<uint8_t> bgrReference;        // ffmpeg's bottom-up BGR of every picture
};

inline std::vector<uint8_t> ReadFile(const std::filesystem::path& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline std::filesystem::path MediaPath() {
    return std::filesystem::temp_directory_path() / ("kstream_media_" + std::to_string(::getpid()));
}

inline std::filesystem::path MediaDir() {
    std::filesystem::create_directories(MediaPath());
    return MediaPath();
}

// Removes this process's media folder when the test program ends.
inline struct MediaCleanup {
    ~MediaCleanup() {
        std::error_code ignored;
        std::filesystem::remove_all(MediaPath(), ignored);
    }
} gMediaCleanup;

inline bool Run(const std::string& command) {
    return std::system((command + " >/dev/null 2>&1").c_str()) == 0;
}

// An MPEG-4 Visual clip of a test pattern, split the way the camera's ASF stream carries it.
inline Mpeg4Clip MakeMpeg4Clip(int width, int height, int frames) {
    const auto dir = MediaDir();
    const auto name = std::to_string(width) + "x" + std::to_string(height);
    const auto m4v = dir / (name + ".m4v");
    const auto bgr = dir / (name + ".bgr");
    Mpeg4Clip clip;
    if (!Run("ffmpeg -nostdin -y -f lavfi -i testsrc=size=" + name + ":rate=25 -frames:v " +
             std::to_string(frames) +
             " -pix_fmt yuv420p -c:v mpeg4 -qscale:v 4 -g 5 -bf 0 -f m4v " + m4v.string()) ||
        !Run("ffmpeg -nostdin -y -i " + m4v.string() + " -vf vflip -f rawvideo -pix_fmt bgr24 " +
             bgr.string()))
        return clip;
    const auto bytes = ReadFile(m4v);
    std::vector<std::size_t> vops;
    for (std::size_t i = 0; i + 3 < bytes.size(); ++i)
        if (bytes[i] == 0 && bytes[i + 1] == 0 && bytes[i + 2] == 1 && bytes[i + 3] == 0xB6)
            vops.push_back(i);
    if (vops.empty())
        return clip;
    clip.config.assign(bytes.begin(), bytes.begin() + vops[0]);
    for (std::size_t k = 0; k < vops.size(); ++k) {
        const std::size_t end = k + 1 < vops.size() ? vops[k + 1] : bytes.size();
        clip.frames.emplace_back(bytes.begin() + vops[k], bytes.begin() + end);
    }
    clip.bgrReference = ReadFile(bgr);
    return clip;
}

inline std::vector<uint8_t> MakeJpeg(int width, int height) {
    const auto file = MediaDir() / ("pattern_" + std::to_string(width) + ".jpg");
    if (!Run("ffmpeg -nostdin -y -f lavfi -i testsrc=size=" + std::to_string(width) + "x" +
             std::to_string(height) + " -frames:v 1 " + file.string()))
        return {};
    return ReadFile(file);
}

} // namespace kestrova::stream::testing
