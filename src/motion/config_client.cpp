#include "motion/config_client.h"

#include "motion/area_geometry.h"
#include "motion/motion_protocol.h"
#include "net/endpoints.h"
#include "net/refusal.h"

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
    if (IsViewMode()) {
        ParseViewReply(*reply, view);
    } else {
        ParseAreaReply(*reply, areas);
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

SaveResult MotionConfigClient::SaveView(const std::function<std::optional<Rect>()>& viewFrame) {
    if (!IsViewMode())
        return SaveResult::NotSent;
    if (view.enable != 0 && viewFrame) {
        if (auto camera = viewFrame()) {
            const Rect r = RoundViewRect(*camera);
            view.x1 = r.left;
            view.y1 = r.top;
            view.x2 = r.right;
            view.y2 = r.bottom;
        }
    }
    view.resolution = kSentResolution;
    auto reply = Post(BuildSaveViewBody(view));
    if (!reply) {
        host_.ShowMessage(kMsgCannotConnect);
        return SaveResult::CannotConnect;
    }
    return Contains(*reply, kSaveAcceptedMarker) ? SaveResult::Confirmed : SaveResult::Unconfirmed;
}

SaveResult MotionConfigClient::SaveAreas(const std::function<std::optional<Rect>(int)>& areaFrame,
                                         const std::function<void()>& stopStream) {
    if (!IsAreaMode())
        return SaveResult::NotSent;
    areas.resolution = kSentResolution;
    for (int n = 0; n < kAreaCount; ++n) {
        MotionArea& a = areas.areas[n];
        if (a.enable == 0 || !areaFrame)
            continue;
        if (auto camera = areaFrame(n)) {
            a.x1 = camera->left;
            a.y1 = camera->top;
            a.x2 = camera->right;
            a.y2 = camera->bottom;
        }
    }
    const std::string body = BuildSaveAreaBody(areas);
    if (stopStream)
        stopStream();
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
