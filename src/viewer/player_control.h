#pragma once

#include "viewer/player_host_interface.h"

#include <QString>
#include <QVariant>
#include <QWidget>
#include <functional>
#include <span>
#include <string_view>

namespace kestrova::viewer {

class CVideoWindow;
class DialogHost;

// The viewer control a page scripts. Every method except OpenSettingPage and AboutBox
// forwards to the one CVideoWindow child; all are invokable by name and by dispatch id.
// Hosts that load the control from its module use PlayerHostInterface and the
// pictureDrawn signal (connected by name) for the rest.
class COrloPlayerSetaCtrl : public QWidget, public PlayerHostInterface {
    Q_OBJECT
    Q_INTERFACES(kestrova::viewer::PlayerHostInterface)
public:
    explicit COrloPlayerSetaCtrl(QWidget* parent = nullptr);
    ~COrloPlayerSetaCtrl() override;

    Q_INVOKABLE void StartPlay(int bRecord, const QString& sRecordFilename);
    Q_INVOKABLE void StopPlay();
    Q_INVOKABLE void SetZoomPercent(int nPercent);
    Q_INVOKABLE void SetPlayAudio();
    Q_INVOKABLE void StopPlayAudio();
    Q_INVOKABLE void OpenSettingPage(const QString& sURL);
    Q_INVOKABLE void SnapShot();
    Q_INVOKABLE void SetViewSize(int nWidth, int nHeight);
    Q_INVOKABLE void VideoFlip();
    Q_INVOKABLE void VideoMirror();
    Q_INVOKABLE void VideoZoom();
    Q_INVOKABLE void AudioVolume(int nVal);
    Q_INVOKABLE void DirectPT(int nVal);
    Q_INVOKABLE void RestoreVideo();
    Q_INVOKABLE bool SetSource(const QString& sURL, const QString& sFrameType,
                               const QString& sPanTilt, const QString& sFrameRate,
                               const QString& base64string);
    Q_INVOKABLE void AboutBox();

    // Calls a method by dispatch id or by name through the control's dispatch table
    // (viewer/kestrova_dispatch.h), arguments converted to the declared types. A wrong id,
    // name or argument count, or an argument that does not convert, is refused with a
    // message in `error`, and nothing is called.
    bool Invoke(int dispid, const QVariantList& args, QVariant* result = nullptr,
                QString* error = nullptr);
    bool Invoke(std::string_view name, const QVariantList& args, QVariant* result = nullptr,
                QString* error = nullptr);

    CVideoWindow& Window() { return *window_; }

    // PlayerHostInterface.
    void SetDialogHost(DialogHost* host) override;
    DialogHost* CurrentDialogHost() const override { return host_; }
    void SetSoundDevice(std::shared_ptr<audio::SoundDevice> device) override;
    void SetSoundNotice(std::function<void(const std::string& text)> notice) override;
    void SetMessageObserver(std::function<void(int id)> observer) override;
    bool SourceReady() const override;
    PlayerStatistics Statistics() const override;

    // The URL OpenSettingPage last handed to the browser (empty when none was opened).
    const QString& LastOpenedUrl() const { return lastOpened_; }
    // Replaces the browser start, for hosts without a desktop and for tests.
    void SetUrlOpener(std::function<bool(const QString&)> opener) { opener_ = std::move(opener); }

signals:
    // A picture was drawn (on the control's thread).
    void pictureDrawn();
    // The engine's text for a play that ended (`code`: its result code) or a notice while
    // the play goes on (`code` 0). Hosts show it; connect by name.
    void engineText(int code, const QString& text);

private:
    CVideoWindow* window_;
    DialogHost* host_ = nullptr;
    QString lastOpened_;
    std::function<bool(const QString&)> opener_;
};

} // namespace kestrova::viewer
