// The two extension conventions of Web servers: ".html", ".jpeg", ".mpeg", ".aiff", ".ping"
// on UNIX and Macintosh servers, ".htm", ".jpg", ".mpg", ".aif", ".png" on Windows servers.
#pragma once

#include <string>

namespace ts {

// The extension a Web file of kind nType (FT_HTML or a media kind) with extension ext (no
// dot) gets under the convention (WEB_EXT_WINDOWS or WEB_EXT_UNIX); empty when it keeps its
// own.
std::string WebExtensionFor(int nType, const std::string& ext, int nConvention);

}  // namespace ts
