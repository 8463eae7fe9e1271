#pragma once

#include <sys/types.h>

#include <chrono>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>

namespace quorvane::responses {

// The system's table of media types (a type, then its extensions, on each
// line; "#" starts a comment), as in /etc/mime.types. The table is read on
// first use and read again once the file's identity changes; the identity is
// looked at no more than once a second, so a lookup costs no system call.
// When an extension is listed twice, its first type holds.
//
// Not safe for use from several threads at once: the engine's one thread owns
// it.
class SystemMediaTypes {
  public:
    using Clock = std::chrono::steady_clock;

    explicit SystemMediaTypes(std::filesystem::path table);

    // The type for the text after the last "." of the file name, letter case
    // ignored; nothing when the name has no such text or the table does not
    // list it (or is missing).
    std::optional<std::string> TypeOf(std::string_view fileName, Clock::time_point now);

  private:
    struct Identity {
        bool exists = false;
        dev_t device = 0;
        ino_t inode = 0;
        off_t size = 0;
        time_t modifiedSeconds = 0;
        long modifiedNs = 0;
        bool operator==(const Identity&) const = default;
    };

    void Refresh(Clock::time_point now);
    Identity Examine() const;
    void Load();

    std::filesystem::path path_;
    std::optional<Clock::time_point> checkedAt_;
    Identity identity_;
    std::unordered_map<std::string, std::string> types_;  // lower-case extension to type
};

}  // namespace quorvane::responses
