// kestrova: hosts the viewer control in a window with the page's buttons, or headless,
// against a camera URL or a built-in simulated camera.
#include "camera_wall.h"
#include "host_options.h"
#include "host_run.h"
#include "hosting/hosted_control.h"
#include "pool_threads_exit.h"
#include "viewer/player_host_interface.h"
#include "viewer_window.h"

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
    const host::PoolThreadsEndFirst poolThreadsEndFirst;
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
    std::string addressError;
    const bool addressOk = app::ResolveCameraAddress(*options, addressError);
    if (!addressOk && (options->headless || options->Scripted())) {
        std::fprintf(stderr, "kestrova: %s\n", addressError.c_str());
        return 2;
    }
    if (options->headless && options->seconds < 0)
        options->seconds = 5;

    // The program ships the viewer module: register it, as its set-up would, and make the
    // control from its ProgID like a page does.
    auto hosted = hosting::HostedControl::CreateShipped(
        "libkestrova.so", {KESTROVA_MODULE_DIR_INSTALLED, KESTROVA_MODULE_DIR},
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

    if (!options->moreCameras.empty()) {
        if (options->headless) {
            std::fprintf(stderr, "kestrova: several cameras need a display\n");
            return 2;
        }
        if (!addressOk) {
            std::fprintf(stderr, "kestrova: %s\n", addressError.c_str());
            return 2;
        }
        // A wall: one control per camera, each with its own engine. The first control
        // made above only proved the module can be hosted.
        hosted.reset();
        app::CameraWall wall;
        std::vector<app::CameraAddress> cameras{*options->address};
        for (const std::string& text : options->moreCameras) {
            auto a = app::ParseCameraAddress(text, error);
            if (!a) {
                std::fprintf(stderr, "kestrova: %s\n", error.c_str());
                return 2;
            }
            cameras.push_back(*a);
        }
        wall.show();
        QTimer::singleShot(0, &wall, [&] {
            for (const auto& a : cameras) {
                const bool own = a.hasCredentials && !options->userGiven;
                if (!wall.AddCamera(a, own ? a.user : options->user,
                                    own ? a.password : options->password, a.kind, &error))
                    std::fprintf(stderr, "kestrova: %s\n", error.c_str());
            }
        });
        app.exec();
        return 0;
    }

    if (!options->headless && !options->Scripted()) {
        // A window session a person drives: the window opens the camera itself and stays
        // open whatever the camera does; closing it ends the program with status 0.
        app::ViewerWindow window(*hosted);
        window.show();
        if (!addressOk)
            window.ShowProblem(QString::fromStdString(addressError));
        else if (options->address)
            QTimer::singleShot(0, &window, [&] {
                window.Open(*options->address, options->user, options->password,
                            options->address->kind);
            });
        else
            QTimer::singleShot(0, &window, [&] { window.ShowOpenDialog(); });
        app.exec();
        if (player->SourceReady())
            hosted->Call("StopPlay");
        return 0;
    }

    std::unique_ptr<app::ViewerWindow> page;
    if (options->headless) {
        hosted->Widget()->show();
    } else {
        page = std::make_unique<app::ViewerWindow>(*hosted);
        page->show();
    }

    app::HostRun run(*options, *hosted);
    bool started = false;
    if (page) {
        // A scripted run in a window: the run plays, the window shows what happens.
        player->SetDialogHost(&page->Answers());
        page->Attach(
            options->address, [&] { return started = run.Start(error); },
            [&] { return run.CameraUrl(); });
    } else {
        started = run.Start(error);
    }
    if (!started) {
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
