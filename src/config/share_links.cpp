#include "config/share_links.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <openssl/evp.h>
#include <openssl/rand.h>

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <ctime>
#include <stdexcept>

#include "config/atomic_file.h"
#include "config/file_handle.h"
#include "config/program_folder.h"
#include "config/text.h"

namespace quorvane::config {

namespace {

constexpr size_t kTokenBytes = 24;
constexpr size_t kTokenLength = kTokenBytes / 3 * 4;
constexpr size_t kHashLength = 64;
constexpr size_t kIdLength = 10;
constexpr size_t kShortestId = 4;
constexpr std::string_view kNever = "never";
constexpr std::string_view kNoLimit = "unlimited";

bool IsLowerHex(std::string_view text) {
    return std::all_of(text.begin(), text.end(),
                       [](char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'); });
}

std::optional<uint64_t> ParseCount(std::string_view text) {
    uint64_t count = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), count);
    if (text.empty() || error != std::errc() || end != text.data() + text.size()) {
        return std::nullopt;
    }
    return count;
}

// Holds the lock on the file's folder while it lives.
class FolderLock {
  public:
    explicit FolderLock(const std::filesystem::path& folder)
        : folder_(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)) {
        locked_ = folder_ && ::flock(folder_.Get(), LOCK_EX) == 0;
    }
    bool Locked() const { return locked_; }

  private:
    FileHandle folder_;
    bool locked_ = false;
};

// The file's records as they stand, damaged ones too, so a rewrite keeps
// every line it did not mean to change; nothing when it cannot be read.
std::optional<std::vector<Record>> ReadRaw(const std::filesystem::path& path) {
    std::error_code error;
    if (!std::filesystem::exists(path, error) && !error) {
        return std::vector<Record>{};
    }
    const std::optional<std::string> text = ReadWholeFile(path);
    if (!text) {
        return std::nullopt;
    }
    std::vector<Record> records;
    ListFileReader reader(*text);
    while (!reader.AtEnd()) {
        records.push_back(reader.NextRecord(ShareLink::kFields));
    }
    return records;
}

std::string LowerAscii(std::string_view text) {
    std::string lower(text);
    std::transform(lower.begin(), lower.end(), lower.begin(), [](char c) {
        return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
    });
    return lower;
}

}  // namespace

std::optional<ShareLink> ShareLink::FromRecord(const Record& record) {
    ShareLink link;
    link.tokenHash = record.at(0);
    link.path = record.at(1);
    const std::optional<Clock::time_point> created = ParseUtcText(record.at(2));
    if (link.tokenHash.size() != kHashLength || !IsLowerHex(link.tokenHash) ||
        !std::filesystem::path(link.path).is_absolute() || !created) {
        return std::nullopt;
    }
    link.created = *created;
    if (record.at(3) != kNever) {
        link.expires = ParseUtcText(record.at(3));
        if (!link.expires) {
            return std::nullopt;
        }
    }
    if (record.at(4) != kNoLimit) {
        link.downloadsLeft = ParseCount(record.at(4));
        if (!link.downloadsLeft) {
            return std::nullopt;
        }
    }
    link.note = record.at(5);
    return link;
}

Record ShareLink::ToRecord() const {
    return {tokenHash,
            path,
            UtcText(created),
            expires ? UtcText(*expires) : std::string(kNever),
            downloadsLeft ? std::to_string(*downloadsLeft) : std::string(kNoLimit),
            note};
}

std::string ShareLink::Id() const {
    return tokenHash.substr(0, kIdLength);
}

bool ShareLink::Usable(Clock::time_point now) const {
    return (!expires || now < *expires) && (!downloadsLeft || *downloadsLeft > 0);
}

std::vector<ShareLink> ParseShareLinks(std::string_view text) {
    std::vector<ShareLink> links;
    ListFileReader reader(text);
    while (!reader.AtEnd()) {
        if (std::optional<ShareLink> link =
                ShareLink::FromRecord(reader.NextRecord(ShareLink::kFields))) {
            links.push_back(std::move(*link));
        }
    }
    return links;
}

std::string MakeShareToken() {
    unsigned char random[kTokenBytes];
    if (RAND_bytes(random, sizeof random) != 1) {
        throw std::runtime_error("no random bytes for a share link");
    }
    std::string token(kTokenLength + 1, '\0');
    EVP_EncodeBlock(reinterpret_cast<unsigned char*>(token.data()), random, sizeof random);
    token.resize(kTokenLength);
    std::replace(token.begin(), token.end(), '+', '-');
    std::replace(token.begin(), token.end(), '/', '_');
    return token;
}

bool IsShareToken(std::string_view text) {
    return text.size() == kTokenLength && std::all_of(text.begin(), text.end(), [](char c) {
               return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
                      c == '-' || c == '_';
           });
}

std::string HashShareToken(std::string_view token) {
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    EVP_Digest(token.data(), token.size(), digest, &length, EVP_sha256(), nullptr);
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string hex;
    for (unsigned int i = 0; i < length; ++i) {
        hex += kDigits[digest[i] >> 4];
        hex += kDigits[digest[i] & 0xF];
    }
    return hex;
}

const ShareLink* FindShareLink(const ShareLinks& links, std::string_view token,
                               Clock::time_point now) {
    if (!IsShareToken(token)) {
        return nullptr;
    }
    const std::string hash = HashShareToken(token);
    const auto found = std::find_if(links.begin(), links.end(),
                                    [&](const ShareLink& link) { return link.tokenHash == hash; });
    return found != links.end() && found->Usable(now) ? &*found : nullptr;
}

std::optional<ShareLifetime> ParseShareLifetime(std::string_view text) {
    if (text == kNever) {
        return ShareLifetime{};
    }
    if (text.size() < 2) {
        return std::nullopt;
    }
    const std::optional<uint64_t> count = ParseCount(text.substr(0, text.size() - 1));
    constexpr uint64_t kMostHours = 24ULL * 366 * 100;
    const uint64_t hoursEach = text.back() == 'h'   ? 1
                               : text.back() == 'd' ? 24
                               : text.back() == 'w' ? 168
                                                    : 0;
    if (!count || *count == 0 || hoursEach == 0 || *count > kMostHours / hoursEach) {
        return std::nullopt;
    }
    return ShareLifetime{std::chrono::hours(*count * hoursEach)};
}

std::string UtcText(Clock::time_point time) {
    const std::time_t seconds = Clock::to_time_t(time);
    std::tm utc{};
    ::gmtime_r(&seconds, &utc);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &utc);
    return text;
}

std::optional<Clock::time_point> ParseUtcText(std::string_view text) {
    std::tm utc{};
    int consumed = 0;
    const std::string copy(text);
    if (text.size() != 20 ||
        std::sscanf(copy.c_str(), "%4d-%2d-%2dT%2d:%2d:%2dZ%n", &utc.tm_year, &utc.tm_mon,
                    &utc.tm_mday, &utc.tm_hour, &utc.tm_min, &utc.tm_sec, &consumed) != 6 ||
        consumed != 20) {
        return std::nullopt;
    }
    utc.tm_year -= 1900;
    utc.tm_mon -= 1;
    const std::time_t seconds = ::timegm(&utc);
    if (seconds == -1 || UtcText(Clock::from_time_t(seconds)) != text) {
        return std::nullopt;  // a date that does not exist, such as the 31st of June
    }
    return Clock::from_time_t(seconds);
}

std::optional<ShareLinks> SharesFile::Read() const {
    const std::optional<std::vector<Record>> records = ReadRaw(path_);
    if (!records) {
        return std::nullopt;
    }
    ShareLinks links;
    for (const Record& record : *records) {
        if (std::optional<ShareLink> link = ShareLink::FromRecord(record)) {
            links.push_back(std::move(*link));
        }
    }
    return links;
}

bool SharesFile::Add(const ShareLink& link) {
    const FolderLock lock(path_.parent_path());
    std::optional<std::vector<Record>> records = ReadRaw(path_);
    if (!lock.Locked() || !records) {
        return false;
    }
    records->push_back(link.ToRecord());
    return WriteRecords(path_, *records, kPrivateFileMode);
}

SharesFile::Revoked SharesFile::Revoke(std::string_view id) {
    const std::string wanted = LowerAscii(id);
    if (wanted.size() < kShortestId || !IsLowerHex(wanted)) {
        return Revoked::kUnknown;
    }
    const FolderLock lock(path_.parent_path());
    std::optional<std::vector<Record>> records = ReadRaw(path_);
    if (!lock.Locked() || !records) {
        return Revoked::kFailed;
    }
    const auto matches = [&](const Record& record) {
        return record.at(0).size() == kHashLength && record.at(0).starts_with(wanted);
    };
    const auto count = std::count_if(records->begin(), records->end(), matches);
    if (count != 1) {
        return count == 0 ? Revoked::kUnknown : Revoked::kAmbiguous;
    }
    std::erase_if(*records, matches);
    return WriteRecords(path_, *records, kPrivateFileMode) ? Revoked::kDone : Revoked::kFailed;
}

SharesFile::Taken SharesFile::TakeDownload(std::string_view tokenHash, Clock::time_point now) {
    const FolderLock lock(path_.parent_path());
    std::optional<std::vector<Record>> records = ReadRaw(path_);
    if (!lock.Locked() || !records) {
        return Taken::kFailed;
    }
    for (Record& record : *records) {
        std::optional<ShareLink> link = ShareLink::FromRecord(record);
        if (!link || link->tokenHash != tokenHash) {
            continue;
        }
        if (!link->Usable(now)) {
            return Taken::kGone;
        }
        if (!link->downloadsLeft) {
            return Taken::kTaken;
        }
        --*link->downloadsLeft;
        record = link->ToRecord();
        return WriteRecords(path_, *records, kPrivateFileMode) ? Taken::kTaken : Taken::kFailed;
    }
    return Taken::kGone;
}

}  // namespace quorvane::config
