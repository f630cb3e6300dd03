// kestrova: hosts the viewer control in a window with the page's buttons, or headless,
// against a camera URL or a built-in simulated camera.
#include "host_options.h"
#include "host_run.h"
#include "hosting/hosted_control.h"
#include "page_window.h"
#include "viewer/player_host_interface.h"

#include <QApplication>
#include <QTimer>
#include <QWidget>
#include <cstdio>
#include <cstring>
#include <memory>

using namespace kestrova;

int main(int argc, char** argv) {
    bool headless = false;
    for (int i = 1; i < argc; ++i)
        headless = headless || std::strcmp(argv[i], "--headless") == 0;
    // Without a display the window cannot open: run offscreen then too.
    if (headless ||
        (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") &&
         qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QStringList args = QApplication::arguments();
    args.removeFirst();
    std::string error;
    bool help = false;
    auto options = app::ParseHostOptions(args, error, help);
    if (help) {
        std::fputs(app::HostUsage(), stdout);
        return 0;
    }
    if (!options) {
        std::fprintf(stderr, "kestrova: %s\n%s", error.c_str(), app::HostUsage());
        return 2;
    }
    if (QGuiApplication::platformName() == QLatin1String("offscreen"))
        options->headless = true;
    if (options->headless && options->seconds < 0)
        options->seconds = 5;

    // The program ships the viewer module: register it, as its set-up would, and make the
    // control from its ProgID like a page does.
    auto hosted = hosting::HostedControl::CreateShipped("libkestrova.so",
                                                        {".", "../lib", KESTROVA_MODULE_DIR},
                                                        "KESTROVA.KestrovaCtrl.1", nullptr, &error);
    if (!hosted) {
        std::fprintf(stderr, "kestrova: %s\n", error.c_str());
        return 1;
    }
    auto* player = hosted->As<viewer::PlayerHostInterface>();
    if (!player || !hosted->Widget()) {
        std::fprintf(stderr, "kestrova: %s does not make a viewer control this program can host\n",
                     hosted->ModulePath().c_str());
        return 1;
    }

    std::unique_ptr<app::PageWindow> page;
    if (options->headless) {
        hosted->Widget()->show();
    } else {
        page = std::make_unique<app::PageWindow>(*hosted);
        page->show();
    }
    app::HostRun run(*options, *hosted);
    if (!run.Start(error)) {
        std::fprintf(stderr, "kestrova: %s\n", error.c_str());
        if (options->stats)
            std::printf("%s\n", run.StatsJson().c_str());
        return 1;
    }
    std::fprintf(stderr, "kestrova: playing %s\n", run.CameraUrl().c_str());
    int status = 0;
    bool finished = false;
    auto finish = [&] {
        if (finished)
            return;
        finished = true;
        status = run.Finish();
        if (options->stats)
            std::printf("%s\n", run.StatsJson().c_str());
        std::fflush(stdout);
    };
    if (options->seconds >= 0)
        QTimer::singleShot(static_cast<int>(options->seconds * 1000), &app, [&] {
            finish();
            QApplication::quit();
        });
    QObject::connect(&app, &QApplication::lastWindowClosed, &app, [&] {
        finish();
        QApplication::quit();
    });
    app.exec();
    finish();
    return status;
}
