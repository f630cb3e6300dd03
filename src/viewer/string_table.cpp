#include "viewer/string_table.h"

#include <array>
#include <utility>

namespace kestrova::viewer {

namespace {

constexpr std::array<std::pair<int, std::string_view>, 10> kStrings{{
    {kStrControlName, "Kestrova Control"},
    {kStrPropertyPageName, "Kestrova Property Page"},
    {kStrGeneral, "General"},
    {kStrNoControlRight, "This user doesn't have control right."},
    {kStrAccessLater, "After a while,\nplease access again."},
    {kStrUnknownError, "Unknow error."},
    {kStrLoginFailed, "Login failed. Username or password not recognized."},
    {kStrCannotConnect, "Can not connect."},
    {kStrCameraBusy, "Unable to connect to Camera - too many users already connected or "
                     "device is busy. Please try again later."},
    {kStrAnswerTooLarge, "The camera's answer was too large."},
}};

} // namespace

std::string_view LoadString(int id) {
    for (const auto& [key, text] : kStrings)
        if (key == id)
            return text;
    return {};
}

} // namespace kestrova::viewer
