#include "pages.h"

#include "camera_simulator.h"

namespace kestrova::sim {

// Value lines end in a carriage return; the line feed after it keeps the page readable.
std::string ImageQueryPage(const SimOptions& o) {
    return "ptctrl=" + o.ptctrl + "\r\nioctrl=" + o.ioctrl +
           "\r\nwidth=" + std::to_string(o.width) + "\r\nheight=" + std::to_string(o.height) +
           "\r\n";
}

std::string UtilQueryPage(const SimOptions& o) {
    return std::string("type=") + (o.streamType == StreamType::Mpeg4 ? "mpeg4" : "jpeg") +
           "\r\nvoice_out=" + o.voiceOut + "\r\naudio_bits=" + std::to_string(o.audioBits) + "\r\n";
}

} // namespace kestrova::sim
