#include "host_run.h"

#include "hosting/hosted_control.h"
#include "sim/camera_simulator.h"
#include "status_text.h"
#include "viewer/player_host_interface.h"

#include <QFileInfo>
#include <QTimer>
#include <QWidget>
#include <cstdio>
#include <sstream>

namespace kestrova::app {

namespace {

// The save dialog's filter a host path asks for: JPEG for ".jpg" or ".jpeg" (any case).
bool PathWantsJpeg(const std::string& path) {
    const QString suffix = QFileInfo(QString::fromStdString(path)).suffix().toLower();
    return suffix == QLatin1String("jpg") || suffix == QLatin1String("jpeg");
}

} // namespace

void OptionAnswers::Message(int id, const std::string& text) {
    messages.push_back(id);
    std::fprintf(stderr, "kestrova: message %d: %s\n", id, text.c_str());
}

std::optional<viewer::DialogHost::Login> OptionAnswers::AuthAnswer(int) {
    // The options' credentials were the presets; a second offer of the same would only
    // count another refusal, so the dialog is cancelled.
    return std::nullopt;
}

std::optional<viewer::DialogHost::SaveAnswer>
OptionAnswers::SnapshotAnswer(const std::string& defaultName) {
    if (options_.snapshot.empty())
        return std::nullopt;
    saved.push_back(options_.snapshot);
    return SaveAnswer{options_.snapshot, PathWantsJpeg(options_.snapshot)};
}

HostRun::HostRun(HostOptions options, hosting::HostedControl& control)
    : options_(std::move(options)), control_(control),
      player_(*control.As<viewer::PlayerHostInterface>()), answers_(options_),
      sound_("kestrova", options_.audioWav) {
    player_.SetDialogHost(options_.headless ? &answers_ : nullptr);
    sound_.Apply(player_);
    // By name: the module's signal is not this program's copy of it.
    connect(control_.Object(), SIGNAL(pictureDrawn()), this, SLOT(OnPicture()));
    connect(control_.Object(), SIGNAL(engineText(int, QString)), this,
            SLOT(OnEngineText(int, QString)));
}

HostRun::~HostRun() {
    player_.SetMessageObserver({}); // it refers to this run
}

QVariant HostRun::Call(const char* method, const QVariantList& args) {
    QString error;
    QVariant result = control_.Call(method, args, &error);
    if (!error.isEmpty())
        errors_.push_back(std::string(method) + " was refused: " + error.toStdString());
    return result;
}

bool HostRun::StartCamera(sim::CameraSimulator*& out, bool jpeg, std::string& error) {
    sim::SimOptions o;
    o.user = options_.user;
    o.password = options_.password;
    o.width = options_.width;
    o.height = options_.height;
    o.streamType = jpeg ? sim::StreamType::Jpeg : sim::StreamType::Mpeg4;
    camera_ = std::make_unique<sim::CameraSimulator>(o);
    if (!camera_->Start(&error)) {
        error = "the built-in camera did not start: " + error;
        return false;
    }
    out = camera_.get();
    return true;
}

bool HostRun::Play(bool mpeg, std::string& error) {
    if (options_.url.empty()) {
        sim::CameraSimulator* cam = nullptr;
        if (!StartCamera(cam, !mpeg, error))
            return false;
        url_ = cam->BaseUrl() + (mpeg ? "img/video.asf" : "img/mjpeg.cgi");
    } else {
        url_ = options_.url;
    }
    const std::size_t before = answers_.messages.size();
    Call("SetSource",
         {QString::fromStdString(url_), QString::fromLatin1(mpeg ? "mpeg" : "jpeg"),
          QString::fromStdString(options_.panTilt), QString::fromStdString(options_.rate),
          QString::fromStdString(CredentialString(options_))});
    if (!player_.SourceReady()) {
        error = "the camera at " + url_ + " refused the login or did not answer";
        if (answers_.messages.size() > before)
            error += " (message " + std::to_string(answers_.messages.back()) + ")";
        return false;
    }
    Call("AudioVolume", {options_.volume});
    const bool record = mpeg && !options_.record.empty();
    Call("StartPlay", {record ? 1 : 0, QString::fromStdString(record ? options_.record : "")});
    return true;
}

bool HostRun::Start(std::string& error) {
    player_.SetMessageObserver([this](int id) {
        if (!options_.headless)
            answers_.messages.push_back(id);
    });
    const bool mpeg = options_.type != "jpeg";
    if (!Play(mpeg, error))
        return false;
    if (options_.type == "both" && options_.seconds > 0) {
        QTimer::singleShot(static_cast<int>(options_.seconds * 500), this, &HostRun::SwitchToJpeg);
    }
    return true;
}

void HostRun::SwitchToJpeg() {
    Call("StopPlay");
    camera_.reset();
    switched_ = true;
    std::string error;
    if (!Play(false, error)) {
        errors_.push_back(error);
        std::fprintf(stderr, "kestrova: %s\n", error.c_str());
    }
}

void HostRun::OnPicture() {
    if (snapshotTaken_ || options_.snapshot.empty())
        return;
    snapshotTaken_ = true;
    // Outside the paint hand-off: SnapShot waits for the display thread.
    QTimer::singleShot(0, this, [this] {
        viewer::DialogHost* before = player_.CurrentDialogHost();
        player_.SetDialogHost(&answers_);
        Call("SnapShot");
        player_.SetDialogHost(before);
    });
}

void HostRun::OnEngineText(int code, const QString& text) {
    const std::string line = EngineTextLine(code, text.toStdString());
    if (line == lastEngineText_)
        return;
    lastEngineText_ = line;
    std::fprintf(stderr, "kestrova: %s\n", line.c_str());
}

int HostRun::Finish() {
    Call("StopPlay");
    if (!options_.screenshot.empty()) {
        QWidget* widget = control_.Widget();
        if (!widget || !widget->grab().save(QString::fromStdString(options_.screenshot), "PNG"))
            errors_.push_back("could not write the screenshot " + options_.screenshot);
    }
    player_.SetMessageObserver({});
    const viewer::PlayerStatistics s = player_.Statistics();
    if (s.picturesMpeg4 + s.picturesJpeg == 0)
        errors_.push_back("no picture was drawn from " + url_ +
                          (s.engineText.empty() ? "" : ": " + s.engineText));
    if (!options_.snapshot.empty() && answers_.saved.empty())
        errors_.push_back("no snapshot was taken");
    for (const auto& e : errors_)
        std::fprintf(stderr, "kestrova: %s\n", e.c_str());
    return errors_.empty() ? 0 : 1;
}

std::string HostRun::StatsJson() const {
    const viewer::PlayerStatistics s = player_.Statistics();
    std::ostringstream o;
    const uint64_t mpeg = s.picturesMpeg4;
    const uint64_t jpeg = s.picturesJpeg;
    int failures = static_cast<int>(s.droppedMpeg4);
    for (int code : s.endedCodes)
        if (code == 430)
            ++failures; // a Motion-JPEG frame that did not decode ends its path with 430
    o << "{\"frames_decoded\":{\"mpeg4\":" << s.decodedMpeg4 << ",\"jpeg\":" << jpeg
      << "},\"frames_drawn\":{\"mpeg4\":" << mpeg << ",\"jpeg\":" << jpeg
      << "},\"decode_failures\":" << failures << ",\"width\":" << s.width
      << ",\"height\":" << s.height << ",\"audio_ms\":" << sound_.WavMilliseconds()
      << ",\"stream_ended\":[";
    const auto& codes = s.endedCodes;
    for (std::size_t i = 0; i < codes.size(); ++i)
        o << (i ? "," : "") << codes[i];
    o << "],\"messages\":[";
    for (std::size_t i = 0; i < answers_.messages.size(); ++i)
        o << (i ? "," : "") << answers_.messages[i];
    o << "],\"snapshots\":" << answers_.saved.size() << "}";
    return o.str();
}

} // namespace kestrova::app
