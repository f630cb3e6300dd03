// Fixed pages the camera answers with: its refusal pages and the query lines.
#pragma once

#include <string>
#include <string_view>

namespace kestrova::sim {

struct SimOptions;

// Refusal pages; clients recognise them by their first bytes, so nothing may precede them.
inline constexpr std::string_view kUnauthorizedPage =
    "<HTML><HEAD><TITLE>401 Unauthorized</TITLE></HEAD>\r\n"
    "<BODY><H1>401 Unauthorized</H1>\r\nYour client does not have permission to get URL "
    "from this server.</BODY></HTML>\r\n";
inline constexpr std::string_view kBusyPage =
    "<HTML><HEAD><TITLE>503 Service Unavailable</TITLE></HEAD>\r\n"
    "<BODY><H1>503 Service Unavailable</H1>\r\nToo many users are connected or the device "
    "is busy.</BODY></HTML>\r\n";
inline constexpr std::string_view kForbiddenPage =
    "<HTML><HEAD><TITLE>403 Forbidden</TITLE></HEAD>\r\n"
    "<BODY><H1>403 Forbidden</H1>\r\nThe device is busy.</BODY></HTML>\r\n";

// "img/query.cgi": the user's rights.
std::string ImageQueryPage(const SimOptions& options);
// "util/query.cgi": the stream type and the audio output.
std::string UtilQueryPage(const SimOptions& options);

} // namespace kestrova::sim
