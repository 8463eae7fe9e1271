// quorvane-thumbnailer: the server's decoder child. Reads one image on
// standard input and writes its thumbnail to standard output; exits 0 when
// it did, 1 otherwise, with the reason on standard error.
#include <vips/vips.h>

#include <cstdio>
#include <string>

#include "thumbnails/thumbnail_render.h"

int main(int argc, char** argv) {
    namespace thumbnails = quorvane::thumbnails;
    if (!thumbnails::ConfineDecoder()) {
        std::fputs("quorvane-thumbnailer: its limits could not be set\n", stderr);
        return 1;
    }
    std::string error;
    if (!thumbnails::StartVips(argc > 0 ? argv[0] : "quorvane-thumbnailer", error)) {
        std::fprintf(stderr, "quorvane-thumbnailer: %s\n", error.c_str());
        return 1;
    }
    const bool made = thumbnails::RenderThumbnail(0, 1, error);
    if (!made) {
        std::fprintf(stderr, "quorvane-thumbnailer: %s\n", error.c_str());
    }
    vips_shutdown();
    return made ? 0 : 1;
}
