#include "responses/shown_entry.h"

#include <algorithm>
#include <array>

#include "config/text.h"
#include "http/escaping.h"
#include "responses/date_text.h"
#include "responses/readable_size.h"

namespace quorvane::responses {

namespace {

struct Extension {
    std::string_view name;  // upper case
    EntryType type;
};

constexpr std::array kExtensions = std::to_array<Extension>({
    {"AVIF", EntryType::kImage},  {"BMP", EntryType::kImage},   {"GIF", EntryType::kImage},
    {"HEIC", EntryType::kImage},  {"ICO", EntryType::kImage},   {"JPEG", EntryType::kImage},
    {"JPG", EntryType::kImage},   {"PNG", EntryType::kImage},   {"SVG", EntryType::kImage},
    {"TIF", EntryType::kImage},   {"TIFF", EntryType::kImage},  {"WEBP", EntryType::kImage},
    {"AVI", EntryType::kVideo},   {"M4V", EntryType::kVideo},   {"MKV", EntryType::kVideo},
    {"MOV", EntryType::kVideo},   {"MP4", EntryType::kVideo},   {"MPEG", EntryType::kVideo},
    {"MPG", EntryType::kVideo},   {"OGV", EntryType::kVideo},   {"WEBM", EntryType::kVideo},
    {"AAC", EntryType::kAudio},   {"FLAC", EntryType::kAudio},  {"M4A", EntryType::kAudio},
    {"MP3", EntryType::kAudio},   {"OGA", EntryType::kAudio},   {"OGG", EntryType::kAudio},
    {"OPUS", EntryType::kAudio},  {"WAV", EntryType::kAudio},   {"CONF", EntryType::kText},
    {"CSS", EntryType::kText},    {"CSV", EntryType::kText},    {"HTM", EntryType::kText},
    {"HTML", EntryType::kText},   {"INI", EntryType::kText},    {"JS", EntryType::kText},
    {"JSON", EntryType::kText},   {"LOG", EntryType::kText},    {"MD", EntryType::kText},
    {"TXT", EntryType::kText},    {"XML", EntryType::kText},    {"YAML", EntryType::kText},
    {"YML", EntryType::kText},    {"7Z", EntryType::kArchive},  {"BZ2", EntryType::kArchive},
    {"GZ", EntryType::kArchive},  {"RAR", EntryType::kArchive}, {"TAR", EntryType::kArchive},
    {"TGZ", EntryType::kArchive}, {"XZ", EntryType::kArchive},  {"ZIP", EntryType::kArchive},
    {"ZST", EntryType::kArchive},
});

}  // namespace

std::string_view EntryTypeName(EntryType type) {
    switch (type) {
        case EntryType::kFolder:
            return "folder";
        case EntryType::kImage:
            return "image";
        case EntryType::kVideo:
            return "video";
        case EntryType::kAudio:
            return "audio";
        case EntryType::kText:
            return "text";
        case EntryType::kArchive:
            return "archive";
        case EntryType::kOther:
            break;
    }
    return "other";
}

EntryType TypeOfEntry(const FolderEntry& entry) {
    if (entry.folder) {
        return EntryType::kFolder;
    }
    const size_t dot = entry.name.rfind('.');
    if (dot == std::string::npos || dot == 0) {
        return EntryType::kOther;
    }
    const std::string extension = config::ToUpperAscii(entry.name.substr(dot + 1));
    const auto known = std::find_if(kExtensions.begin(), kExtensions.end(),
                                    [&](const Extension& e) { return e.name == extension; });
    return known != kExtensions.end() ? known->type : EntryType::kOther;
}

namespace {

std::string EncodeSegment(std::string_view segment) {
    if (segment == "." || segment == "..") {
        return segment == "." ? "%2E" : "%2E%2E";  // a name, never a step up
    }
    return http::PercentEncodeComponent(segment);
}

}  // namespace

std::string EncodeSegments(std::string_view path) {
    std::string encoded;
    while (true) {
        const size_t slash = path.find('/');
        encoded += EncodeSegment(path.substr(0, slash));
        if (slash == std::string_view::npos) {
            return encoded;
        }
        encoded += '/';
        path.remove_prefix(slash + 1);
    }
}

ShownEntry ShowEntry(const FolderEntry& entry, std::chrono::system_clock::time_point now) {
    ShownEntry shown;
    shown.name = config::ValidUtf8(entry.name);
    shown.label = config::ShowableText(entry.name);
    // A name is one segment whatever it holds; a result's path is several.
    shown.href = entry.path.empty() ? EncodeSegment(entry.name) : EncodeSegments(entry.path);
    if (!entry.path.empty()) {
        shown.path = config::ValidUtf8(entry.path);
        shown.within = config::ShowableText(entry.path.substr(0, entry.path.rfind('/') + 1));
    }
    shown.type = TypeOfEntry(entry);
    if (entry.folder) {
        shown.href += '/';
        shown.size = "\xE2\x80\x94";  // an em dash
    } else {
        shown.size = ReadableSizeText(entry.size);
    }
    shown.date = ReadableDateText(entry.modified, now);
    shown.exactDate = LocalTimestampText(entry.modified);
    shown.utcDate = UtcTimestampText(entry.modified);
    return shown;
}

}  // namespace quorvane::responses
