#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

namespace kestrova::net {

// The camera refuses a request with a small HTML page instead of the data; these are the
// openings of those pages, found by case-sensitive substring search.
inline constexpr std::string_view kMarkerBusy = "<HTML><HEAD><TITLE>503 Service";
inline constexpr std::string_view kMarkerUnauthorized = "<HTML><HEAD><TITLE>401 Unauthorized";
inline constexpr std::string_view kMarkerLoginRefused = "<HTML><HEAD><TITLE>401";
inline constexpr std::string_view kMarkerConfigUnauthorized = "<HTML><HEAD><TITLE>401 Unautho";
inline constexpr std::string_view kMarkerForbidden = "<HTML><HEAD><TITLE>403 Forbidd";

// Where the stream sessions look: the Motion-JPEG stream's first chunk up to this many
// bytes, the ASF stream's first bytes (exactly the busy marker's length).
inline constexpr std::size_t kMJpegRefusalWindow = 255;
inline constexpr std::size_t kAsfBusyWindow = 30;
static_assert(kAsfBusyWindow == kMarkerBusy.size());

enum class Refusal {
    None,
    Busy,         // too many viewers or device busy
    Unauthorized, // credentials refused
    Forbidden,    // the motion set-up is held by another user
};

// True when `marker` lies wholly within the first `window` bytes of `data` (all of it by
// default). NUL bytes in the data do not end the search.
bool ContainsMarker(std::span<const uint8_t> data, std::string_view marker,
                    std::size_t window = static_cast<std::size_t>(-1));
bool ContainsMarker(std::string_view text, std::string_view marker,
                    std::size_t window = static_cast<std::size_t>(-1));

// The first chunk of a Motion-JPEG stream: busy or refusal page within its first 255 bytes.
Refusal FindStreamRefusal(std::span<const uint8_t> firstChunk);
// The start of an ASF stream: the busy page in its first 30 bytes.
bool IsAsfBusyPage(std::span<const uint8_t> streamStart);
// The answer of the login query "img/query.cgi".
bool IsLoginRefused(std::string_view answer);
// An answer of the motion set-up protocol: 401 or 403 page.
Refusal FindConfigRefusal(std::string_view answer);

// Message texts of the viewer's string table that these refusals lead to.
inline constexpr int kMessageLoginFailed = 1006;
inline constexpr int kMessageCannotConnect = 1007;
inline constexpr int kMessageCameraBusy = 1008;
// The text of message `id`, or nothing for an id not in this table.
std::optional<std::string_view> CameraMessage(int id);

} // namespace kestrova::net
