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

// The text after the first `key` up to the end of its line (a carriage return or a line
// feed, so lines ended by a line feed alone are read too); nothing when the key is missing
// or its line has no end (a cut reply may have cut the value).
std::optional<std::string_view> LookupValue(std::string_view reply, std::string_view key);

// Text to integer the way the camera's numbers are read: leading white space, an optional
// sign, digits up to the first non-digit; no digits give 0. Values beyond 32 bits saturate.
int32_t ParseInteger(std::string_view text);

// Camera coordinate to window coordinate: x 0.625, truncated toward zero.
int32_t CameraToWindow(int32_t camera);
// The window rectangle shown for a camera rectangle.
Rect CameraToWindow(const Rect& camera);
// Stores a camera rectangle and the window rectangle derived from it.
void SetCameraRect(MotionArea& area, const Rect& camera);
void SetCameraRect(ViewArea& view, const Rect& camera);

// Fill the model from a read reply and return how many of the command's keys it carried
// (0: the reply is not a set-up at all). A key that cannot be looked up leaves its field as
// it was. Coordinates are clamped to the camera's 640 x 480 picture (0..640, 0..480), so a
// value the camera could not mean is never sent back. The view's resolution is set to 3
// whatever the reply says.
int ParseAreaReply(std::string_view reply, AreaSet& set);
int ParseViewReply(std::string_view reply, ViewArea& view);

// Save bodies, line by line in the camera's order; rectangles in camera coordinates.
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
inline constexpr int kMsgNoSetup = 1005;  // the read's answer carried none of the set-up's keys
inline constexpr int kMsgSaved = 1006;    // the camera answered a save with "MOT: OK"
inline constexpr int kMsgNotSaved = 1007; // it answered something else
// The text of message `id`; empty for an unknown id.
std::string_view MessageText(int id);

} // namespace kestrova::motion
