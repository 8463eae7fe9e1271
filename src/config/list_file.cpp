#include "config/list_file.h"

#include <optional>

#include "config/atomic_file.h"

namespace quorvane::config {

namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}
bool IsLineEnd(char c) {
    return c == '\r' || c == '\n';
}

}  // namespace

bool ListFileReader::AtEnd() {
    while (position_ < text_.size() && (IsBlank(text_[position_]) || IsLineEnd(text_[position_]))) {
        ++position_;
    }
    return position_ >= text_.size();
}

std::string ListFileReader::NextField() {
    while (position_ < text_.size() && IsBlank(text_[position_])) {
        ++position_;
    }
    std::string value;
    if (position_ < text_.size() && text_[position_] == '"') {
        const size_t close = text_.find('"', position_ + 1);
        const size_t end = close == std::string_view::npos ? text_.size() : close;
        value = std::string(text_.substr(position_ + 1, end - position_ - 1));
        position_ = end == text_.size() ? end : end + 1;
        // Whatever follows the closing mark up to the separator is skipped.
        while (position_ < text_.size() && text_[position_] != ',' &&
               !IsLineEnd(text_[position_])) {
            ++position_;
        }
    } else {
        const size_t start = position_;
        while (position_ < text_.size() && text_[position_] != ',' &&
               !IsLineEnd(text_[position_])) {
            ++position_;
        }
        std::string_view raw = text_.substr(start, position_ - start);
        while (!raw.empty() && IsBlank(raw.back())) {
            raw.remove_suffix(1);
        }
        value = std::string(raw);
    }
    // One comma, or one line end (CR LF counts as one), ends the field.
    if (position_ < text_.size()) {
        if (text_[position_] == ',') {
            ++position_;
        } else if (text_[position_] == '\r') {
            ++position_;
            if (position_ < text_.size() && text_[position_] == '\n') {
                ++position_;
            }
        } else if (text_[position_] == '\n') {
            ++position_;
        }
    }
    return value;
}

Record ListFileReader::NextRecord(size_t fieldCount) {
    Record record;
    record.reserve(fieldCount);
    for (size_t i = 0; i < fieldCount; ++i) {
        record.push_back(NextField());
    }
    return record;
}

std::vector<Record> ReadRecords(const std::filesystem::path& path, size_t fieldCount) {
    std::vector<Record> records;
    const std::optional<std::string> text = ReadWholeFile(path);
    if (!text) {
        return records;
    }
    ListFileReader reader(*text);
    while (!reader.AtEnd()) {
        records.push_back(reader.NextRecord(fieldCount));
    }
    return records;
}

std::vector<std::string> ReadSingleFields(const std::filesystem::path& path) {
    std::vector<std::string> fields;
    for (Record& record : ReadRecords(path, 1)) {
        fields.push_back(std::move(record.front()));
    }
    return fields;
}

std::string FormatRecord(const Record& record) {
    std::string line;
    for (size_t i = 0; i < record.size(); ++i) {
        if (i > 0) {
            line += ',';
        }
        line += '"';
        line += record[i];
        line += '"';
    }
    line += "\r\n";
    return line;
}

bool IsStorableField(std::string_view text) {
    return text.find_first_of("\"\r\n") == text.npos;
}

bool WriteRecords(const std::filesystem::path& path, const std::vector<Record>& records,
                  mode_t newFileMode) {
    std::string content;
    for (const Record& record : records) {
        for (const std::string& field : record) {
            if (!IsStorableField(field)) {
                return false;
            }
        }
        content += FormatRecord(record);
    }
    return ReplaceFileContent(path, content, newFileMode);
}

}  // namespace quorvane::config
