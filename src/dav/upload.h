#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "config/file_handle.h"
#include "http/body_sink.h"

namespace quorvane::dav {

// Where an upload goes and what it may do there.
struct UploadPlace {
    config::FileHandle folder;  // the folder the file goes in, opened beneath its served folder
    std::string name;           // a name the write rules accepted
    bool replace = false;       // an existing file of the name may be replaced
    uint64_t limit = UINT64_MAX;
    uint64_t keepFree = 0;  // bytes the disk must keep free
    std::string shownName;  // for the log view
};

// A PUT body streamed into an unnamed file in the target folder (O_TMPFILE),
// or, where that cannot be had, a hidden part file the listings never show;
// it takes its name only when complete, so an interrupted upload leaves
// nothing. A file of the name is replaced at once (rename) only when
// allowed, else the upload is refused (nothing replaced by a race either).
class Upload : public http::BodySink {
  public:
    // Nothing when no file can be made in the folder.
    static std::unique_ptr<Upload> Begin(UploadPlace place, bool unnamedAllowed = true);
    ~Upload() override;
    Upload(const Upload&) = delete;
    Upload& operator=(const Upload&) = delete;

    uint64_t Limit() const override { return place_.limit; }
    bool Write(std::string_view bytes) override;
    http::Response Finish(std::string& logNote) override;
    bool Unnamed() const { return partName_.empty(); }

  private:
    explicit Upload(UploadPlace place) : place_(std::move(place)) {}
    bool Publish(bool& replaced);
    bool CopyToPart(const std::string& part);

    UploadPlace place_;
    config::FileHandle file_;
    std::string partName_;  // empty for an unnamed file
    uint64_t written_ = 0;
    uint64_t sinceFreeCheck_ = 0;
    std::optional<http::Status> failed_;
};

// A name that is never shown and never taken by a visitor's file.
std::string PartFileName();

}  // namespace quorvane::dav
