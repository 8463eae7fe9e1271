#include "responses/validators.h"

#include <algorithm>
#include <cstdio>

namespace quorvane::responses {

namespace {

class Fnv1a {
  public:
    void Add(std::string_view bytes) {
        for (unsigned char c : bytes) {
            AddByte(c);
        }
    }
    void Add(uint64_t value) {
        for (int i = 0; i < 8; ++i) {
            AddByte(static_cast<unsigned char>(value >> (8 * i)));
        }
    }
    uint64_t Value() const { return hash_; }

  private:
    void AddByte(unsigned char c) { hash_ = (hash_ ^ c) * 0x100000001b3ULL; }

    uint64_t hash_ = 0xcbf29ce484222325ULL;
};

}  // namespace

std::string DocumentEtag(const struct stat& file, std::optional<std::string_view> footer) {
    // Unsigned, so even a time centuries ahead wraps rather than overflows.
    const uint64_t modifiedNs = static_cast<uint64_t>(file.st_mtim.tv_sec) * 1'000'000'000U +
                                static_cast<uint64_t>(file.st_mtim.tv_nsec);
    // Device and inode go in hashed: they say where the file lies and are no
    // business of a client.
    Fnv1a hash;
    hash.Add(static_cast<uint64_t>(file.st_dev));
    hash.Add(static_cast<uint64_t>(file.st_ino));
    if (footer) {
        hash.Add(uint64_t{1});  // so an empty footer differs from none
        hash.Add(*footer);
    }
    char text[80];
    std::snprintf(
        text, sizeof text, "\"%llx-%llx-%016llx\"", static_cast<unsigned long long>(file.st_size),
        static_cast<unsigned long long>(modifiedNs), static_cast<unsigned long long>(hash.Value()));
    return text;
}

std::chrono::sys_seconds LastModified(const struct stat& file, std::chrono::sys_seconds now) {
    return std::min(std::chrono::sys_seconds{std::chrono::seconds{file.st_mtim.tv_sec}}, now);
}

}  // namespace quorvane::responses
