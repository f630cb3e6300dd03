#include "motion/config_client.h"

#include "motion/area_geometry.h"
#include "motion/motion_protocol.h"
#include "net/endpoints.h"
#include "net/refusal.h"

#include <array>

namespace kestrova::motion {

namespace {
constexpr int kMostAuthorizationPrompts = 3;

bool Contains(std::string_view text, std::string_view marker) {
    return text.find(marker) != std::string_view::npos;
}
} // namespace

MotionConfigClient::MotionConfigClient(ConfigTransport& transport, ConfigHost& host)
    : transport_(transport), host_(host) {}

void MotionConfigClient::SetBase(std::string base) {
    base_ = std::move(base);
    configUrl_ = net::EndpointUrl(base_, net::EndpointId::MotionConfig);
    snapshotUrl_ = net::EndpointUrl(base_, net::EndpointId::Snapshot);
}

std::optional<std::string> MotionConfigClient::Post(std::string_view body) {
    return transport_.Post(configUrl_, body, credentials);
}

bool MotionConfigClient::ReadConfiguration() {
    const std::string_view body = IsViewMode() ? kReadViewBody : kReadAreaBody;
    auto reply = Post(body);
    if (!reply) {
        host_.ShowMessage(kMsgCannotConnect);
        return false;
    }
    // A reply with both the 401 and the 403 page is a refusal of the credentials first.
    for (int prompt = 1; Contains(*reply, net::kMarkerConfigUnauthorized); ++prompt) {
        if (prompt > kMostAuthorizationPrompts) {
            host_.ShowMessage(kMsgProtected);
            return false;
        }
        auto typed = host_.AskCredentials();
        if (!typed) {
            host_.ShowMessage(kMsgProtected);
            return false;
        }
        credentials = std::move(*typed);
        reply = Post(body);
        if (!reply) {
            host_.ShowMessage(kMsgCannotConnect);
            return false;
        }
    }
    if (Contains(*reply, net::kMarkerForbidden)) {
        host_.ShowMessage(kMsgDeviceBusy);
        return false;
    }
    // An empty answer, a moved page or any other text without the set-up is no read: taking
    // it would leave zeros that the next save writes over the camera's areas.
    if (IsViewMode()) {
        ViewArea next = view;
        if (ParseViewReply(*reply, next) == 0) {
            host_.ShowMessage(kMsgNoSetup);
            return false;
        }
        view = next;
        view.loaded = true;
    } else {
        AreaSet next = areas;
        if (ParseAreaReply(*reply, next) == 0) {
            host_.ShowMessage(kMsgNoSetup);
            return false;
        }
        areas = next;
        areas.loaded = true;
    }
    return true;
}

bool MotionConfigClient::FetchSnapshot(FrameImage& image) {
    std::string reply;
    if (!transport_.PostForImage(image, snapshotUrl_, net::kSnapshotRequestBody, credentials,
                                 &reply)) {
        // The camera's 403 page does not decode either and ends here too.
        host_.ShowMessage(kMsgCannotConnect);
        return false;
    }
    if (Contains(reply, net::kMarkerForbidden)) {
        host_.ShowMessage(kMsgDeviceBusy);
        return false;
    }
    return true;
}

SaveResult
MotionConfigClient::SaveView(const std::function<std::optional<Rect>()>& editedViewFrame) {
    if (!IsViewMode() || !view.loaded)
        return SaveResult::NotSent;
    ViewArea next = view;
    next.resolution = kSentResolution;
    if (next.enable != 0 && editedViewFrame) {
        if (auto camera = editedViewFrame())
            SetCameraRect(next, RoundViewRect(*camera));
    }
    view.resolution = kSentResolution;
    const SaveResult result = PostSave(BuildSaveViewBody(next));
    if (result == SaveResult::Confirmed)
        view = next;
    return result;
}

SaveResult
MotionConfigClient::SaveAreas(const std::function<std::optional<Rect>(int)>& editedAreaFrame,
                              const std::function<void()>& stopStream) {
    if (!IsAreaMode() || !areas.loaded)
        return SaveResult::NotSent;
    areas.resolution = kSentResolution;
    std::array<Rect, kAreaCount> sent;
    AreaSet next = areas;
    for (int n = 0; n < kAreaCount; ++n) {
        MotionArea& a = next.areas[n];
        if (a.enable != 0 && editedAreaFrame) {
            if (auto camera = editedAreaFrame(n))
                a.camera = *camera;
        }
        sent[n] = a.camera;
    }
    const std::string body = BuildSaveAreaBody(next);
    if (stopStream)
        stopStream();
    const SaveResult result = PostSave(body);
    if (result == SaveResult::Confirmed) {
        // Only the rectangles: the rest of the model may have changed meanwhile.
        for (int n = 0; n < kAreaCount; ++n)
            SetCameraRect(areas.areas[n], sent[n]);
    }
    return result;
}

SaveResult MotionConfigClient::PostSave(std::string_view body) {
    auto reply = Post(body);
    if (!reply) {
        host_.ShowMessage(kMsgCannotConnect);
        return SaveResult::CannotConnect;
    }
    return Contains(*reply, kSaveAcceptedMarker) ? SaveResult::Confirmed : SaveResult::Unconfirmed;
}

int MotionConfigClient::SendRelease() {
    if (IsViewMode())
        return 0;
    auto reply = Post(kReleaseBody);
    if (!reply) {
        host_.ShowMessage(kMsgCannotConnect);
        return 1;
    }
    if (Contains(*reply, kSaveAcceptedMarker))
        return 1;
    if (!Post(kReleaseBody))
        host_.ShowMessage(kMsgCannotConnect);
    return 2;
}

} // namespace kestrova::motion
