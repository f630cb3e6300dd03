#include "net/refusal.h"

#include <algorithm>

namespace kestrova::net {

bool ContainsMarker(std::span<const uint8_t> data, std::string_view marker, std::size_t window) {
    const std::size_t length = std::min(window, data.size());
    if (marker.empty())
        return true;
    if (marker.size() > length)
        return false;
    const auto end = data.begin() + static_cast<std::ptrdiff_t>(length);
    return std::search(data.begin(), end, marker.begin(), marker.end(),
                       [](uint8_t a, char b) { return a == static_cast<uint8_t>(b); }) != end;
}

bool ContainsMarker(std::string_view text, std::string_view marker, std::size_t window) {
    return ContainsMarker(std::span(reinterpret_cast<const uint8_t*>(text.data()), text.size()),
                          marker, window);
}

Refusal FindStreamRefusal(std::span<const uint8_t> firstChunk) {
    if (ContainsMarker(firstChunk, kMarkerBusy, kMJpegRefusalWindow))
        return Refusal::Busy;
    if (ContainsMarker(firstChunk, kMarkerUnauthorized, kMJpegRefusalWindow))
        return Refusal::Unauthorized;
    return Refusal::None;
}

bool IsAsfBusyPage(std::span<const uint8_t> streamStart) {
    return ContainsMarker(streamStart, kMarkerBusy, kAsfBusyWindow);
}

bool IsLoginRefused(std::string_view answer) {
    return ContainsMarker(answer, kMarkerLoginRefused);
}

Refusal FindConfigRefusal(std::string_view answer) {
    if (ContainsMarker(answer, kMarkerConfigUnauthorized))
        return Refusal::Unauthorized;
    if (ContainsMarker(answer, kMarkerForbidden))
        return Refusal::Forbidden;
    return Refusal::None;
}

std::optional<std::string_view> CameraMessage(int id) {
    switch (id) {
    case kMessageLoginFailed:
        return "Login failed. Username or password not recognized.";
    case kMessageCannotConnect:
        return "Can not connect.";
    case kMessageCameraBusy:
        return "Unable to connect to Camera - too many users already connected or device is "
               "busy. Please try again later.";
    default:
        return std::nullopt;
    }
}

} // namespace kestrova::net
