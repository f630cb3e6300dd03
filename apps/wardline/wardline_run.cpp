#include "wardline_run.h"

#include "motion/motion_control.h"
#include "motion/motion_engine.h"
#include "motion/motion_window.h"
#include "sim/camera_simulator.h"
#include "wardline_page.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QPixmap>
#include <QThread>
#include <cstdio>
#include <memory>
#include <sstream>

namespace kestrova::wardline {

namespace {

std::string JsonText(const std::string& s) {
    std::string out = "\"";
    for (const char c : s) {
        const auto u = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (u < 0x20) {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\u%04x", u);
            out += buf;
        } else {
            out += c;
        }
    }
    return out + "\"";
}

// Headless runs answer the authorization dialog with Cancel.
class CancellingHost : public motion::MotionDialogHost {
public:
    std::optional<motion::Credentials> AuthAnswer() override { return std::nullopt; }
    void About() override {}
};

void Wait(int ms) {
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < ms) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(5);
    }
}

void ApplyEdits(motion::COrloMotionDetectCtrl& control, const WardlineOptions& o) {
    using Kind = WardlineOptions::Edit::Kind;
    for (const auto& e : o.edits) {
        const auto area = static_cast<short>(e.area);
        if (e.kind == Kind::Enable)
            control.MotionEnable(area, static_cast<short>(e.value));
        else if (e.kind == Kind::Threshold)
            control.SetMotionThrehold(area, static_cast<short>(e.value));
        else if (!control.Window().SetMotionTitle(e.area, e.text))
            std::fprintf(stderr, "wardline: title of area %d refused (line break or too long)\n",
                         e.area + 1);
    }
}

} // namespace

std::string SetupJson(const motion::CMotionWindow& w, int mode) {
    std::ostringstream o;
    const auto& set = w.Areas();
    const auto& v = w.View();
    o << "{\"mode\":" << JsonText(mode == 2 ? "view" : "area")
      << ",\"message\":" << JsonText(w.MessageText().toStdString())
      << ",\"loaded\":" << (set.loaded ? "true" : "false") << ",\"resolution\":" << set.resolution
      << ",\"areas\":[";
    for (int n = 0; n < motion::kAreaCount; ++n) {
        const auto& a = set.areas[n];
        o << (n ? "," : "") << "{\"enable\":" << a.enable << ",\"threshold\":" << a.threshold
          << ",\"sensitivity\":" << a.sensitivity << ",\"title\":" << JsonText(a.title)
          << ",\"x1\":" << a.x1 << ",\"y1\":" << a.y1 << ",\"x2\":" << a.x2 << ",\"y2\":" << a.y2
          << ",\"indicator\":" << a.indicator << "}";
    }
    o << "],\"view\":{\"enable\":" << v.enable << ",\"x1\":" << v.x1 << ",\"y1\":" << v.y1
      << ",\"x2\":" << v.x2 << ",\"y2\":" << v.y2 << "}}";
    return o.str();
}

int RunWardline(const WardlineOptions& o) {
    std::unique_ptr<sim::CameraSimulator> camera;
    std::string base = o.url;
    if (base.empty()) {
        sim::SimOptions sim;
        sim.user = o.user;
        sim.password = o.password;
        camera = std::make_unique<sim::CameraSimulator>(sim);
        std::string error;
        if (!camera->Start(&error)) {
            std::fprintf(stderr, "wardline: built-in camera: %s\n", error.c_str());
            return 1;
        }
        base = camera->BaseUrl();
        while (!base.empty() && base.back() == '/')
            base.pop_back();
        std::fprintf(stderr, "wardline: built-in camera at %s\n", base.c_str());
    }

    CancellingHost host;
    std::unique_ptr<CPageWindow> page;
    std::unique_ptr<motion::COrloMotionDetectCtrl> bare;
    motion::COrloMotionDetectCtrl* control = nullptr;
    if (o.headless) {
        bare = std::make_unique<motion::COrloMotionDetectCtrl>();
        bare->SetDialogHost(&host);
        control = bare.get();
        control->show();
    } else {
        page = std::make_unique<CPageWindow>(o.mode);
        control = &page->Control();
        page->show();
    }
    motion::CMotionWindow& window = control->Window();
    const bool accepted = control->SetSource(
        QString::fromStdString(base), QString::fromStdString(o.frameType),
        static_cast<short>(o.mode), QString::fromStdString(WardlineCredentials(o)));
    const QString message = window.MessageText();
    if (!accepted || !message.isEmpty())
        std::fprintf(stderr, "wardline: %s\n",
                     message.isEmpty() ? "source refused" : message.toStdString().c_str());
    const bool readOk =
        accepted && (o.mode == 2 ? window.View().resolution == 3 : window.Areas().loaded);
    if (o.dump)
        std::printf("%s\n", SetupJson(window, o.mode).c_str());
    ApplyEdits(*control, o);
    if (page)
        page->Refresh();
    if (o.apply && readOk) {
        if (o.mode == 2)
            window.OnOk();
        else
            control->MotionApply();
        if (!window.MessageText().isEmpty())
            std::fprintf(stderr, "wardline: %s\n", window.MessageText().toStdString().c_str());
    }
    if (o.watchSeconds > 0) {
        const int ticks = static_cast<int>(o.watchSeconds * 5);
        QElapsedTimer clock;
        clock.start();
        for (int t = 0; t < ticks; ++t) {
            Wait(200);
            std::printf("%lld", static_cast<long long>(clock.elapsed()));
            for (short n = 0; n < motion::kAreaCount; ++n)
                std::printf(" %ld", control->GetMotionIndicator(n));
            std::printf("\n");
            std::fflush(stdout);
        }
    }
    if (!o.screenshot.empty()) {
        // Let the first picture arrive (up to 3 s).
        for (int t = 0; t < 30 && o.mode != 2 && readOk &&
                        motion::MotionEngine::Instance().PicturesDrawn() == 0;
             ++t)
            Wait(100);
        Wait(100);
        QWidget* target = page ? static_cast<QWidget*>(page.get()) : control;
        if (!target->grab().save(QString::fromStdString(o.screenshot))) {
            std::fprintf(stderr, "wardline: cannot write %s\n", o.screenshot.c_str());
            control->StopPlay();
            return 1;
        }
    }
    int code = readOk ? 0 : 2;
    if (!o.headless)
        code = QApplication::exec();
    control->StopPlay();
    return code;
}

} // namespace kestrova::wardline
