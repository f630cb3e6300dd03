// Serves one behaviour of the hostile camera until interrupted, for trying the programs
// against it by hand: hostile_camera NAME, or hostile_camera --list.
#include "hostile/hostile_camera.h"

#include <csignal>
#include <cstdio>
#include <string>
#include <unistd.h>

int main(int argc, char** argv) {
    using namespace kestrova::hostile;
    const std::string name = argc > 1 ? argv[1] : "--list";
    const Behaviour* behaviour = FindBehaviour(name);
    if (!behaviour) {
        for (const Behaviour& b : Behaviours())
            std::printf("%-24s %s\n", b.name.c_str(), b.what.c_str());
        return name == "--list" ? 0 : 2;
    }
    sigset_t stop;
    sigemptyset(&stop);
    sigaddset(&stop, SIGINT);
    sigaddset(&stop, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stop, nullptr); // the server's threads inherit the mask
    HostileCamera camera(*behaviour);
    std::printf("%s\n", camera.Base().c_str());
    std::fflush(stdout);
    int signal = 0;
    sigwait(&stop, &signal);
    return 0;
}
