#pragma once

#include <string_view>

namespace kestrova::viewer {

// The viewer's string table.
inline constexpr int kStrControlName = 1;
inline constexpr int kStrPropertyPageName = 2;
inline constexpr int kStrGeneral = 1001;
inline constexpr int kStrNoControlRight = 1003;
inline constexpr int kStrAccessLater = 1004;
inline constexpr int kStrUnknownError = 1005;
inline constexpr int kStrLoginFailed = 1006;
inline constexpr int kStrCannotConnect = 1007;
inline constexpr int kStrCameraBusy = 1008;
inline constexpr int kStrAnswerTooLarge = 1009;

// The text of string `id`; empty for an id not in the table.
std::string_view LoadString(int id);

} // namespace kestrova::viewer
