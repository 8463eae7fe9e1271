#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "config/file_handle.h"
#include "http/streamed_body.h"
#include "responses/folder_walk.h"

struct archive;

namespace quorvane::responses {
struct ZipOutput;
}

namespace quorvane::responses {

struct ZipChoice {
    // The folder every entry is put in, so that unpacking makes one folder
    // rather than scattering the files where it runs; empty: none. A name
    // that is not a single plain segment is ignored.
    std::string topName;
    // Only these names of the start folder go in, with what lies below
    // them; empty: all. A name naming nothing shown is just absent.
    std::vector<std::string> picks;
};

// How many zips are made at once. Each holds a walk's descriptors and takes
// the engine's time while it is sent, so past the bound a visitor waits
// rather than every other visitor. A slot is held while its zip lives.
class ZipSlots {
  public:
    class Slot {
      public:
        Slot() = default;
        explicit Slot(std::shared_ptr<size_t> used) : used_(std::move(used)) { ++*used_; }
        Slot(Slot&& other) noexcept = default;
        Slot& operator=(Slot&& other) noexcept = default;
        ~Slot() {
            if (used_) {
                --*used_;
            }
        }

      private:
        std::shared_ptr<size_t> used_;
    };

    explicit ZipSlots(size_t most) : most_(most) {}
    // A slot, or nothing while every one is held.
    std::optional<Slot> Take() {
        return *used_ < most_ ? std::optional<Slot>(Slot(used_)) : std::nullopt;
    }

  private:
    size_t most_;
    std::shared_ptr<size_t> used_ = std::make_shared<size_t>(0);
};

// A folder's tree as a zip, made while it is sent: each call to Next reads
// the next entries and 64 KiB pieces of the current file until about 64 KiB
// of archive are ready, so memory stays flat whatever the files weigh (the
// central directory at the end grows with the number of entries, which the
// walk bounds). Names are UTF-8: a byte that is not becomes U+FFFD, and a
// backslash '_'. Files already compressed are stored, others deflated;
// ZIP64 where sizes or offsets pass 4 GiB.
//
// The zip fails, and ends without its directory so no client takes it for
// whole, when a file cannot be read to the length it had when its entry
// began, or when the walk was cut short by one of its bounds.
class FolderZip : public http::StreamedBody {
  public:
    FolderZip(FolderWalk walk, ZipChoice choice, ZipSlots::Slot slot = {});
    ~FolderZip() override;
    FolderZip(const FolderZip&) = delete;
    FolderZip& operator=(const FolderZip&) = delete;

    std::string_view Next() override;
    bool Failed() const override { return failed_; }

  private:
    void Step();
    void BeginEntry(const WalkEntry& entry);
    bool WriteHeader(const std::vector<std::string>& segments, const struct stat& info, bool folder,
                     uint64_t size);
    void CopyPiece();
    void Finish();
    void Fail();
    void GiveUp();

    FolderWalk walk_;
    ZipSlots::Slot slot_;
    std::string topName_;
    std::string ready_;   // archive bytes made, not yet handed out (outlives the archive)
    std::string handed_;  // what the last Next returned
    std::unique_ptr<ZipOutput> output_;  // outlives the archive
    std::unique_ptr<struct archive, int (*)(struct archive*)> archive_;
    std::vector<char> piece_;
    config::FileHandle file_;  // the file being copied
    uint64_t left_ = 0;        // its bytes still to copy
    bool finished_ = false;
    bool dropping_ = false;  // given up: what the archive still writes goes nowhere
    bool failed_ = false;
};

// Whether a file of this name is stored rather than deflated: its own
// format compresses already.
bool StoredInZip(std::string_view name);

// An RFC 6266 Content-Disposition value offering the file under this name:
// an ASCII fallback (quotes, backslashes, percent signs, controls and other
// characters as '_') and the UTF-8 name percent-encoded (RFC 8187); to be
// saved ("attachment"), or shown where it can be ("inline").
std::string AttachmentDisposition(std::string_view filename, std::string_view kind = "attachment");

}  // namespace quorvane::responses
