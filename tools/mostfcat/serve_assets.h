// The web page of "mostfcat serve" (page, script, stylesheet), compiled into
// the program from tools/mostfcat/web/ so that nothing is read at run time.
#pragma once

#include <cstddef>

namespace mostfcat::cli {

struct WebAsset {
    const char* path; // the URL path it is served at ("/" for the page)
    const char* type; // its Content-Type
    const unsigned char* data;
    size_t size;
};

// Defined in the generated serve_assets.cpp.
extern const WebAsset kWebAssets[];
extern const size_t kWebAssetCount;

} // namespace mostfcat::cli
