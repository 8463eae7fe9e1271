#include "dav/upload.h"

#include <fcntl.h>
#include <openssl/rand.h>
#include <stdio.h>
#include <unistd.h>

#include <array>
#include <cerrno>

#include "dav/beneath.h"

namespace quorvane::dav {

namespace {

constexpr uint64_t kFreeCheckEvery = 16 * 1024 * 1024;

http::Response Answer(http::Status status) {
    http::Response response(status);
    response.LengthHere();
    return response;
}

}  // namespace

std::string PartFileName() {
    std::array<unsigned char, 8> bytes{};
    RAND_bytes(bytes.data(), static_cast<int>(bytes.size()));
    std::string name = ".quorvane-part-";
    for (unsigned char byte : bytes) {
        name += "0123456789abcdef"[byte >> 4];
        name += "0123456789abcdef"[byte & 15];
    }
    return name;
}

std::unique_ptr<Upload> Upload::Begin(UploadPlace place, bool unnamedAllowed) {
    std::unique_ptr<Upload> upload(new Upload(std::move(place)));
    const int folder = upload->place_.folder.Get();
    if (unnamedAllowed) {
        upload->file_.Reset(::openat(folder, ".", O_TMPFILE | O_RDWR | O_CLOEXEC, 0644));
    }
    if (!upload->file_) {
        upload->partName_ = PartFileName();
        upload->file_.Reset(::openat(folder, upload->partName_.c_str(),
                                     O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644));
    }
    if (!upload->file_) {
        upload->partName_.clear();
        return nullptr;
    }
    return upload;
}

Upload::~Upload() {
    if (!partName_.empty()) {
        ::unlinkat(place_.folder.Get(), partName_.c_str(), 0);
    }
}

bool Upload::Write(std::string_view bytes) {
    if (failed_) {
        return false;
    }
    sinceFreeCheck_ += bytes.size();
    if (sinceFreeCheck_ >= kFreeCheckEvery) {
        sinceFreeCheck_ = 0;
        const std::optional<uint64_t> free = FreeBytes(file_.Get());
        if (!free || *free < place_.keepFree) {
            failed_ = http::Status::kInsufficientStorage;
            return false;
        }
    }
    while (!bytes.empty()) {
        const ssize_t wrote = ::write(file_.Get(), bytes.data(), bytes.size());
        if (wrote < 0 && errno == EINTR) {
            continue;
        }
        if (wrote <= 0) {
            failed_ = errno == ENOSPC || errno == EDQUOT ? http::Status::kInsufficientStorage
                                                         : http::Status::kInternalServerError;
            return false;
        }
        bytes.remove_prefix(static_cast<size_t>(wrote));
        written_ += static_cast<uint64_t>(wrote);
    }
    return true;
}

// Some file systems will not link an unnamed file in: its bytes are copied
// to a part file instead.
bool Upload::CopyToPart(const std::string& part) {
    const config::FileHandle copy(::openat(place_.folder.Get(), part.c_str(),
                                           O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                                           0644));
    if (!copy) {
        return false;
    }
    loff_t from = 0;
    for (uint64_t left = written_; left > 0;) {
        const ssize_t copied = ::copy_file_range(file_.Get(), &from, copy.Get(), nullptr, left, 0);
        if (copied <= 0) {
            ::unlinkat(place_.folder.Get(), part.c_str(), 0);
            return false;
        }
        left -= static_cast<uint64_t>(copied);
    }
    return true;
}

// Gives the finished file its name: an unnamed file is linked in under a
// part name first, so taking the final name is one rename either way.
bool Upload::Publish(bool& replaced) {
    const int folder = place_.folder.Get();
    if (partName_.empty()) {
        const std::string part = PartFileName();
        const std::string self = "/proc/self/fd/" + std::to_string(file_.Get());
        if (::linkat(AT_FDCWD, self.c_str(), folder, part.c_str(), AT_SYMLINK_FOLLOW) != 0 &&
            !CopyToPart(part)) {
            return false;
        }
        partName_ = part;
    }
    const std::optional<struct stat> existing = EntryStatus(folder, place_.name);
    replaced = existing.has_value();
    const unsigned flags = place_.replace ? 0 : RENAME_NOREPLACE;
    if (existing && (!place_.replace || !S_ISREG(existing->st_mode))) {
        return false;
    }
    if (::renameat2(folder, partName_.c_str(), folder, place_.name.c_str(), flags) != 0) {
        return false;
    }
    partName_.clear();
    return true;
}

http::Response Upload::Finish(std::string& logNote) {
    logNote = place_.shownName + " (" + std::to_string(written_) + " bytes)";
    if (failed_) {
        return Answer(*failed_);
    }
    bool replaced = false;
    if (!Publish(replaced)) {
        // A file of the name appeared meanwhile where none may be replaced.
        return Answer(errno == EEXIST || !place_.replace ? http::Status::kConflict
                                                         : http::Status::kInternalServerError);
    }
    return Answer(replaced ? http::Status::kNoContent : http::Status::kCreated);
}

}  // namespace quorvane::dav
