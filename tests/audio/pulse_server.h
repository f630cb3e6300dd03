#pragma once

// A private PulseAudio server with one null sink, started and stopped by a test, and a
// recording of that sink's monitor: what a listener would have heard. The server lives
// in a temporary folder of its own (runtime folder, socket, pid file), so tests that run
// side by side never share one. Needs the pulseaudio and parecord programs.
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdint>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace kestrova::audio::testing {

class PulseServer {
public:
    PulseServer() = default;
    PulseServer(const PulseServer&) = delete;
    PulseServer& operator=(const PulseServer&) = delete;
    ~PulseServer() {
        StopRecording();
        Stop();
    }

    // Starts the server and points this process's sound clients at it (PULSE_SERVER);
    // false with a reason when it cannot run here.
    bool Start(std::string& why) {
        char dirName[] = "/tmp/kestrova-pulse-XXXXXX";
        if (::mkdtemp(dirName) == nullptr) {
            why = "no temporary folder";
            return false;
        }
        dir_ = dirName;
        socket_ = dir_ / "native";
        const std::string protocol =
            "--load=module-native-protocol-unix auth-anonymous=1 socket=" + socket_.string();
        const int status = Run({"pulseaudio", "-n", "--daemonize=yes", "--exit-idle-time=-1",
                                "--use-pid-file=yes", "--load=module-null-sink", protocol},
                               (dir_ / "server.log").string());
        if (status != 0 || !WaitFor([&] { return std::filesystem::exists(socket_); })) {
            std::ifstream log(dir_ / "server.log");
            why =
                "pulseaudio did not start: " + std::string(std::istreambuf_iterator<char>(log), {});
            return false;
        }
        std::ifstream pidFile(dir_ / "pulse" / "pid");
        pidFile >> serverPid_;
        // An idle null sink runs with two seconds of latency and hands its monitor sound
        // late and in big blocks; a silent low-latency stream keeps it running in small ones.
        keeper_ = Spawn({"pacat", "--server=" + Address(), "--playback", "--raw", "--format=s16le",
                         "--rate=8000", "--channels=1", "--latency-msec=20", "/dev/zero"},
                        (dir_ / "keeper.log").string());
        if (serverPid_ <= 0 || keeper_ <= 0) {
            why = "pulseaudio or pacat did not run";
            return false;
        }
        // The sink switches to the keeper's latency only after its first long block: wait
        // for that (a first recording gets its first bytes) before anything plays.
        if (!StartRecording()) {
            why = "the null sink's monitor delivered nothing";
            return false;
        }
        StopRecording();
        ::setenv("PULSE_SERVER", Address().c_str(), 1);
        return true;
    }

    std::string Address() const { return "unix:" + socket_.string(); }

    // Records the null sink's monitor as 8000 Hz mono 16-bit samples; returns once the
    // recording runs (its first bytes are in the file).
    bool StartRecording() {
        const std::string server = "--server=" + Address();
        const std::filesystem::path file = dir_ / "monitor.raw";
        recorder_ =
            Spawn({"parecord", server, "--device=null.monitor", "--rate=8000", "--channels=1",
                   "--format=s16le", "--raw", "--latency-msec=20", file.string()},
                  (dir_ / "recorder.log").string());
        std::error_code ec;
        return recorder_ > 0 && WaitFor([&] {
                   const auto size = std::filesystem::file_size(file, ec);
                   return !ec && size > 0;
               });
    }

    // Ends the recording and returns its samples.
    std::vector<std::int16_t> StopRecording() {
        if (recorder_ <= 0) {
            return {};
        }
        ::kill(recorder_, SIGINT);
        int status = 0;
        ::waitpid(recorder_, &status, 0);
        recorder_ = -1;
        std::ifstream in(dir_ / "monitor.raw", std::ios::binary);
        const std::vector<char> bytes{std::istreambuf_iterator<char>(in), {}};
        std::vector<std::int16_t> samples(bytes.size() / 2);
        for (std::size_t i = 0; i < samples.size(); ++i) {
            samples[i] =
                static_cast<std::int16_t>(static_cast<std::uint8_t>(bytes[2 * i]) |
                                          static_cast<std::uint8_t>(bytes[2 * i + 1]) << 8);
        }
        return samples;
    }

    void Stop() {
        if (keeper_ > 0) {
            ::kill(keeper_, SIGTERM);
            ::waitpid(keeper_, nullptr, 0);
            keeper_ = -1;
        }
        if (serverPid_ > 0) {
            ::kill(serverPid_, SIGTERM);
            WaitFor([&] { return ::kill(serverPid_, 0) != 0 && errno == ESRCH; });
            serverPid_ = -1;
        }
        if (!dir_.empty()) {
            std::error_code ec;
            std::filesystem::remove_all(dir_, ec);
            dir_.clear();
        }
    }

private:
    template <typename F> static bool WaitFor(F done) {
        for (int i = 0; i < 500; ++i) {
            if (done()) {
                return true;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return false;
    }

    // Starts `args` with the server's folder as its runtime and home folder and its
    // output in `log`; the child's id, or -1.
    pid_t Spawn(const std::vector<std::string>& args, const std::string& log) const {
        std::vector<char*> argv;
        for (const std::string& a : args) {
            argv.push_back(const_cast<char*>(a.c_str()));
        }
        argv.push_back(nullptr);
        std::vector<std::string> env;
        for (char** e = environ; *e != nullptr; ++e) {
            const std::string var = *e;
            if (var.rfind("XDG_RUNTIME_DIR=", 0) != 0 && var.rfind("HOME=", 0) != 0 &&
                var.rfind("PULSE_SERVER=", 0) != 0) {
                env.push_back(var);
            }
        }
        env.push_back("XDG_RUNTIME_DIR=" + dir_.string());
        env.push_back("HOME=" + dir_.string());
        std::vector<char*> envp;
        for (std::string& e : env) {
            envp.push_back(e.data());
        }
        envp.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, log.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                         0600);
        posix_spawn_file_actions_adddup2(&actions, 1, 2);
        pid_t pid = -1;
        const int rc = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), envp.data());
        posix_spawn_file_actions_destroy(&actions);
        return rc == 0 ? pid : -1;
    }

    // Runs `args` to its end; its exit status, or -1.
    int Run(const std::vector<std::string>& args, const std::string& log) const {
        const pid_t pid = Spawn(args, log);
        int status = 0;
        if (pid <= 0 || ::waitpid(pid, &status, 0) != pid || !WIFEXITED(status)) {
            return -1;
        }
        return WEXITSTATUS(status);
    }

    std::filesystem::path dir_;
    std::filesystem::path socket_;
    pid_t serverPid_ = -1;
    pid_t recorder_ = -1;
    pid_t keeper_ = -1;
};

} // namespace kestrova::audio::testing
