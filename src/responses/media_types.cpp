#include "responses/media_types.h"

#include "config/atomic_file.h"
#include "server/limits.h"

#include <sys/stat.h>

#include <algorithm>
#include <fstream>
#include <sstream>

namespace quorvane::responses {

namespace {

bool IsTokenCharacter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
           std::string_view("!#$%&'*+-.^_`|~").find(c) != std::string_view::npos;
}

// "type/subtype" of token characters only: the type goes into a reply's head,
// so nothing in the file may break that line.
bool IsMediaType(std::string_view text) {
    const size_t slash = text.find('/');
    return slash != std::string_view::npos && slash > 0 && slash + 1 < text.size() &&
           std::all_of(text.begin(), text.end(),
                       [](char c) { return c == '/' || IsTokenCharacter(c); }) &&
           text.find('/', slash + 1) == std::string_view::npos;
}

std::string LowerAscii(std::string_view text) {
    std::string lower(text);
    for (char& c : lower) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    return lower;
}

bool IsSpace(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f';
}

// The line's words, blank-separated.
template <typename Visit>
void ForEachWord(std::string_view line, Visit visit) {
    size_t at = 0;
    while (true) {
        while (at < line.size() && IsSpace(line[at])) {
            ++at;
        }
        if (at == line.size()) {
            return;
        }
        size_t end = at;
        while (end < line.size() && !IsSpace(line[end])) {
            ++end;
        }
        visit(line.substr(at, end - at));
        at = end;
    }
}

}  // namespace

SystemMediaTypes::SystemMediaTypes(std::filesystem::path table) : path_(std::move(table)) {}

std::optional<std::string> SystemMediaTypes::TypeOf(std::string_view fileName,
                                                    Clock::time_point now) {
    const size_t slash = fileName.rfind('/');
    if (slash != std::string_view::npos) {
        fileName.remove_prefix(slash + 1);
    }
    const size_t dot = fileName.rfind('.');
    if (dot == std::string_view::npos || dot + 1 == fileName.size()) {
        return std::nullopt;
    }
    Refresh(now);
    const auto found = types_.find(LowerAscii(fileName.substr(dot + 1)));
    if (found == types_.end()) {
        return std::nullopt;
    }
    return found->second;
}

void SystemMediaTypes::Refresh(Clock::time_point now) {
    if (checkedAt_ && now - *checkedAt_ < std::chrono::seconds{1}) {
        return;
    }
    const bool firstUse = !checkedAt_;
    checkedAt_ = now;
    const Identity current = Examine();
    if (firstUse || current != identity_) {
        identity_ = current;
        Load();
    }
}

SystemMediaTypes::Identity SystemMediaTypes::Examine() const {
    struct stat info {};
    if (::stat(path_.c_str(), &info) != 0) {
        return {};
    }
    return {.exists = true,
            .device = info.st_dev,
            .inode = info.st_ino,
            .size = info.st_size,
            .modifiedSeconds = info.st_mtim.tv_sec,
            .modifiedNs = info.st_mtim.tv_nsec};
}

void SystemMediaTypes::Load() {
    types_.clear();
    if (!identity_.exists || identity_.size > kLargestMediaTable) {
        return;
    }
    std::istringstream lines(config::ReadWholeFile(path_).value_or(""));
    std::string line;
    while (std::getline(lines, line)) {
        bool first = true;
        bool valid = false;
        std::string_view type;
        ForEachWord(std::string_view(line).substr(0, line.find('#')), [&](std::string_view word) {
            if (first) {
                first = false;
                valid = IsMediaType(word);
                type = word;
            } else if (valid) {
                types_.try_emplace(LowerAscii(word), type);  // the first listing holds
            }
        });
    }
}

}  // namespace quorvane::responses
