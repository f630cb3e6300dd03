#include "net/base64.h"

#include <cstddef>

namespace kestrova::net {
namespace {

int ValueOf(char c) {
    if (c >= 'A' && c <= 'Z')
        return c - 'A';
    if (c >= 'a' && c <= 'z')
        return c - 'a' + 26;
    if (c >= '0' && c <= '9')
        return c - '0' + 52;
    if (c == '+')
        return 62;
    if (c == '/')
        return 63;
    return -1; // "=" and everything else
}

} // namespace

int Base64Decoder::Decode(std::string_view text, std::span<uint8_t> out) {
    std::size_t count = 0;
    // The buffer counts as full once a write reaches its end; the caller sizes it one
    // byte longer than the data so a padded credential always fits.
    auto full = [&] { return count >= out.size(); };
    for (char c : text) {
        if (ValueOf(c) < 0 && c != '=')
            continue;
        group_[filled_++] = c;
        if (filled_ < 4)
            continue;
        filled_ = 0;
        int v[4];
        for (int i = 0; i < 4; ++i)
            v[i] = group_[i] == '=' ? 0 : ValueOf(group_[i]);

        if (full())
            return -1;
        out[count++] = static_cast<uint8_t>((v[0] << 2 | v[1] >> 4) & 0xFF);
        if (full())
            return -1;
        if (group_[2] == '=')
            return static_cast<int>(count);
        out[count++] = static_cast<uint8_t>((v[1] << 4 | v[2] >> 2) & 0xFF);
        if (full())
            return -1;
        if (group_[3] == '=')
            return static_cast<int>(count);
        out[count++] = static_cast<uint8_t>((v[2] << 6 | v[3]) & 0xFF);
    }
    return static_cast<int>(count);
}

} // namespace kestrova::net
