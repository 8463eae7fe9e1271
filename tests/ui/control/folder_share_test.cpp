#include "ui/control/folder_share.h"

#include <gtest/gtest.h>

#include "support/temp_folder.h"

namespace quorvane::ui {
namespace {

TEST(ShareName, IsTheFolderNameMadeSafeForAUrl) {
    const struct {
        std::string_view folder;
        std::string_view name;
    } cases[] = {
        {"Photos", "photos"},
        {"Holiday Photos 2024", "holiday-photos-2024"},
        {"  Two   spaces - and dash ", "two-spaces-and-dash"},
        {"Café & Bar", "caf-bar"},  // what a URL cannot carry as it is goes
        {"a%2Fb?c#d/e", "a2fbcde"},
        {"my_files.v2~old", "my_files.v2~old"},
        {".hidden", "hidden"},
        {"..", "share"},  // never a dot segment
        {"...x...", "x"},
        {"日本語", "share"},
        {"", "share"},
        {"---", "share"},
    };
    for (const auto& [folder, name] : cases) {
        EXPECT_EQ(ShareName(folder), name) << folder;
    }
}

TEST(ShareName, ATakenNameGetsTheFirstFreeNumber) {
    EXPECT_EQ(UniqueShareName("photos", {"/", "/cgi-bin/"}), "photos");
    EXPECT_EQ(UniqueShareName("photos", {"/", "/Photos/"}), "photos-2");  // case ignored
    EXPECT_EQ(UniqueShareName("photos", {"/photos/", "/photos-2/", "/photos-3/"}), "photos-4");
    EXPECT_EQ(UniqueShareName("photos", {"/photos/", "/photos-3/"}), "photos-2");
    EXPECT_EQ(UniqueShareName("photos", {"/photos-2/"}), "photos");
}

TEST(ShareName, TheUrlIsTheNetworkOneWhenThereIsOne) {
    EXPECT_EQ(SharedFolderUrl("http://192.0.2.20:8080", "http://desk:8080", "photos"),
              "http://192.0.2.20:8080/photos/");
    EXPECT_EQ(SharedFolderUrl("", "http://desk", "photos"), "http://desk/photos/");
}

class FolderShareTest : public ::testing::Test {
  protected:
    FolderShareTest() {
        folder_.WriteDirs({{.name = "/", .folder = "www"}, {.name = "/photos/", .folder = "www"}});
        folder_.WriteUsers({{"ann", "a1"}, {"bob", "b2"}, {"two words", "x"}});
        std::filesystem::create_directories(shared_);
    }

    ShareChoice Choice() const { return {.folder = shared_, .name = "photos-2"}; }
    std::vector<config::VirtualDirectory> Records() const {
        return config::ReadDirectories(folder_.Path() / "dirs.lst");
    }

    testing::TempFolder folder_;
    std::filesystem::path shared_ = folder_.Path() / "home" / "Photos";
    FolderShare share_{folder_.Program()};
};

TEST_F(FolderShareTest, SuggestsAnUnusedNameAndOffersTheUsersAFolderCanName) {
    EXPECT_EQ(share_.SuggestName(shared_), "photos-2");
    EXPECT_EQ(share_.SuggestName(folder_.Path() / "home" / "Music Box/"), "music-box");
    EXPECT_EQ(share_.Users(), (std::vector<std::string>{"ann", "bob"}));
}

TEST_F(FolderShareTest, AddsTheRecordForAnyoneOrForTheChosenUsers) {
    config::VirtualDirectory shared;
    ASSERT_EQ(share_.Share(Choice(), shared), ShareOutcome::kShared);
    const config::VirtualDirectory open{.name = "/photos-2/", .folder = shared_.string()};
    EXPECT_EQ(shared, open);

    ShareChoice chosen = Choice();
    chosen.name = "family";
    chosen.users = {"bob"};
    chosen.uploads = true;
    chosen.changes = true;
    ASSERT_EQ(share_.Share(chosen, shared), ShareOutcome::kShared);
    EXPECT_EQ(shared, (config::VirtualDirectory{.name = "/family/",
                                                .folder = shared_.string(),
                                                .secure = true,
                                                .uploads = true,
                                                .changes = true,
                                                .users = {"bob"}}));
    const auto records = Records();
    ASSERT_EQ(records.size(), 4u);
    EXPECT_EQ(records[0],
              (config::VirtualDirectory{.name = "/", .folder = "www"}));  // kept as it was
    EXPECT_EQ(records[2], open);
    EXPECT_EQ(records[3], shared);
    EXPECT_FALSE(records[3].Admits("ann"));
}

TEST_F(FolderShareTest, RefusesWhatWouldNotServeAsChosenAndWritesNothing) {
    const struct {
        const char* what;
        void (*change)(ShareChoice&);
        ShareOutcome outcome;
    } cases[] = {
        {"no folder", [](ShareChoice& c) { c.folder /= "gone"; }, ShareOutcome::kFolderMissing},
        {"relative folder", [](ShareChoice& c) { c.folder = "www"; }, ShareOutcome::kFolderMissing},
        {"empty name", [](ShareChoice& c) { c.name.clear(); }, ShareOutcome::kNameMissing},
        {"upper case", [](ShareChoice& c) { c.name = "Photos"; }, ShareOutcome::kNameMissing},
        {"slash", [](ShareChoice& c) { c.name = "a/b"; }, ShareOutcome::kNameMissing},
        {"dot segment", [](ShareChoice& c) { c.name = ".."; }, ShareOutcome::kNameMissing},
        {"taken", [](ShareChoice& c) { c.name = "photos"; }, ShareOutcome::kNameTaken},
        {"unknown user",
         [](ShareChoice& c) {
             c.users = {"ann", "eve"};
         },
         ShareOutcome::kUserUnknown},
        {"spaced user", [](ShareChoice& c) { c.users = {"two words"}; },
         ShareOutcome::kUserUnknown},
    };
    const std::string before = folder_.Read("dirs.lst");
    for (const auto& [what, change, outcome] : cases) {
        ShareChoice choice = Choice();
        change(choice);
        config::VirtualDirectory shared;
        EXPECT_EQ(share_.Share(choice, shared), outcome) << what;
        EXPECT_EQ(folder_.Read("dirs.lst"), before) << what;
    }
}

TEST_F(FolderShareTest, AListThatCannotBeReadIsNotReplaced) {
    std::filesystem::remove(folder_.Path() / "dirs.lst");
    std::filesystem::create_directory(folder_.Path() / "dirs.lst");  // unreadable as a file
    config::VirtualDirectory shared;
    EXPECT_EQ(share_.Share(Choice(), shared), ShareOutcome::kWriteFailed);
    EXPECT_TRUE(std::filesystem::is_directory(folder_.Path() / "dirs.lst"));
}

TEST_F(FolderShareTest, AddsUsersThatAFolderCanName) {
    EXPECT_EQ(share_.AddUser("carol", "c3"), "");
    EXPECT_EQ(share_.Users(), (std::vector<std::string>{"ann", "bob", "carol"}));
    EXPECT_TRUE(folder_.Users({"c3"}).ends_with(" carol:#c3"));
    EXPECT_EQ(share_.AddUser("Ann", "x"), "There is already a user of that name.");
    EXPECT_EQ(share_.AddUser("dan", ""), "Enter a password.");
    EXPECT_EQ(share_.AddUser("", "x"), "Enter the user's name.");
    EXPECT_EQ(share_.AddUser("d an", "x"), "A user name cannot hold a space.");
    EXPECT_EQ(share_.Users().size(), 3u);
}

}  // namespace
}  // namespace quorvane::ui
