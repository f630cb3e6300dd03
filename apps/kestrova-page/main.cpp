// kestrova-page: runs a page script that creates the registered controls by ProgID and
// scripts them, in a window, or offscreen with --headless.
#include "hosting/hosted_control.h"
#include "page_host.h"
#include "page_options.h"
#include "pool_threads_exit.h"

#include <QApplication>
#include <QFileInfo>
#include <QTimer>
#include <cstdio>
#include <optional>

using kestrova::page::PageHost;

int main(int argc, char** argv) {
    QStringList args;
    for (int i = 1; i < argc; ++i)
        args << QString::fromLocal8Bit(argv[i]);
    QString error;
    const auto options = kestrova::page::ParsePageOptions(args, &error);
    if (!options) {
        if (!error.isEmpty())
            std::fprintf(stderr, "kestrova-page: %s\n", qPrintable(error));
        std::fputs(kestrova::page::PageUsage(), error.isEmpty() ? stdout : stderr);
        return error.isEmpty() ? 0 : 2;
    }
    // Without a display the page can only run offscreen; say so rather than abort.
    const bool noDisplay = qEnvironmentVariableIsEmpty("DISPLAY") &&
                           qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") &&
                           qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM");
    if (!options->headless && noDisplay)
        std::fprintf(stderr, "kestrova-page: no display, running offscreen\n");
    const bool headless = options->headless || noDisplay;
    if (headless)
        qputenv("QT_QPA_PLATFORM", "offscreen");
    if (!options->saveDir.isEmpty() && !QFileInfo(options->saveDir).isDir()) {
        std::fprintf(stderr, "kestrova-page: --save-dir %s is not a folder\n",
                     qPrintable(options->saveDir));
        return 2;
    }
    const kestrova::host::PoolThreadsEndFirst poolThreadsEndFirst;
    QApplication app(argc, argv);
    // What a registration tool does: load each module and call its DllRegisterServer.
    for (const QString& module : options->register_) {
        std::string why;
        if (!kestrova::hosting::RegisterModule(QFileInfo(module).absoluteFilePath().toStdString(),
                                               &why)) {
            std::fprintf(stderr, "kestrova-page: %s\n", why.c_str());
            return 3;
        }
    }

    PageHost host(options->params, headless, options->saveDir, nullptr, options->audioWav);
    // The first end wins: page.quit's status, 1 for a script error, 0 when the page ran
    // out of timers (headless) or its time. An end during the page's first run, before
    // the event loop, is kept for after it.
    std::optional<int> ended;
    auto end = [&ended](int code) {
        if (!ended)
            ended = code;
        QApplication::exit(*ended);
    };
    QObject::connect(&host, &PageHost::finished, &app, end);
    const bool untimed = options->seconds < 0;
    if (headless && untimed)
        QObject::connect(&host, &PageHost::idle, &app, [&end] { end(0); });
    if (!untimed)
        QTimer::singleShot(options->seconds * 1000, &app, [&end] { end(0); });
    if (!host.Run(options->script))
        return 1;
    if (ended)
        return *ended;
    if (headless && untimed && !host.HasTimers())
        return 0;
    return app.exec();
}
