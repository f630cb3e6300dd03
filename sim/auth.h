// HTTP Basic credentials as the camera checks them.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace kestrova::sim {

// Standard Base64; nullopt on a character outside the alphabet or bad padding.
std::optional<std::string> DecodeBase64(std::string_view text);

struct Credentials {
    std::string user, password;
};

// The user and password of an "Authorization: Basic ..." value; nullopt when
// the value is missing, of another scheme or malformed.
std::optional<Credentials> ParseBasicAuthorization(std::string_view headerValue);

// "~" stands for the empty password on both sides.
bool CredentialsMatch(const Credentials& given, std::string_view user, std::string_view password);

} // namespace kestrova::sim
