#include "auth.h"

#include <cstdint>

namespace kestrova::sim {

namespace {

int Base64Value(char c) {
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
    return -1;
}

std::string_view Trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t'))
        s.remove_suffix(1);
    return s;
}

} // namespace

std::optional<std::string> DecodeBase64(std::string_view text) {
    std::string out;
    uint32_t acc = 0;
    int bits = 0;
    size_t padding = 0;
    for (char c : text) {
        if (c == '=') {
            ++padding;
            continue;
        }
        const int v = Base64Value(c);
        if (v < 0 || padding > 0)
            return std::nullopt;
        acc = (acc << 6) | static_cast<uint32_t>(v);
        bits += 6;
        if (bits >= 8) {
            bits -= 8;
            out += static_cast<char>((acc >> bits) & 0xFF);
        }
    }
    const size_t symbols = text.size() - padding;
    if (padding > 2 || symbols % 4 == 1 || (padding > 0 && (symbols + padding) % 4 != 0))
        return std::nullopt;
    return out;
}

std::optional<Credentials> ParseBasicAuthorization(std::string_view value) {
    value = Trim(value);
    constexpr std::string_view kScheme = "Basic";
    if (value.size() <= kScheme.size() || value[kScheme.size()] != ' ')
        return std::nullopt;
    for (size_t i = 0; i < kScheme.size(); ++i)
        if ((value[i] | 0x20) != (kScheme[i] | 0x20))
            return std::nullopt;
    auto decoded = DecodeBase64(Trim(value.substr(kScheme.size() + 1)));
    if (!decoded)
        return std::nullopt;
    const auto colon = decoded->find(':');
    if (colon == std::string::npos)
        return std::nullopt;
    return Credentials{decoded->substr(0, colon), decoded->substr(colon + 1)};
}

bool CredentialsMatch(const Credentials& given, std::string_view user, std::string_view password) {
    auto plain = [](std::string_view p) { return p == "~" ? std::string_view() : p; };
    return given.user == user && plain(given.password) == plain(password);
}

} // namespace kestrova::sim
