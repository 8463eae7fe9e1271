#include "http/byte_ranges.h"

#include <algorithm>
#include <limits>

#include "config/text.h"
#include "server/limits.h"

namespace quorvane::http {

namespace {

constexpr uint64_t kLargest = std::numeric_limits<uint64_t>::max();

bool AllDigits(std::string_view text) {
    return !text.empty() &&
           std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// The digits' value, held at the largest number once it would overflow.
uint64_t Saturated(std::string_view digits) {
    uint64_t value = 0;
    for (char c : digits) {
        const auto digit = static_cast<uint64_t>(c - '0');
        if (value > (kLargest - digit) / 10) {
            return kLargest;
        }
        value = value * 10 + digit;
    }
    return value;
}

// Compares two digit strings by their exact value, however long.
bool LessThan(std::string_view a, std::string_view b) {
    a.remove_prefix(std::min(a.find_first_not_of('0'), a.size()));
    b.remove_prefix(std::min(b.find_first_not_of('0'), b.size()));
    return a.size() != b.size() ? a.size() < b.size() : a < b;
}

enum class Element { kInvalid, kUnsatisfiable, kSatisfiable };

// One "first-last", "first-" or "-suffix" element.
Element ReadElement(std::string_view text, uint64_t length, ByteRange& range) {
    const size_t dash = text.find('-');
    if (dash == std::string_view::npos) {
        return Element::kInvalid;
    }
    const std::string_view firstText = text.substr(0, dash);
    const std::string_view lastText = text.substr(dash + 1);
    if (firstText.empty()) {
        if (!AllDigits(lastText)) {
            return Element::kInvalid;
        }
        const uint64_t suffix = Saturated(lastText);
        if (suffix == 0 || length == 0) {
            return Element::kUnsatisfiable;
        }
        range = {length - std::min(suffix, length), length - 1};
        return Element::kSatisfiable;
    }
    if (!AllDigits(firstText) || (!lastText.empty() && !AllDigits(lastText))) {
        return Element::kInvalid;
    }
    if (!lastText.empty() && LessThan(lastText, firstText)) {
        return Element::kInvalid;
    }
    const uint64_t first = Saturated(firstText);
    if (first >= length) {
        return Element::kUnsatisfiable;
    }
    const uint64_t last = lastText.empty() ? length - 1 : std::min(Saturated(lastText), length - 1);
    range = {first, last};
    return Element::kSatisfiable;
}

// Merges ranges that overlap or touch; a set without such a pair is kept as
// it was asked.
std::vector<ByteRange> Coalesced(std::vector<ByteRange> ranges) {
    std::vector<ByteRange> sorted = ranges;
    std::sort(sorted.begin(), sorted.end(),
              [](const ByteRange& a, const ByteRange& b) { return a.first < b.first; });
    std::vector<ByteRange> merged;
    for (const ByteRange& range : sorted) {
        // `last` lies inside the representation, so last + 1 cannot overflow.
        if (!merged.empty() && range.first <= merged.back().last + 1) {
            merged.back().last = std::max(merged.back().last, range.last);
        } else {
            merged.push_back(range);
        }
    }
    return merged.size() == ranges.size() ? ranges : merged;
}

}  // namespace

RangeRequest ParseRange(std::string_view value, uint64_t length) {
    value = config::TrimBlanks(value);
    const size_t equals = value.find('=');
    if (equals == std::string_view::npos ||
        !config::EqualsIgnoringCase(value.substr(0, equals), "bytes")) {
        return {};
    }
    std::string_view set = value.substr(equals + 1);
    std::vector<ByteRange> ranges;
    size_t elements = 0;
    while (true) {
        const size_t comma = set.find(',');
        // Empty elements of the list are allowed and skipped.
        const std::string_view element = config::TrimBlanks(set.substr(0, comma));
        if (!element.empty()) {
            if (++elements > kMaxRanges) {
                return {};
            }
            ByteRange range;
            switch (ReadElement(element, length, range)) {
                case Element::kInvalid:
                    return {};
                case Element::kUnsatisfiable:
                    break;
                case Element::kSatisfiable:
                    ranges.push_back(range);
                    break;
            }
        }
        if (comma == std::string_view::npos) {
            break;
        }
        set.remove_prefix(comma + 1);
    }
    if (elements == 0) {
        return {};
    }
    if (ranges.empty()) {
        return {.verdict = RangeVerdict::kUnsatisfiable};
    }
    return {.verdict = RangeVerdict::kPartial, .ranges = Coalesced(std::move(ranges))};
}

std::string ContentRangeText(ByteRange range, uint64_t length) {
    return "bytes " + std::to_string(range.first) + "-" + std::to_string(range.last) + "/" +
           std::to_string(length);
}

std::string UnsatisfiedRangeText(uint64_t length) {
    return "bytes */" + std::to_string(length);
}

}  // namespace quorvane::http
