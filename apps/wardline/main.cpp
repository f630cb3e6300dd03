// wardline: the motion configuration control against a camera or the built-in one.
#include "pool_threads_exit.h"
#include "wardline_options.h"
#include "wardline_run.h"

#include <QApplication>
#include <cstdio>

int main(int argc, char** argv) {
    QStringList args;
    for (int i = 1; i < argc; ++i)
        args << QString::fromLocal8Bit(argv[i]);
    std::string error;
    bool help = false;
    const auto options = kestrova::wardline::ParseWardlineOptions(args, error, help);
    if (help) {
        std::fputs(kestrova::wardline::WardlineUsage(), stdout);
        return 0;
    }
    if (!options) {
        std::fprintf(stderr, "wardline: %s\n%s", error.c_str(),
                     kestrova::wardline::WardlineUsage());
        return 64;
    }
    if (options->headless && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    const kestrova::host::PoolThreadsEndFirst poolThreadsEndFirst;
    QApplication app(argc, argv);
    return kestrova::wardline::RunWardline(*options);
}
