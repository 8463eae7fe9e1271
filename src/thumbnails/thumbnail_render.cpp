#include "thumbnails/thumbnail_render.h"

#include <signal.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <vips/vips.h>

#include <cstdint>
#include <memory>

#include "cgi/child_start.h"
#include "server/limits.h"

namespace quorvane::thumbnails {

namespace {

// The loaders of the file types IsThumbnailable names, with their variants
// for files, buffers and sources.
constexpr const char* kAllowedLoaders[] = {
    "VipsForeignLoadJpeg",  "VipsForeignLoadPng",  "VipsForeignLoadWebp",
    "VipsForeignLoadNsgif", "VipsForeignLoadTiff", "VipsForeignLoadHeif",
};

// Good enough for 256 pixels, and a third the size of the default.
constexpr int kWebpQuality = 80;

struct Unref {
    void operator()(void* object) const { g_object_unref(object); }
};
template <typename T>
using Owned = std::unique_ptr<T, Unref>;

bool Limit(int resource, rlim_t soft, rlim_t hard) {
    const rlimit limit{soft, hard};
    return ::setrlimit(resource, &limit) == 0;
}

std::string VipsError() {
    std::string text = vips_error_buffer();
    vips_error_clear();
    return text;
}

}  // namespace

bool ConfineDecoder() {
    cgi::CloseAllBut(nullptr, 0);
    // A server that ends takes its decoder along. Past the soft processor
    // limit SIGXCPU ends the process; the hard one is a second later.
    bool confined = ::prctl(PR_SET_PDEATHSIG, SIGKILL) == 0 &&
                    ::prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) == 0 && Limit(RLIMIT_CORE, 0, 0) &&
                    Limit(RLIMIT_CPU, kThumbnailCpuSeconds, kThumbnailCpuSeconds + 1) &&
                    Limit(RLIMIT_FSIZE, kThumbnailOutputLimit, kThumbnailOutputLimit);
#if !defined(__SANITIZE_ADDRESS__)
    // The address sanitizer reserves terabytes of shadow memory up front.
    confined = confined && Limit(RLIMIT_AS, kThumbnailMemory, kThumbnailMemory);
#endif
    return confined;
}

bool StartVips(const char* programName, std::string& error) {
    if (VIPS_INIT(programName) != 0) {
        error = VipsError();
        return false;
    }
    vips_concurrency_set(1);
    vips_cache_set_max(0);
    vips_block_untrusted_set(TRUE);
    vips_operation_block_set("VipsForeignLoad", TRUE);
    for (const char* loader : kAllowedLoaders) {
        vips_operation_block_set(loader, FALSE);
    }
    return true;
}

bool RenderThumbnail(int sourceFd, int outputFd, std::string& error) {
    const Owned<VipsSource> source(vips_source_new_from_descriptor(sourceFd));
    if (!source) {
        error = VipsError();
        return false;
    }
    // The header alone first: a decompression bomb states its size there.
    {
        const Owned<VipsImage> header(vips_image_new_from_source(source.get(), "", "access",
                                                                 VIPS_ACCESS_SEQUENTIAL, nullptr));
        if (!header) {
            error = VipsError();
            return false;
        }
        const std::uint64_t pixels =
            static_cast<std::uint64_t>(vips_image_get_width(header.get())) *
            static_cast<std::uint64_t>(vips_image_get_height(header.get()));
        if (pixels > kMostThumbnailPixels) {
            error = "the image has more pixels than a thumbnail is made of";
            return false;
        }
    }
    VipsImage* made = nullptr;
    if (vips_thumbnail_source(source.get(), &made, kThumbnailSide, "height", kThumbnailSide, "size",
                              VIPS_SIZE_DOWN, nullptr) != 0) {
        error = VipsError();
        return false;
    }
    const Owned<VipsImage> thumbnail(made);
    const Owned<VipsTarget> target(vips_target_new_to_descriptor(outputFd));
    if (!target || vips_webpsave_target(thumbnail.get(), target.get(), "Q", kWebpQuality, "strip",
                                        TRUE, nullptr) != 0) {
        error = VipsError();
        return false;
    }
    return true;
}

}  // namespace quorvane::thumbnails
