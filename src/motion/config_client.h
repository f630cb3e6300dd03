#pragma once

#include "motion/motion_model.h"

#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace kestrova {
class FrameImage;
}

namespace kestrova::motion {

struct Credentials {
    std::string user;
    std::string password;
};

// One exchange with the camera: a POST on a fresh HTTP session whose whole reply is returned.
class ConfigTransport {
public:
    virtual ~ConfigTransport() = default;
    // The reply text, or nothing when the request could not be made.
    virtual std::optional<std::string> Post(const std::string& url, std::string_view body,
                                            const Credentials& credentials) = 0;
    // The reply decoded as a JPEG picture into `image`; false when the request failed, the
    // reply was larger than one read of the motion session, or it did not decode.
    virtual bool PostForImage(FrameImage& image, const std::string& url, std::string_view body,
                              const Credentials& credentials, std::string* replyText) = 0;
};

// The camera's HTTP client with the motion control's session options.
class HttpConfigTransport final : public ConfigTransport {
public:
    std::optional<std::string> Post(const std::string& url, std::string_view body,
                                    const Credentials& credentials) override;
    bool PostForImage(FrameImage& image, const std::string& url, std::string_view body,
                      const Credentials& credentials, std::string* replyText) override;
};

// What the exchanges need from the window: the message line and the authorization dialog.
class ConfigHost {
public:
    virtual ~ConfigHost() = default;
    virtual void ShowMessage(int id) = 0;
    // The authorization dialog; nothing when the user cancelled.
    virtual std::optional<Credentials> AskCredentials() = 0;
};

enum class SaveResult {
    NotSent,       // the save does not belong to the current mode
    CannotConnect, // the request could not be made
    Confirmed,     // the camera answered "MOT: OK"
    Unconfirmed,   // any other answer
};

// The motion set-up exchanges with one camera: reads, saves, release and the view-mode
// snapshot. Holds the model, the URLs and the credentials (which the authorization dialog
// may replace during a read).
class MotionConfigClient {
public:
    MotionConfigClient(ConfigTransport& transport, ConfigHost& host);

    // The camera's base URL (scheme and address, no trailing slash).
    void SetBase(std::string base);
    const std::string& ConfigUrl() const { return configUrl_; }
    const std::string& SnapshotUrl() const { return snapshotUrl_; }
    void SetMode(int mode) { mode_ = mode; }
    int Mode() const { return mode_; }
    bool IsViewMode() const { return mode_ == kModeView; }
    bool IsAreaMode() const { return mode_ == kModeArea; }

    Credentials credentials;
    AreaSet areas;
    ViewArea view;

    // Reads the set-up of the mode into the model, running the authorization dialog at most
    // three times on refusal. In every mode but the view mode a success marks the areas
    // loaded. A reply that carries none of the command's keys is a failed read and changes
    // nothing. Messages for failures go to the host.
    bool ReadConfiguration();

    // The view-mode picture: false (with "Can not connect !" or the busy message shown) when
    // it could not be had.
    bool FetchSnapshot(FrameImage& image);

    // View mode only, and only once the view was read. `editedViewFrame` gives the camera
    // rectangle of the view frame when the user moved or sized it; an enabled view then
    // sends it rounded to 16 / 8, otherwise the camera values as read or last saved. The
    // sent values become the model's once the camera confirms them.
    SaveResult SaveView(const std::function<std::optional<Rect>()>& editedViewFrame);

    // Area mode only, and only once the areas were read. `editedAreaFrame(n)` gives the
    // camera rectangle of area n's frame when the user moved or sized it; enabled areas send
    // it, every other area the camera values as read or last saved. `stopStream` runs after
    // the body is built and before it is posted. The sent values become the model's once the
    // camera confirms them.
    SaveResult SaveAreas(const std::function<std::optional<Rect>(int)>& editedAreaFrame,
                         const std::function<void()>& stopStream);

    // Posts the release command, once more when the first reply lacks "MOT: OK". Nothing in
    // view mode. Returns the number of release commands posted.
    int SendRelease();

private:
    std::optional<std::string> Post(std::string_view body);
    SaveResult PostSave(std::string_view body);

    ConfigTransport& transport_;
    ConfigHost& host_;
    int mode_ = kModeArea;
    std::string base_, configUrl_, snapshotUrl_;
};

} // namespace kestrova::motion
