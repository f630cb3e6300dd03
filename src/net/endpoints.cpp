#include "net/endpoints.h"

#include <stdexcept>

namespace kestrova::net {

const Endpoint& GetEndpoint(EndpointId id) {
    for (const Endpoint& e : kEndpoints) {
        if (e.id == id)
            return e;
    }
    throw std::invalid_argument("unknown camera endpoint");
}

std::string EndpointUrl(std::string_view base, EndpointId id) {
    std::string url(base);
    url += GetEndpoint(id).path;
    return url;
}

std::string ViewerBase(std::string_view sourceUrl, bool asf) {
    const std::string_view name =
        GetEndpoint(asf ? EndpointId::AsfStream : EndpointId::MJpegStream).path;
    const std::size_t at = sourceUrl.find(name);
    if (at == std::string_view::npos)
        return {};
    return std::string(sourceUrl.substr(0, at));
}

std::string MJpegUrlWithSpeed(std::string_view mjpegUrl, std::string_view frameRate) {
    std::string url(mjpegUrl);
    if (!frameRate.empty() && frameRate != "Fast") {
        url += "?Speed=";
        url += frameRate;
    }
    return url;
}

std::string PanTiltPositionUrl(std::string_view panTiltUrl, int pan, int tilt) {
    std::string url(panTiltUrl);
    url += "?position=" + std::to_string(pan) + "," + std::to_string(tilt) + ",10";
    return url;
}

} // namespace kestrova::net
