#include "wardline_run.h"

#include "camera_address.h"
#include "hosting/hosted_control.h"
#include "motion/motion_host_interface.h"
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

// Calls a method by name; a refused call is printed.
QVariant Call(const hosting::HostedControl& control, const char* method,
              const QVariantList& args = {}) {
    QString error;
    QVariant result = control.Call(method, args, &error);
    if (!error.isEmpty())
        std::fprintf(stderr, "wardline: %s\n", error.toStdString().c_str());
    return result;
}

void ApplyEdits(const hosting::HostedControl& control, motion::MotionHostInterface& motion,
                const WardlineOptions& o) {
    using Kind = WardlineOptions::Edit::Kind;
    for (const auto& e : o.edits) {
        if (e.kind == Kind::Enable)
            Call(control, "MotionEnable", {e.area, e.value});
        else if (e.kind == Kind::Threshold)
            Call(control, "SetMotionThrehold", {e.area, e.value});
        else if (!motion.SetAreaTitle(e.area, e.text))
            std::fprintf(stderr, "wardline: title of area %d refused (line break or too long)\n",
                         e.area + 1);
    }
}

} // namespace

std::string SetupJson(const motion::MotionHostInterface& w, int mode) {
    std::ostringstream o;
    const motion::AreaSet set = w.Areas();
    const motion::ViewArea v = w.View();
    o << "{\"mode\":" << JsonText(mode == 2 ? "view" : "area")
      << ",\"message\":" << JsonText(w.MessageText().toStdString())
      << ",\"loaded\":" << (set.loaded ? "true" : "false") << ",\"resolution\":" << set.resolution
      << ",\"areas\":[";
    // x1..y2 as the camera stores them; "window" where the frame shows them.
    auto rects = [&o](const motion::Rect& c, int x1, int y1, int x2, int y2) {
        o << ",\"x1\":" << c.left << ",\"y1\":" << c.top << ",\"x2\":" << c.right
          << ",\"y2\":" << c.bottom << ",\"window\":[" << x1 << "," << y1 << "," << x2 << "," << y2
          << "]";
    };
    for (int n = 0; n < motion::kAreaCount; ++n) {
        const auto& a = set.areas[n];
        o << (n ? "," : "") << "{\"enable\":" << a.enable << ",\"threshold\":" << a.threshold
          << ",\"sensitivity\":" << a.sensitivity << ",\"title\":" << JsonText(a.title);
        rects(a.camera, a.x1, a.y1, a.x2, a.y2);
        o << ",\"indicator\":" << a.indicator << "}";
    }
    o << "],\"view\":{\"enable\":" << v.enable;
    rects(v.camera, v.x1, v.y1, v.x2, v.y2);
    o << "}}";
    return o.str();
}

int RunWardline(const WardlineOptions& o) {
    // Declared first: the camera and the dialog host outlive the control.
    std::unique_ptr<sim::CameraSimulator> camera;
    CancellingHost host;

    // The program ships the motion module: register it, as its set-up would, and make the
    // control from its ProgID like a page does.
    std::string error;
    auto hosted = hosting::HostedControl::CreateShipped(
        "libwardline.so", {WARDLINE_MODULE_DIR_INSTALLED, WARDLINE_MODULE_DIR},
        "WARDLINE.WardlineCtrl.1", nullptr, &error);
    if (!hosted) {
        std::fprintf(stderr, "wardline: %s\n", error.c_str());
        return 1;
    }
    auto* motion = hosted->As<motion::MotionHostInterface>();
    QWidget* control = hosted->Widget();
    if (!motion || !control) {
        std::fprintf(stderr, "wardline: %s does not make a motion control this program can host\n",
                     hosted->ModulePath().c_str());
        return 1;
    }

    std::string base = o.url;
    if (base.empty()) {
        sim::SimOptions sim;
        sim.user = o.user;
        sim.password = o.password;
        camera = std::make_unique<sim::CameraSimulator>(sim);
        if (!camera->Start(&error)) {
            std::fprintf(stderr, "wardline: built-in camera: %s\n", error.c_str());
            return 1;
        }
        base = camera->BaseUrl();
        while (!base.empty() && base.back() == '/')
            base.pop_back();
        std::fprintf(stderr, "wardline: built-in camera at %s\n", base.c_str());
    }

    std::unique_ptr<CPageWindow> page;
    if (o.headless) {
        motion->SetDialogHost(&host);
        control->show();
    } else {
        page = std::make_unique<CPageWindow>(o.mode, *hosted);
        std::string addressError;
        const auto address = app::ParseCameraAddress(base, addressError);
        page->SetCamera(QString::fromStdString(address ? address->HostPort() : base));
        page->show();
    }
    const bool accepted = Call(*hosted, "SetSource",
                               {QString::fromStdString(base), QString::fromStdString(o.frameType),
                                o.mode, QString::fromStdString(WardlineCredentials(o))})
                              .toBool();
    const QString message = motion->MessageText();
    if (!accepted || !message.isEmpty())
        std::fprintf(stderr, "wardline: %s\n",
                     message.isEmpty() ? "source refused" : message.toStdString().c_str());
    const bool readOk =
        accepted && (o.mode == 2 ? motion->View().resolution == 3 : motion->Areas().loaded);
    if (o.dump)
        std::printf("%s\n", SetupJson(*motion, o.mode).c_str());
    ApplyEdits(*hosted, *motion, o);
    if (page)
        page->Refresh();
    bool applied = true;
    if (o.apply && readOk) {
        if (o.mode == 2)
            motion->ConfirmView();
        else
            Call(*hosted, "MotionApply");
        applied = motion->LastSaveConfirmed();
        if (!motion->MessageText().isEmpty())
            std::fprintf(stderr, "wardline: %s\n", motion->MessageText().toStdString().c_str());
    }
    if (o.watchSeconds > 0) {
        const int ticks = static_cast<int>(o.watchSeconds * 5);
        QElapsedTimer clock;
        clock.start();
        for (int t = 0; t < ticks; ++t) {
            Wait(200);
            std::printf("%lld", static_cast<long long>(clock.elapsed()));
            for (int n = 0; n < motion::kAreaCount; ++n)
                std::printf(" %lld", Call(*hosted, "GetMotionIndicator", {n}).toLongLong());
            std::printf("\n");
            std::fflush(stdout);
        }
    }
    if (!o.screenshot.empty()) {
        // Let the first picture arrive (up to 3 s).
        for (int t = 0; t < 30 && o.mode != 2 && readOk && motion->PicturesDrawn() == 0; ++t)
            Wait(100);
        Wait(100);
        QWidget* target = page ? static_cast<QWidget*>(page.get()) : control;
        if (!target->grab().save(QString::fromStdString(o.screenshot))) {
            std::fprintf(stderr, "wardline: cannot write %s\n", o.screenshot.c_str());
            Call(*hosted, "StopPlay");
            return 1;
        }
    }
    // The view mode works on the snapshot: one that failed (its message is shown) fails the
    // run too, and so does an --apply the camera did not confirm.
    const bool viewShown = o.mode != 2 || message.isEmpty();
    int code = readOk && viewShown && applied ? 0 : 2;
    if (!o.headless)
        code = QApplication::exec();
    if (const std::string said = motion->EngineText(); !said.empty())
        std::fprintf(stderr, "wardline: %s\n", said.c_str());
    Call(*hosted, "StopPlay");
    return code;
}

} // namespace kestrova::wardline
