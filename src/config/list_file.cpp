#include "config/list_file.h"

#include <algorithm>
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
std::string_view TrimTrailingBlanks(std::string_view text) {
    while (!text.empty() && IsBlank(text.back())) {
        text.remove_suffix(1);
    }
    return text;
}

}  // namespace

bool ListFileReader::AtEnd() {
    while (position_ < text_.size() && (IsBlank(text_[position_]) || IsLineEnd(text_[position_]))) {
        ++position_;
    }
    return position_ >= text_.size();
}

bool ListFileReader::NextField(std::string& value) {
    while (position_ < text_.size() && IsBlank(text_[position_])) {
        ++position_;
    }
    if (position_ >= text_.size() || IsLineEnd(text_[position_])) {
        return false;
    }
    const size_t lineEnd = std::min(text_.find_first_of("\r\n", position_), text_.size());
    if (text_[position_] == '"') {
        const size_t close = std::min(text_.find('"', position_ + 1), lineEnd);
        value = std::string(text_.substr(position_ + 1, close - position_ - 1));
        position_ = close;
    } else {
        const size_t start = position_;
        position_ = std::min(text_.find(',', position_), lineEnd);
        value = std::string(TrimTrailingBlanks(text_.substr(start, position_ - start)));
    }
    // Whatever follows a closing mark up to the separator is skipped.
    position_ = std::min(text_.find(',', position_), lineEnd);
    if (position_ < lineEnd) {
        ++position_;  // the comma
    }
    return true;
}

Record ListFileReader::NextRecord(size_t fieldCount) {
    Record record;
    record.reserve(fieldCount);
    std::string value;
    while (NextField(value)) {
        if (record.size() < fieldCount) {
            record.push_back(std::move(value));
        }
    }
    record.resize(fieldCount);
    // On to the next line (CR LF counts as one line end).
    if (position_ < text_.size() && text_[position_] == '\r') {
        ++position_;
    }
    if (position_ < text_.size() && text_[position_] == '\n') {
        ++position_;
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
