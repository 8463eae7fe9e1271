#include "responses/folder_zip.h"

#include <archive.h>
#include <archive_entry.h>

#include <algorithm>
#include <cerrno>
#include <iterator>

#include "config/text.h"

namespace quorvane::responses {

namespace {

constexpr size_t kPiece = 64 * 1024;

// Formats that compress their own content: deflating them again costs time
// and gains next to nothing.
constexpr std::string_view kCompressedExtensions[] = {
    "3gp",  "7z",   "aac",  "apk",   "avi",  "avif", "br",  "bz2",  "cab", "deb", "docx",
    "epub", "flac", "gif",  "gz",    "heic", "heif", "jar", "jpeg", "jpg", "jxl", "lz",
    "lz4",  "lzma", "m4a",  "m4v",   "mkv",  "mov",  "mp3", "mp4",  "odp", "ods", "odt",
    "ogg",  "opus", "pdf",  "png",   "pptx", "rar",  "rpm", "tbz2", "tgz", "txz", "webm",
    "webp", "wmv",  "woff", "woff2", "xlsx", "xz",   "zip"};
static_assert(std::is_sorted(std::begin(kCompressedExtensions), std::end(kCompressedExtensions)));

}  // namespace

// Where the archive's bytes go; once the zip is given up, nowhere.
struct ZipOutput {
    std::string& ready;
    const bool& dropping;
};

namespace {

la_ssize_t Collect(struct archive*, void* output, const void* bytes, size_t length) {
    const auto* to = static_cast<const ZipOutput*>(output);
    if (!to->dropping) {
        to->ready.append(static_cast<const char*>(bytes), length);
    }
    return static_cast<la_ssize_t>(length);
}

bool PlainSegment(std::string_view name) {
    return !name.empty() && name != "." && name != ".." &&
           name.find_first_of(std::string_view("/\0", 2)) == std::string_view::npos;
}

// A name as the zip holds it: UTF-8, and no backslash, which extractors on
// Windows take for a separator (so that x\..\..\run.bat could climb out).
std::string ZipName(std::string_view name) {
    std::string zipped = config::ValidUtf8(name);
    std::replace(zipped.begin(), zipped.end(), '\\', '_');
    return zipped;
}

bool AttrChar(unsigned char byte) {
    return (byte >= 'a' && byte <= 'z') || (byte >= 'A' && byte <= 'Z') ||
           (byte >= '0' && byte <= '9') ||
           std::string_view("!#$&+-.^_`|~").find(byte) != std::string_view::npos;
}

}  // namespace

FolderZip::FolderZip(FolderWalk walk, ZipChoice choice, ZipSlots::Slot slot)
    : walk_(std::move(walk)),
      slot_(std::move(slot)),
      output_(new ZipOutput{ready_, dropping_}),
      archive_(archive_write_new(), archive_write_free),
      piece_(kPiece) {
    if (!choice.picks.empty()) {
        walk_.KeepOnly(std::move(choice.picks));
    }
    if (PlainSegment(choice.topName)) {
        topName_ = ZipName(choice.topName);
    }
    struct archive* zip = archive_.get();
    // Names go out as UTF-8 (flagged so) whatever the process's locale. The
    // fastest deflate keeps a download near the disk's pace; text shrinks
    // nearly as much as at the default level, for a third of its time.
    if (!walk_.Opened() || zip == nullptr || archive_write_set_format_zip(zip) != ARCHIVE_OK ||
        archive_write_set_options(zip, "hdrcharset=UTF-8") != ARCHIVE_OK ||
        archive_write_set_options(zip, "compression-level=1") != ARCHIVE_OK ||
        archive_write_set_bytes_per_block(zip, 0) != ARCHIVE_OK ||
        archive_write_open2(zip, output_.get(), nullptr, Collect, nullptr, nullptr) != ARCHIVE_OK) {
        Fail();
        return;
    }
    if (!topName_.empty() && !WriteHeader({}, walk_.StartInfo(), true, 0)) {
        Fail();
    }
}

FolderZip::~FolderZip() {
    GiveUp();
}

// A zip given up is still closed, its last bytes dropped: the library frees
// its output's state only on a close, and a client leaving midway must not
// leave anything behind.
void FolderZip::GiveUp() {
    if (archive_ && !finished_ && !dropping_) {
        dropping_ = true;
        archive_write_close(archive_.get());
    }
}

std::string_view FolderZip::Next() {
    handed_.clear();
    while (!finished_ && !failed_ && ready_.size() < kPiece) {
        Step();
    }
    if (failed_) {
        return {};
    }
    handed_.swap(ready_);
    return handed_;
}

void FolderZip::Step() {
    if (file_) {
        CopyPiece();
        return;
    }
    const std::optional<WalkEntry> entry = walk_.Next();
    if (entry) {
        BeginEntry(*entry);
    } else {
        Finish();
    }
}

void FolderZip::BeginEntry(const WalkEntry& entry) {
    if (entry.folder) {
        if (!WriteHeader(entry.segments, entry.info, true, 0)) {
            Fail();
        }
        return;
    }
    std::optional<OpenFile> open = walk_.Open(entry);
    if (!open) {
        return;  // gone, or another file in its place, since the walk saw it
    }
    if (!WriteHeader(entry.segments, open->info, false, open->size)) {
        Fail();
        return;
    }
    if (open->size > 0) {
        file_ = std::move(open->file);
        left_ = open->size;
    }
}

bool FolderZip::WriteHeader(const std::vector<std::string>& segments, const struct stat& info,
                            bool folder, uint64_t size) {
    std::string path = topName_;
    for (const std::string& segment : segments) {
        path += (path.empty() ? "" : "/") + ZipName(segment);
    }
    const std::unique_ptr<struct archive_entry, void (*)(struct archive_entry*)> entry(
        archive_entry_new(), archive_entry_free);
    if (!entry) {
        return false;
    }
    archive_entry_set_pathname_utf8(entry.get(), path.c_str());
    archive_entry_set_filetype(entry.get(), folder ? AE_IFDIR : AE_IFREG);
    // The owner's own mode means nothing to whoever unpacks the zip; only
    // whether a file runs is kept.
    archive_entry_set_perm(entry.get(), folder || (info.st_mode & 0111) != 0 ? 0755 : 0644);
    archive_entry_set_size(entry.get(), static_cast<la_int64_t>(size));
    archive_entry_set_mtime(entry.get(), info.st_mtim.tv_sec, info.st_mtim.tv_nsec);
    struct archive* zip = archive_.get();
    const bool store = folder || size == 0 || StoredInZip(path);
    if ((store ? archive_write_zip_set_compression_store(zip)
               : archive_write_zip_set_compression_deflate(zip)) != ARCHIVE_OK) {
        return false;
    }
    return archive_write_header(zip, entry.get()) == ARCHIVE_OK;
}

// A file that ends early or cannot be read fails the zip: its entry could
// not be finished truthfully.
void FolderZip::CopyPiece() {
    const size_t want = static_cast<size_t>(std::min<uint64_t>(left_, piece_.size()));
    ssize_t got = 0;
    do {
        got = ::read(file_.Get(), piece_.data(), want);
    } while (got < 0 && errno == EINTR);
    if (got <= 0 || archive_write_data(archive_.get(), piece_.data(), static_cast<size_t>(got)) !=
                        static_cast<la_ssize_t>(got)) {
        Fail();
        return;
    }
    left_ -= static_cast<uint64_t>(got);
    if (left_ == 0) {
        file_.Reset();  // what it grew by since is not the entry's
    }
}

void FolderZip::Finish() {
    if (walk_.Cut() || archive_write_close(archive_.get()) != ARCHIVE_OK) {
        Fail();
        return;
    }
    finished_ = true;
}

void FolderZip::Fail() {
    failed_ = true;
    file_.Reset();
    GiveUp();
}

bool StoredInZip(std::string_view name) {
    const size_t dot = name.rfind('.');
    if (dot == std::string_view::npos || name.find('/', dot) != std::string_view::npos) {
        return false;
    }
    std::string extension(name.substr(dot + 1));
    std::transform(extension.begin(), extension.end(), extension.begin(), [](char c) {
        return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
    });
    return std::binary_search(std::begin(kCompressedExtensions), std::end(kCompressedExtensions),
                              extension);
}

std::string AttachmentDisposition(std::string_view filename, std::string_view kind) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    const std::string name = config::ValidUtf8(filename);
    std::string fallback;
    std::string encoded;
    for (const char c : name) {
        const auto byte = static_cast<unsigned char>(c);
        if ((byte & 0xC0) != 0x80) {  // one '_' for a whole character beyond ASCII
            const bool plain =
                byte >= 0x20 && byte < 0x7F && byte != '"' && byte != '\\' && byte != '%';
            fallback += plain ? c : '_';
        }
        if (AttrChar(byte)) {
            encoded += c;
        } else {
            encoded += '%';
            encoded += kHex[byte >> 4];
            encoded += kHex[byte & 0xF];
        }
    }
    return std::string(kind) + "; filename=\"" + fallback + "\"; filename*=UTF-8''" + encoded;
}

}  // namespace quorvane::responses
