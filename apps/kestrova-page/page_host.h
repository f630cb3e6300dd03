#pragma once

#include "hosting/control_loader.h"
#include "hosting/key_store.h"
#include "page_answers.h"
#include "platform/settings_store.h"
#include "sound_choice.h"

#include <QJSEngine>
#include <QJSValue>
#include <QObject>
#include <QPointer>
#include <QSize>
#include <QVariantMap>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class QTimer;
class QUrl;
class QWidget;

namespace kestrova::page {

// Runs one page script: the page object that creates controls by ProgID (only classes
// marked safe for scripting and initialisation) and places them on the page window, the
// timer functions and print. The first script error (at load or in a timer) is reported as
// "FILE:LINE: MESSAGE" and ends the page with exit code 1. Headless, the page answers
// the controls' dialogs itself (see page_answers.h); snapshots go to `saveDir` when given.
class PageHost : public QObject {
    Q_OBJECT
public:
    // `audioWav`: the first viewer control plays into this WAV file instead of the sound card.
    PageHost(QVariantMap params, bool headless, QString saveDir = {}, QObject* parent = nullptr,
             const QString& audioWav = {});
    ~PageHost() override;

    // Loads and runs the script; false when it could not be read or threw (already reported).
    bool Run(const QString& path);
    // True while a timer is pending.
    bool HasTimers() const { return !timers_.empty(); }
    QWidget* Window() const { return window_.get(); }

signals:
    // The page asked to end, or failed: the exit code.
    void finished(int code);
    // The last pending timer ran: a page without windows can do nothing more.
    void idle();

public:
    // Script side.
    Q_INVOKABLE QJSValue create(const QString& progId, bool hidden);
    Q_INVOKABLE void place(const QJSValue& control, int x, int y, int width, int height);
    Q_INVOKABLE QJSValue call(int handle, int dispid, const QVariantList& args);
    Q_INVOKABLE QVariantMap look(const QJSValue& control);
    Q_INVOKABLE int setTimer(const QJSValue& fn, int ms, bool repeat);
    Q_INVOKABLE void clearTimer(int id);
    Q_INVOKABLE void print(const QString& line);
    Q_INVOKABLE void quit(int code);

private slots:
    // Headless stand-in for the browser that OpenSettingPage starts.
    void OpenUrl(const QUrl& url);
    // A viewer's words about why its play ended (or a notice), printed once on stderr.
    void OnEngineText(int code, const QString& text);

private:
    struct Control {
        QPointer<QObject> object;
        hosting::DispatchTable dispatch{nullptr};
        QString progId;
    };
    struct Timer {
        QTimer* timer;
        QJSValue fn;
        bool repeat;
    };
    void Fire(int id);
    QWidget* WidgetOf(const QJSValue& control) const;
    void FitWindow();
    void Report(const QJSValue& error);
    void CloseModalDialogs();

    bool headless_;
    ViewerAnswers viewerAnswers_;
    MotionAnswers motionAnswers_;
    app::SoundChoice sound_;
    QJSEngine engine_;
    platform::SettingsStore settings_;
    hosting::SettingsKeyStore store_{settings_};
    hosting::ControlLoader loader_{store_, hosting::SafetyCheck::kRequireSafeMarks};
    std::unique_ptr<QWidget> window_;
    int nextX_ = 0;
    std::vector<Control> controls_;
    std::string lastEngineText_; // the last engine text printed
    std::map<int, Timer> timers_;
    int nextTimer_ = 1;
    QJSValue wrap_;
    QString script_;
    bool failed_ = false;
    bool running_ = false; // page script is running (a modal dialog may be open in it)
    std::optional<int> exitCode_;
    static constexpr int kDeferredTimerMs = 10;

    static constexpr QSize kEmptyPageSize{320, 240};
    static constexpr int kControlGap = 8;
    static constexpr int kMaxPageExtent = 8192;
};

} // namespace kestrova::page
