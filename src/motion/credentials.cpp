#include "motion/credentials.h"

#include "net/base64.h"

#include <vector>

namespace kestrova::motion {

std::optional<Credentials> DecodeAuth(std::string_view auth) {
    if (auth.size() > kMaxAuthText)
        return std::nullopt;
    std::string_view coded = auth;
    if (const auto blank = auth.find(' '); blank != std::string_view::npos)
        coded = auth.substr(blank + 1);
    if (coded.size() > kMaxAuthBase64)
        return std::nullopt;
    std::vector<uint8_t> out(coded.size() * 3 / 4 + 3);
    net::Base64Decoder decoder;
    const int n = decoder.Decode(coded, out);
    const std::string text(reinterpret_cast<const char*>(out.data()),
                           static_cast<std::size_t>(n < 0 ? 0 : n));
    Credentials c;
    if (const auto colon = text.find(':'); colon != std::string::npos) {
        c.user = text.substr(0, colon);
        c.password = text.substr(colon + 1);
    } else {
        c.password = text;
    }
    return c;
}

} // namespace kestrova::motion
