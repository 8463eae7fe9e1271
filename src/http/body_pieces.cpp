#include "http/body_pieces.h"

#include <unistd.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <optional>
#include <utility>

namespace quorvane::http {

void BodyPieces::AddText(std::string_view text) {
    if (text.empty()) {
        return;
    }
    if (!pieces_.empty() && std::holds_alternative<std::string>(pieces_.back())) {
        std::get<std::string>(pieces_.back()) += text;
    } else {
        pieces_.emplace_back(std::string(text));
    }
    length_ += text.size();
}

void BodyPieces::AddSlice(uint64_t offset, uint64_t length) {
    if (length == 0) {
        return;
    }
    pieces_.emplace_back(FileSlice{offset, length});
    length_ += length;
}

void BodyPieces::Add(const BodyPieces& more) {
    for (const auto& piece : more.pieces_) {
        if (const auto* text = std::get_if<std::string>(&piece)) {
            AddText(*text);
        } else {
            const FileSlice& slice = std::get<FileSlice>(piece);
            AddSlice(slice.offset, slice.length);
        }
    }
}

BodyPieces BodyPieces::Slice(ByteRange range) const {
    BodyPieces sliced;
    uint64_t at = 0;  // where the current piece starts in this body
    for (const auto& piece : pieces_) {
        const auto* text = std::get_if<std::string>(&piece);
        const uint64_t size = text ? text->size() : std::get<FileSlice>(piece).length;
        const uint64_t first = std::max(range.first, at);
        const uint64_t end = std::min(range.last + 1, at + size);  // one past the last byte
        if (first < end) {
            if (text) {
                sliced.AddText(std::string_view(*text).substr(first - at, end - first));
            } else {
                sliced.AddSlice(std::get<FileSlice>(piece).offset + (first - at), end - first);
            }
        }
        at += size;
    }
    return sliced;
}

std::vector<BodyPart> BodyPieces::Parts() const {
    std::vector<BodyPart> parts;
    std::string before;
    for (const auto& piece : pieces_) {
        if (const auto* text = std::get_if<std::string>(&piece)) {
            before += *text;
        } else {
            const FileSlice& slice = std::get<FileSlice>(piece);
            parts.push_back({std::exchange(before, {}),
                             ByteRange{slice.offset, slice.offset + slice.length - 1}});
        }
    }
    return parts;
}

std::string BodyPieces::Closing() const {
    std::string closing;
    for (auto piece = pieces_.rbegin();
         piece != pieces_.rend() && std::holds_alternative<std::string>(*piece); ++piece) {
        closing.insert(0, std::get<std::string>(*piece));
    }
    return closing;
}

bool BodyPieces::IsOneSlice() const {
    return pieces_.size() == 1 && std::holds_alternative<FileSlice>(pieces_.front());
}

bool BodyPieces::IsText() const {
    return std::none_of(pieces_.begin(), pieces_.end(),
                        [](const auto& piece) { return std::holds_alternative<FileSlice>(piece); });
}

std::optional<uint64_t> FindClosingHtmlTag(int fd, uint64_t size) {
    constexpr std::string_view kTag = "</html>";
    // Each window starts with the last bytes of the one before, so a tag cut
    // by a window's end is found whole in the next.
    std::array<char, 64 * 1024> window;
    const size_t keep = kTag.size() - 1;
    size_t held = 0;
    uint64_t start = 0;  // the file offset of window[0]
    while (start + held < size) {
        const ssize_t got = ::pread(
            fd, window.data() + held,
            static_cast<size_t>(std::min<uint64_t>(window.size() - held, size - start - held)),
            static_cast<off_t>(start + held));
        if (got <= 0) {
            return std::nullopt;  // shrank or failed: no footer rather than a wrong one
        }
        const size_t filled = held + static_cast<size_t>(got);
        const auto found = std::search(
            window.begin(), window.begin() + filled, kTag.begin(), kTag.end(),
            [](char a, char b) { return std::tolower(static_cast<unsigned char>(a)) == b; });
        if (found != window.begin() + filled) {
            return start + static_cast<uint64_t>(found - window.begin());
        }
        held = std::min(keep, filled);
        std::copy(window.begin() + (filled - held), window.begin() + filled, window.begin());
        start += filled - held;
    }
    return std::nullopt;
}

}  // namespace quorvane::http
