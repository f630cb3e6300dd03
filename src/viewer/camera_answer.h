#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace kestrova::viewer {

// The value of a "name=value" line of a camera answer: the text after the first
// occurrence of `name` (which includes the "=") up to the next carriage return, or to the
// end of the text. Null when the name does not occur.
std::optional<std::string> AnswerValue(std::string_view body, std::string_view name);

// Credentials as the page passes them: everything after the first blank (all of it when
// there is none) is Base64 of "user:password". Any length is accepted.
struct Credentials {
    std::string user;
    std::string password;
};
Credentials DecodeCredentials(std::string_view base64string);

// Does the text look like a URL that OpenSettingPage may open (http or https, with a
// host)?
bool IsBrowsableUrl(std::string_view url);

} // namespace kestrova::viewer
