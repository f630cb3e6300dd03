#include "host_options.h"

#include <QByteArray>

namespace kestrova::app {

const char* HostUsage() {
    return "usage: kestrova [options] [camera]\n"
           "  The camera is its web address (http://HOST:PORT/), a stream URL\n"
           "  (.../img/video.asf, .../img/mjpeg.cgi) or HOST[:PORT], with user:pass@\n"
           "  before the host if wanted. Without one, a window asks for a camera (Ctrl+O);\n"
           "  headless runs and runs with --seconds, --stats or output files start a\n"
           "  built-in simulated camera on loopback instead. Several cameras make a wall.\n"
           "  --type mpeg4|jpeg|both  stream kind (built-in camera: what it announces;\n"
           "                          both: MPEG-4 for the first half, Motion-JPEG after)\n"
           "  --rate R                frame rate passed to SetSource (Motion-JPEG speed)\n"
           "  --pantilt RIGHTS        pan/tilt rights passed to SetSource\n"
           "  --user U --password P   credentials (default admin/admin)\n"
           "  --auth STRING           the credential string as a page passes it\n"
           "  --seconds N             run N seconds (headless default 5)\n"
           "  --snapshot PATH         snapshot after the first picture (.jpg: JPEG, else BMP)\n"
           "  --record PATH           record the ASF stream\n"
           "  --audio-wav PATH        play the sound into a WAV file instead of the sound card\n"
           "  --screenshot PATH       PNG of the control at the end\n"
           "  --volume 0..9           audio volume (default 9)\n"
           "  --size WxH              picture size of the built-in camera (default 320x240)\n"
           "  --stats                 one JSON line at exit\n"
           "  --headless              no window (offscreen)\n";
}

std::optional<HostOptions> ParseHostOptions(const QStringList& args, std::string& error,
                                            bool& help) {
    HostOptions o;
    help = false;
    for (int i = 0; i < args.size(); ++i) {
        const QString a = args[i];
        auto value = [&](std::string& out) {
            if (i + 1 >= args.size()) {
                error = "missing value after " + a.toStdString();
                return false;
            }
            out = args[++i].toStdString();
            return true;
        };
        std::string v;
        if (a == "--help" || a == "-h") {
            help = true;
            return o;
        } else if (a == "--headless") {
            o.headless = true;
        } else if (a == "--stats") {
            o.stats = true;
        } else if (a == "--type") {
            if (!value(o.type))
                return std::nullopt;
            if (o.type != "mpeg4" && o.type != "jpeg" && o.type != "both") {
                error = "--type must be mpeg4, jpeg or both";
                return std::nullopt;
            }
        } else if (a == "--rate") {
            if (!value(o.rate))
                return std::nullopt;
        } else if (a == "--pantilt") {
            if (!value(o.panTilt))
                return std::nullopt;
        } else if (a == "--user") {
            if (!value(o.user))
                return std::nullopt;
            o.userGiven = true;
        } else if (a == "--password") {
            if (!value(o.password))
                return std::nullopt;
            o.userGiven = true;
        } else if (a == "--auth") {
            if (!value(o.auth))
                return std::nullopt;
            o.userGiven = true;
        } else if (a == "--snapshot") {
            if (!value(o.snapshot))
                return std::nullopt;
        } else if (a == "--record") {
            if (!value(o.record))
                return std::nullopt;
        } else if (a == "--audio-wav") {
            if (!value(o.audioWav))
                return std::nullopt;
        } else if (a == "--screenshot") {
            if (!value(o.screenshot))
                return std::nullopt;
        } else if (a == "--seconds" || a == "--volume" || a == "--size") {
            if (!value(v))
                return std::nullopt;
            bool ok = false;
            const QString q = QString::fromStdString(v);
            if (a == "--seconds") {
                o.seconds = q.toDouble(&ok);
                ok = ok && o.seconds >= 0;
            } else if (a == "--volume") {
                o.volume = q.toInt(&ok);
                ok = ok && o.volume >= 0 && o.volume <= 9;
            } else {
                const QStringList wh = q.split('x');
                bool okW = false, okH = false;
                if (wh.size() == 2) {
                    o.width = wh[0].toInt(&okW);
                    o.height = wh[1].toInt(&okH);
                }
                ok = okW && okH && o.width >= 16 && o.height >= 16 && o.width <= 1920 &&
                     o.height <= 1088 && o.width % 16 == 0 && o.height % 16 == 0;
            }
            if (!ok) {
                error = "bad value for " + a.toStdString() + ": " + v;
                return std::nullopt;
            }
        } else if (a.startsWith("--")) {
            error = "unknown option " + a.toStdString();
            return std::nullopt;
        } else if (o.url.empty()) {
            o.url = a.toStdString();
        } else {
            o.moreCameras.push_back(a.toStdString());
        }
    }
    if (!o.moreCameras.empty() && (o.headless || o.Scripted())) {
        error = "several cameras are shown only in a window session (no --headless, "
                "--seconds, --stats or output files)";
        return std::nullopt;
    }
    if (!o.url.empty() && o.type == "both") {
        error = "--type both needs the built-in camera";
        return std::nullopt;
    }
    return o;
}

bool ResolveCameraAddress(HostOptions& o, std::string& error) {
    if (o.url.empty())
        return true;
    auto address = ParseCameraAddress(o.url, error);
    if (!address)
        return false;
    if (!address->kind.empty() && o.type != "both")
        o.type = address->kind;
    o.url = address->StreamUrl(o.type != "jpeg");
    if (address->hasCredentials && !o.userGiven) {
        o.user = address->user;
        o.password = address->password;
    }
    o.address = std::move(address);
    return true;
}

std::string CredentialString(const HostOptions& options) {
    if (!options.auth.empty())
        return options.auth;
    return "Basic " + QByteArray::fromStdString(options.user + ":" + options.password)
                          .toBase64()
                          .toStdString();
}

} // namespace kestrova::app
