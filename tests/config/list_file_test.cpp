#include "config/list_file.h"

#include <gtest/gtest.h>

#include "config/list_files.h"
#include "support/temp_folder.h"

namespace quorvane::config {
namespace {

std::vector<Record> ReadText(std::string_view text, size_t fields) {
    ListFileReader reader(text);
    std::vector<Record> records;
    while (!reader.AtEnd()) {
        records.push_back(reader.NextRecord(fields));
    }
    return records;
}

TEST(ListFileReader, OneRecordIsOneLineOfQuotedFields) {
    const std::tuple<std::string_view, size_t, std::vector<Record>> cases[] = {
        {"\"wav,audio,x-wav\"\r\n\"htm,text/html\"\r\n",
         1,
         {{"wav,audio,x-wav"}, {"htm,text/html"}}},
        {"  \"/docs/\" ,\"/srv/docs\"junk,\"Yes\",No,\"No\"\n",
         5,
         {{"/docs/", "/srv/docs", "Yes", "No", "No"}}},
        // A record missing its password does not lend the next line's name as one.
        {"\"alice\"\r\n\"bob\",\"pw\"\r\n", 2, {{"alice", ""}, {"bob", "pw"}}},
        {"\"a\",\"1\",\"extra\"\n\"unclosed\n\"c\",,\"3\"\n",
         2,
         {{"a", "1"}, {"unclosed", ""}, {"c", ""}}},
        {"htm,text/html\r\n", 1, {{"htm"}}},
        {"\"a\"\n\n\r\n\"b\"", 1, {{"a"}, {"b"}}},
        {"\"unterminated", 1, {{"unterminated"}}},
        {"", 1, {}},
    };
    for (const auto& [text, fields, records] : cases) {
        EXPECT_EQ(ReadText(text, fields), records) << text;
    }
}

TEST(ListFileWriter, WritesQuotedCrLfRecordsThatReadBackAndRefusesTheRest) {
    testing::TempFolder folder;
    const auto path = folder.Path() / "dirs.lst";
    const std::vector<Record> records = {{"/", "www", "No", "No", "No"},
                                         {"/a, b/", "/srv/a, b", "Yes", "No", "No"}};
    ASSERT_TRUE(WriteRecords(path, records));
    EXPECT_EQ(folder.Read("dirs.lst"),
              "\"/\",\"www\",\"No\",\"No\",\"No\"\r\n"
              "\"/a, b/\",\"/srv/a, b\",\"Yes\",\"No\",\"No\"\r\n");
    EXPECT_EQ(ReadRecords(path, 5), records);
    // What the format cannot store leaves the file as it was.
    EXPECT_FALSE(WriteRecords(path, {{"a\"b"}}));
    EXPECT_FALSE(WriteRecords(path, {{"a\nb"}}));
    EXPECT_EQ(ReadRecords(path, 5), records);
}

TEST(ListFiles, RepairWritesOnlyMissingListsWhoseFlagIsOne) {
    testing::TempFolder folder;
    const ProgramFolder program = folder.Program();
    folder.Write("mime.lst", "");  // present, however empty: kept
    RepairListFiles(program, Settings::Parse("[Fault]\nRebuildDefault=1\nRebuildMIME=1\n"
                                             "RebuildDIRS=2\n"));
    EXPECT_EQ(folder.Read("default.lst"),
              "\"index.htm\"\r\n\"index.html\"\r\n\"default.htm\"\r\n\"default.html\"\r\n");
    EXPECT_EQ(folder.Read("mime.lst"), "");
    EXPECT_FALSE(std::filesystem::exists(folder.Path() / "dirs.lst"));

    std::filesystem::remove(folder.Path() / "mime.lst");
    RepairListFiles(program, Settings::Parse("[Fault]\nRebuildMIME=1\nRebuildDIRS=1\n"));
    EXPECT_EQ(ReadSingleFields(folder.Path() / "mime.lst").back(), "wav,audio,x-wav");
    EXPECT_EQ(folder.Read("dirs.lst"), "\"/\",\"www\",\"No\",\"No\",\"No\"\r\n");
}

}  // namespace
}  // namespace quorvane::config
