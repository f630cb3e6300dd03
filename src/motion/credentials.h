#pragma once

#include "motion/config_client.h"

#include <optional>
#include <string_view>

namespace kestrova::motion {

// Longest credentials text the page may hand over: the Base64 part below 100 characters,
// the whole text below 200.
inline constexpr std::size_t kMaxAuthBase64 = 99;
inline constexpr std::size_t kMaxAuthText = 199;

// The page's credentials text: an optional scheme word and a blank, then the Base64 of
// "user:password". Without a ":" the user name is empty and the password is all of it.
// Nothing when the text is too long.
std::optional<Credentials> DecodeAuth(std::string_view auth);

} // namespace kestrova::motion
