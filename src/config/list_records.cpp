#include "config/list_records.h"

#include <algorithm>

#include "config/atomic_file.h"
#include "config/text.h"

namespace quorvane::config {

namespace {

template <typename Typed>
std::vector<Typed> ParseAll(std::string_view text) {
    std::vector<Typed> records;
    ListFileReader reader(text);
    while (!reader.AtEnd()) {
        records.push_back(Typed::FromRecord(reader.NextRecord(Typed::kFields)));
    }
    return records;
}

}  // namespace

bool IsYes(std::string_view field) {
    return field == "Yes";
}

std::string_view YesNo(bool yes) {
    return yes ? "Yes" : "No";
}

namespace {

std::vector<std::string> SplitNames(std::string_view text) {
    std::vector<std::string> names;
    size_t start = 0;
    while (start < text.size()) {
        const size_t end = std::min(text.find(' ', start), text.size());
        if (end > start) {
            names.emplace_back(text.substr(start, end - start));
        }
        start = end + 1;
    }
    return names;
}

}  // namespace

VirtualDirectory VirtualDirectory::FromRecord(const Record& record) {
    return {
        record.at(0),        record.at(1),        IsYes(record.at(2)), IsYes(record.at(3)),
        IsYes(record.at(4)), IsYes(record.at(5)), IsYes(record.at(6)), SplitNames(record.at(7))};
}

bool VirtualDirectory::Admits(std::string_view user) const {
    return users.empty() || std::any_of(users.begin(), users.end(), [&](const std::string& named) {
               return EqualsIgnoringCase(named, user);
           });
}

Record VirtualDirectory::ToRecord() const {
    Record record{name,
                  folder,
                  std::string(YesNo(secure)),
                  std::string(YesNo(scripts)),
                  std::string(YesNo(programs)),
                  std::string(YesNo(uploads)),
                  std::string(YesNo(changes))};
    if (!users.empty()) {
        std::string names;
        for (const std::string& user : users) {
            names += (names.empty() ? "" : " ") + user;
        }
        record.push_back(std::move(names));
    }
    return record;
}

UserAccount UserAccount::FromRecord(const Record& record) {
    return {record.at(0), record.at(1)};
}

Record UserAccount::ToRecord() const {
    return {name, password};
}

MediaType MediaType::FromRecord(const Record& record) {
    const std::string& field = record.at(0);
    const size_t comma = std::min(field.find(','), field.size());
    return {field.substr(0, comma), field.substr(std::min(comma + 1, field.size()))};
}

Record MediaType::ToRecord() const {
    return {extension + "," + type};
}

std::vector<VirtualDirectory> ParseDirectories(std::string_view text) {
    return ParseAll<VirtualDirectory>(text);
}

std::vector<UserAccount> ParseUsers(std::string_view text) {
    return ParseAll<UserAccount>(text);
}

std::vector<MediaType> ParseMediaTypes(std::string_view text) {
    std::vector<MediaType> types;
    ListFileReader reader(text);
    while (!reader.AtEnd()) {
        const Record record = reader.NextRecord(MediaType::kFields);
        if (record.front().find(',') != std::string::npos) {
            types.push_back(
                MediaType::FromRecord(record));  // one that cannot be split names no type
        }
    }
    return types;
}

std::vector<std::string> ParseSingleFields(std::string_view text) {
    std::vector<std::string> fields;
    ListFileReader reader(text);
    while (!reader.AtEnd()) {
        fields.push_back(std::move(reader.NextRecord(1).front()));
    }
    return fields;
}

std::vector<VirtualDirectory> ReadDirectories(const std::filesystem::path& path) {
    return ParseDirectories(ReadWholeFile(path).value_or(""));
}

std::vector<UserAccount> ReadUsers(const std::filesystem::path& path) {
    return ParseUsers(ReadWholeFile(path).value_or(""));
}

}  // namespace quorvane::config
