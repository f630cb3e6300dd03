#include "viewer/save_target.h"

#include <algorithm>
#include <cctype>

namespace kestrova::viewer {

namespace {

// The extension of the file-name part, without its dot; empty when there is none.
std::string Extension(const std::string& path) {
    const auto slash = path.find_last_of('/');
    const auto name = slash == std::string::npos ? 0 : slash + 1;
    const auto dot = path.find_last_of('.');
    if (dot == std::string::npos || dot < name)
        return {};
    return path.substr(dot + 1);
}

} // namespace

SaveTarget ResolveSaveTarget(const std::string& chosenPath, bool jpgFilter) {
    SaveTarget t{chosenPath, jpgFilter ? ImageFormat::Jpeg : ImageFormat::Bmp};
    const auto slash = chosenPath.find_last_of('/');
    const auto dot = chosenPath.find_last_of('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash))
        t.path += jpgFilter ? ".jpg" : ".bmp";
    return t;
}

bool PathWantsJpeg(const std::string& path) {
    std::string ext = Extension(path);
    std::transform(ext.begin(), ext.end(), ext.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return ext == "jpg" || ext == "jpeg";
}

} // namespace kestrova::viewer
