#include "camera_address.h"

#include <QString>
#include <QUrl>

namespace kestrova::app {

namespace {

constexpr std::string_view kAsf = "img/video.asf";
constexpr std::string_view kMJpeg = "img/mjpeg.cgi";

std::string Trimmed(std::string_view text) {
    const auto first = text.find_first_not_of(" \t\r\n");
    if (first == std::string_view::npos)
        return {};
    const auto last = text.find_last_not_of(" \t\r\n");
    return std::string(text.substr(first, last - first + 1));
}

} // namespace

std::string CameraAddress::HostPort() const {
    const bool v6 = host.find(':') != std::string::npos;
    return (v6 ? "[" + host + "]" : host) + ":" + std::to_string(port);
}

std::string CameraAddress::StreamUrl(bool mpeg) const {
    return base + std::string(mpeg ? kAsf : kMJpeg);
}

std::string CameraAddress::Display() const {
    return base;
}

std::optional<CameraAddress> ParseCameraAddress(std::string_view typed, std::string& error) {
    std::string text = Trimmed(typed);
    if (text.empty()) {
        error = "No camera address was given.";
        return std::nullopt;
    }
    // Without a scheme the text is HOST[:PORT][/PATH], as people type it.
    if (text.find("://") == std::string::npos)
        text = "http://" + text;
    const QUrl url(QString::fromStdString(text), QUrl::StrictMode);
    const QString scheme = url.scheme().toLower();
    if (scheme != QLatin1String("http")) {
        error = "Only http:// camera addresses can be opened (not " + scheme.toStdString() +
                "://); the camera's web address is the one to use.";
        return std::nullopt;
    }
    if (!url.isValid() || url.host().isEmpty()) {
        error = "\"" + std::string(typed) + "\" is not a camera address.";
        return std::nullopt;
    }
    CameraAddress a;
    a.host = url.host().toStdString();
    a.port = url.port(80);
    if (a.port <= 0 || a.port > 65535) {
        error = "The port in \"" + std::string(typed) + "\" is not between 1 and 65535.";
        return std::nullopt;
    }
    if (!url.userName().isEmpty() || !url.password().isEmpty()) {
        a.hasCredentials = true;
        a.user = url.userName(QUrl::FullyDecoded).toStdString();
        a.password = url.password(QUrl::FullyDecoded).toStdString();
    }
    // The base is the path up to a stream name, or the whole path as a folder.
    std::string path = url.path(QUrl::FullyEncoded).toStdString();
    for (const auto& [name, kind] : {std::pair{kAsf, "mpeg4"}, std::pair{kMJpeg, "jpeg"}}) {
        const auto at = path.find(name);
        if (at != std::string::npos) {
            a.kind = kind;
            path.erase(at);
            break;
        }
    }
    if (path.empty() || path.back() != '/')
        path += '/';
    QUrl base;
    base.setScheme(QStringLiteral("http"));
    base.setHost(url.host());
    if (url.port() > 0)
        base.setPort(url.port());
    a.base = base.toString(QUrl::FullyEncoded).toStdString() + path;
    return a;
}

} // namespace kestrova::app
