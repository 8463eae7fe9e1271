#pragma once

#include <sys/types.h>

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace quorvane::config {

using Record = std::vector<std::string>;

// Reads list-file text one record per line: a quoted field runs to its
// closing quotation mark (commas included), an unquoted one to the next comma.
// A line with fewer fields than a record has is completed with empty fields,
// and fields past them are ignored, so one damaged line never shifts the
// records after it.
class ListFileReader {
  public:
    explicit ListFileReader(std::string_view text) : text_(text) {}

    // True when only blanks and line ends are left; tested before each record.
    bool AtEnd();
    Record NextRecord(size_t fieldCount);

  private:
    // The next field of the current line; false at the line's end.
    bool NextField(std::string& value);

    std::string_view text_;
    size_t position_ = 0;
};

// Every record of a list file; a missing or unreadable file gives none.
std::vector<Record> ReadRecords(const std::filesystem::path& path, size_t fieldCount);

// The fields of a file whose records hold one field each.
std::vector<std::string> ReadSingleFields(const std::filesystem::path& path);

// A record as written: each field in quotation marks, commas between, CR LF.
std::string FormatRecord(const Record& record);

// A text the record format can store: no quotation mark, no line break.
bool IsStorableField(std::string_view text);

// Replaces the list file with exactly these records, in one step. Refuses
// (returns false, writes nothing) when a field cannot be stored.
bool WriteRecords(const std::filesystem::path& path, const std::vector<Record>& records,
                  mode_t newFileMode = 0644);

}  // namespace quorvane::config
