#include "http/chunked_body.h"

#include <algorithm>

#include "http/escaping.h"

namespace quorvane::http {

namespace {

// A size line is hex digits with optional extensions; a trailer may be long,
// but not without end.
constexpr size_t kLineLimit = 4096;
constexpr size_t kTrailerLimit = 16 * 1024;

}  // namespace

bool ChunkedDecoder::EndSizeLine() {
    std::string_view line(line_);
    if (line.ends_with('\r')) {
        line.remove_suffix(1);
    }
    const size_t digits = std::min(line.find_first_of(" \t;"), line.size());
    if (digits == 0 || digits > 15) {  // 15 hex digits never overflow
        return false;
    }
    uint64_t size = 0;
    for (char c : line.substr(0, digits)) {
        const int value = HexDigitValue(c);
        if (value < 0) {
            return false;
        }
        size = size * 16 + static_cast<uint64_t>(value);
    }
    left_ = size;
    part_ = size == 0 ? Part::kTrailer : Part::kData;
    return true;
}

bool ChunkedDecoder::EndTrailerLine() {
    if (line_.empty() || line_ == "\r") {
        state_ = State::kDone;
        return true;
    }
    trailerBytes_ += line_.size();
    return trailerBytes_ <= kTrailerLimit;
}

size_t ChunkedDecoder::Feed(std::string_view input, std::string& data) {
    size_t taken = 0;
    while (taken < input.size() && state_ == State::kReading) {
        if (part_ == Part::kData) {
            const auto mine = static_cast<size_t>(std::min<uint64_t>(left_, input.size() - taken));
            data.append(input.substr(taken, mine));
            dataLength_ += mine;
            taken += mine;
            left_ -= mine;
            if (left_ == 0) {
                part_ = Part::kDataEnd;
            }
            continue;
        }
        const char c = input[taken++];
        if (c != '\n') {
            line_.push_back(c);
            if (line_.size() > kLineLimit) {
                state_ = State::kInvalid;
            }
            continue;
        }
        bool fine = true;
        if (part_ == Part::kSizeLine) {
            fine = EndSizeLine();
        } else if (part_ == Part::kDataEnd) {
            fine = line_.empty() || line_ == "\r";
            part_ = Part::kSizeLine;
        } else {
            fine = EndTrailerLine();
        }
        line_.clear();
        if (!fine) {
            state_ = State::kInvalid;
        }
    }
    return taken;
}

}  // namespace quorvane::http
