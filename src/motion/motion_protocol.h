#pragma once

#include "motion/motion_model.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace kestrova::motion {

// Command blocks posted to "/ocxparser.cgi"; every line ends with CR LF and the block with
// an empty line.
inline constexpr std::string_view kReadViewBody = "COMMAND: MOT_READ_VIEW\r\n\r\n";
inline constexpr std::string_view kReadAreaBody = "COMMAND: MOT_READ_AREA\r\n\r\n";
inline constexpr std::string_view kReleaseBody = "COMMAND: MOT_OCX_FREE\r\n\r\n";
inline constexpr std::string_view kSaveAcceptedMarker = "MOT: OK";

// The resolution code the control always sends.
inline constexpr int32_t kSentResolution = 3;

// Titles travel unescaped on one line of the save body: line breaks would split that line and
// the body must stay within its 20,480-byte buffer with four titles.
inline constexpr std::size_t kMaxTitleLength = 4096;
inline constexpr std::size_t kSaveBodyLimit = 20480;
bool IsSendableTitle(std::string_view title);

// The text after the first `key` up to the next carriage return; nothing when the key or
// the carriage return is missing.
std::optional<std::string_view> LookupValue(std::string_view reply, std::string_view key);

// Text to integer the way the camera's numbers are read: leading white space, an optional
// sign, digits up to the first non-digit; no digits give 0. Values beyond 32 bits saturate.
int32_t ParseInteger(std::string_view text);

// Camera coordinate to window coordinate: x 0.625, truncated toward zero.
int32_t CameraToWindow(int32_t camera);

// Fill the model from a read reply. A key that cannot be looked up leaves its field as it
// was. The view's resolution is set to 3 whatever the reply says.
void ParseAreaReply(std::string_view reply, AreaSet& set);
void ParseViewReply(std::string_view reply, ViewArea& view);

// Save bodies, line by line in the camera's order.
std::string BuildSaveViewBody(const ViewArea& view);
std::string BuildSaveAreaBody(const AreaSet& set);

// The view rectangle as the camera stores it: x to the nearest multiple of 16, y to the
// nearest multiple of 8, an exact half rounding up.
int32_t RoundViewX(int32_t x);
int32_t RoundViewY(int32_t y);

// Message line texts of the control's string table.
inline constexpr int kMsgCannotConnect = 1001;
inline constexpr int kMsgDeviceBusy = 1003;
inline constexpr int kMsgProtected = 1004;
// The text of message `id`; empty for an unknown id.
std::string_view MessageText(int id);

} // namespace kestrova::motion
