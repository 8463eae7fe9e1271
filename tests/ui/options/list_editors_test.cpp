#include "ui/options/list_editors.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "support/temp_folder.h"

namespace quorvane::ui {
namespace {

class ListEditorsTest : public ::testing::Test {
  protected:
    testing::TempFolder folder_;
    config::ProgramFolder program_ = folder_.Program();
};

TEST_F(ListEditorsTest, VirtualDirectoriesNormaliseRefuseDuplicatesAndKeepTheRoot) {
    folder_.Write(
        "dirs.lst",
        "\"/\",\"www\",\"No\",\"No\",\"No\"\r\n\"/docs/\",\"d\",\"No\",\"No\",\"No\"\r\n");
    folder_.Write("x/keep", "");
    folder_.Write("site/pics/keep", "");
    const std::string pics = (folder_.Path() / "site/pics").string();
    const std::string before = folder_.Read("dirs.lst");
    VirtualDirectoryEditor editor(program_);
    const auto add = [&](std::string name, std::string location, bool secure, bool scripts,
                         bool programs, bool uploads = false) {
        return editor.Add({.name = std::move(name),
                           .folder = std::move(location),
                           .secure = secure,
                           .scripts = scripts,
                           .programs = programs,
                           .uploads = uploads,
                           .changes = uploads});
    };
    EXPECT_EQ(add("", "x", false, false, false), Edit::kNameMissing);
    EXPECT_EQ(add("a", "", false, false, false), Edit::kLocationMissing);
    // The location must be a real folder; a relative one lies in the program folder.
    EXPECT_EQ(add("a", "no-such-folder", false, false, false), Edit::kLocationMissing);
    EXPECT_EQ(add("a", "x/keep", false, false, false), Edit::kLocationMissing);
    EXPECT_EQ(add("docs", "x", false, false, false), Edit::kDuplicate);
    EXPECT_EQ(add("/DOCS/", "x", false, false, false), Edit::kDuplicate);
    EXPECT_EQ(add("/", "x", false, false, false), Edit::kDuplicate);
    EXPECT_EQ(add("say\"hi", "x", false, false, false), Edit::kUnstorable);
    EXPECT_EQ(add("d", "x", true, false, true), Edit::kDone);  // not a prefix match
    // Where scripts may run, no visitor may write.
    EXPECT_EQ(add("/pics/", pics, false, true, false, true), Edit::kDone);
    EXPECT_EQ(add("/drop/", "x", false, false, false, true), Edit::kDone);
    // Nothing is written before the commit; records of five fields are then
    // written back with their two write fields.
    EXPECT_EQ(folder_.Read("dirs.lst"), before);
    ASSERT_TRUE(editor.Commit());
    EXPECT_EQ(folder_.Read("dirs.lst"),
              "\"/\",\"www\",\"No\",\"No\",\"No\",\"No\",\"No\"\r\n"
              "\"/docs/\",\"d\",\"No\",\"No\",\"No\",\"No\",\"No\"\r\n"
              "\"/d/\",\"x\",\"Yes\",\"No\",\"Yes\",\"No\",\"No\"\r\n\"/pics/\",\"" +
                  pics +
                  "\",\"No\",\"Yes\",\"No\",\"No\",\"No\"\r\n"
                  "\"/drop/\",\"x\",\"No\",\"No\",\"No\",\"Yes\",\"Yes\"\r\n");

    EXPECT_EQ(editor.Remove(0), Edit::kRootRefused);
    EXPECT_EQ(editor.Remove(std::nullopt), Edit::kNothingSelected);
    EXPECT_EQ(editor.Remove(1), Edit::kDone);
    editor.ApplyHomeDirectory({.folder = "/srv/site", .secure = true, .programs = true});
    ASSERT_TRUE(editor.Commit());
    EXPECT_TRUE(
        folder_.Read("dirs.lst")
            .starts_with("\"/\",\"/srv/site\",\"Yes\",\"No\",\"Yes\",\"No\",\"No\"\r\n\"/d/"));
}

TEST_F(ListEditorsTest, AddressesAreFourNumbersAndWholeEntriesCompare) {
    AddressEditor editor(program_, config::kBlockList, {"192.0.2.20"}, true);
    EXPECT_EQ(editor.Add({"10", "0", "0", "12"}), Edit::kDone);
    EXPECT_EQ(editor.Add({"10", "0", "0", "1"}), Edit::kDone);  // no prefix refusal
    EXPECT_EQ(editor.Add({"10", "0", "0", "012"}), Edit::kDuplicate);
    EXPECT_EQ(editor.Add({"10", "0", "0", "256"}), Edit::kBadAddressPart);
    EXPECT_EQ(editor.Add({"", "0", "0", "1"}), Edit::kBadAddressPart);
    EXPECT_EQ(editor.Add({"a", "0", "0", "1"}), Edit::kBadAddressPart);
    ASSERT_TRUE(editor.Commit());
    EXPECT_EQ(folder_.Read("iplist.lst"), "\"10.0.0.12\"\r\n\"10.0.0.1\"\r\n");
    EXPECT_EQ(editor.Remove(std::nullopt), Edit::kNothingSelected);
    EXPECT_EQ(editor.Remove(0), Edit::kDone);
    ASSERT_TRUE(editor.Commit());
    EXPECT_EQ(folder_.Read("iplist.lst"), "\"10.0.0.1\"\r\n");

    // Blocking this machine is confirmed first; the CGI list asks nothing.
    EXPECT_EQ(editor.Add({"127", "0", "0", "1"}), Edit::kOwnAddress);
    EXPECT_EQ(editor.Add({"192", "0", "2", "020"}), Edit::kOwnAddress);
    EXPECT_EQ(editor.Add({"127", "0", "0", "1"}, true), Edit::kDone);
    EXPECT_EQ(editor.Add({"127", "0", "0", "1"}), Edit::kDuplicate);
    AddressEditor barred(program_, config::kNoCgiList);
    EXPECT_EQ(barred.Add({"127", "0", "0", "1"}), Edit::kDone);

    // Remove on an empty list removes its file.
    EXPECT_EQ(barred.Remove(0), Edit::kDone);
    ASSERT_TRUE(barred.Commit());
    EXPECT_EQ(folder_.Read("nocgi.lst"), "");
    EXPECT_EQ(barred.Remove(std::nullopt), Edit::kDone);
    EXPECT_TRUE(std::filesystem::exists(folder_.Path() / "nocgi.lst"));
    ASSERT_TRUE(barred.Commit());
    EXPECT_FALSE(std::filesystem::exists(folder_.Path() / "nocgi.lst"));
}

TEST_F(ListEditorsTest, DefaultDocumentsMoveAndAnEmptyListLeavesNoFile) {
    folder_.Write("default.lst", "\"index.htm\"\r\n\"index.html\"\r\n\"default.htm\"\r\n");
    DocumentEditor editor(program_);
    EXPECT_EQ(editor.MoveUp(1), 0u);
    ASSERT_TRUE(editor.Commit());
    EXPECT_EQ(folder_.Read("default.lst"),
              "\"index.html\"\r\n\"index.htm\"\r\n\"default.htm\"\r\n");
    EXPECT_EQ(editor.MoveUp(0), std::nullopt);
    EXPECT_EQ(editor.MoveDown(2), std::nullopt);
    EXPECT_EQ(editor.MoveDown(0), 1u);
    ASSERT_TRUE(editor.Commit());
    EXPECT_EQ(folder_.Read("default.lst"),
              "\"index.htm\"\r\n\"index.html\"\r\n\"default.htm\"\r\n");
    EXPECT_EQ(editor.Add(""), Edit::kNameMissing);
    EXPECT_EQ(editor.Add("index.html"), Edit::kDuplicate);
    EXPECT_EQ(editor.Add("home.htm"), Edit::kDone);
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(editor.Remove(0), Edit::kDone);
    }
    ASSERT_TRUE(editor.Commit());
    EXPECT_FALSE(std::filesystem::exists(folder_.Path() / "default.lst"));
}

TEST_F(ListEditorsTest, MimeTypesAreStoredAsOneFieldWithoutALeadingDot) {
    MimeEditor editor(program_);
    EXPECT_EQ(editor.Add("JPG", ""), Edit::kPartMissing);
    EXPECT_EQ(editor.Add(" . ", "image/jpeg"), Edit::kPartMissing);
    EXPECT_EQ(editor.Add(".JPG", "image/jpeg"), Edit::kDone);
    EXPECT_EQ(editor.Add("jpg", "image/pjpeg"), Edit::kDuplicate);  // as the lookup ignores case
    EXPECT_EQ(editor.Add("jpeg", "image/jpeg"), Edit::kDone);
    ASSERT_TRUE(editor.Commit());
    EXPECT_EQ(folder_.Read("mime.lst"), "\"JPG,image/jpeg\"\r\n\"jpeg,image/jpeg\"\r\n");
    EXPECT_EQ(editor.Remove(0), Edit::kDone);
}

TEST_F(ListEditorsTest, UsersCompareWholeNamesAndAdminStays) {
    folder_.WriteUsers({{"ADMIN", "a"}, {"bob", "1"}, {"Bob", "2"}, {"bob", "3"}});
    UserEditor editor(program_);
    EXPECT_EQ(editor.Add("", "x"), Edit::kNameMissing);
    EXPECT_EQ(editor.Add("carol", ""), Edit::kPasswordMissing);
    EXPECT_EQ(editor.Add("admin", "x"), Edit::kDuplicate);
    EXPECT_EQ(editor.Add("AD", "x"), Edit::kDone);  // no prefix refusal
    EXPECT_EQ(editor.Remove(0), Edit::kAdminRefused);
    EXPECT_EQ(editor.Remove(1), Edit::kDone);  // every "bob", not "Bob"
    ASSERT_TRUE(editor.Commit());
    EXPECT_EQ(folder_.Users({"x"}), "ADMIN:a Bob:2 AD:#x");  // only the new one hashed

    std::filesystem::remove(folder_.Path() / "users.lst");
    UserEditor fresh(program_);  // a missing list counts as empty
    EXPECT_TRUE(fresh.Rows().empty());
    EXPECT_EQ(fresh.Add("dave", "pw"), Edit::kDone);
    ASSERT_TRUE(fresh.Commit());
    EXPECT_EQ(testing::ModeOf(folder_.Path() / "users.lst"), 0600u);
}

TEST_F(ListEditorsTest, ProtectingPasswordsHashesThoseInClearAlone) {
    folder_.WriteUsers({{"ADMIN", "a"}, {"bob", "$6$saltstring$hashed"}, {"erin", ""}});
    UserEditor editor(program_);
    EXPECT_TRUE(editor.HasPasswordsInClear());
    EXPECT_EQ(editor.ProtectPasswords(), Edit::kDone);
    EXPECT_FALSE(editor.HasPasswordsInClear());
    ASSERT_TRUE(editor.Commit());
    // A record without a password still lets nobody in.
    EXPECT_EQ(folder_.Users({"a"}), "ADMIN:#a bob:$6$saltstring$hashed erin:");
}

TEST_F(ListEditorsTest, TheUserListIsPrivateAcrossRewritesWhateverItWasBefore) {
    const auto mode = [&](const char* file) { return testing::ModeOf(folder_.Path() / file); };
    for (const mode_t before : {0600, 0640, 0644, 0666}) {
        folder_.WriteUsers({{"ADMIN", "a"}});
        std::filesystem::permissions(folder_.Path() / "users.lst", std::filesystem::perms(before));
        UserEditor editor(program_);
        EXPECT_EQ(editor.Add("bob", "1"), Edit::kDone);
        ASSERT_TRUE(editor.Commit());
        EXPECT_EQ(mode("users.lst"), 0600u) << std::oct << before;
        EXPECT_EQ(editor.Remove(1), Edit::kDone);
        ASSERT_TRUE(editor.Commit());
        EXPECT_EQ(mode("users.lst"), 0600u) << std::oct << before;
    }
    // A list without secrets keeps the mode its owner gave it.
    folder_.Write("mime.lst", "");
    std::filesystem::permissions(folder_.Path() / "mime.lst", std::filesystem::perms(0664));
    MimeEditor mime(program_);
    EXPECT_EQ(mime.Add("a", "b"), Edit::kDone);
    ASSERT_TRUE(mime.Commit());
    EXPECT_EQ(mode("mime.lst"), 0664u);
}

TEST_F(ListEditorsTest, AFailedCommitKeepsTheEditsForTheNextOne) {
    MimeEditor editor(program_);
    ASSERT_EQ(editor.Add("a", "b"), Edit::kDone);
    // A folder in the file's place cannot be replaced, not even by root.
    std::filesystem::create_directories(folder_.Path() / "mime.lst/inside");
    EXPECT_FALSE(editor.Commit());
    EXPECT_EQ(editor.Rows().size(), 1u);
    std::filesystem::remove_all(folder_.Path() / "mime.lst");
    EXPECT_TRUE(editor.Commit());
    EXPECT_EQ(folder_.Read("mime.lst"), "\"a,b\"\r\n");
}

TEST_F(ListEditorsTest, EditsWaitForTheCommitAndAnUntouchedListIsNotWritten) {
    folder_.WriteUsers({{"ADMIN", "a"}});
    folder_.WriteAddresses(config::kBlockList, {"10.0.0.1"});
    const std::string dirs = folder_.Read("dirs.lst");
    std::filesystem::remove(folder_.Path() / "mime.lst");
    ListEditors lists(program_, {});
    EXPECT_EQ(lists.users.Add("bob", "pw"), Edit::kDone);
    EXPECT_EQ(lists.blocked.Add({"10", "0", "0", "2"}), Edit::kDone);
    EXPECT_EQ(folder_.Read("users.lst"), "\"ADMIN\",\"a\"\r\n");
    EXPECT_EQ(folder_.Read("iplist.lst"), "\"10.0.0.1\"\r\n");
    // A list asked to be written appears even when empty; others stay away.
    lists.mimeTypes.WriteAtCommit();
    EXPECT_EQ(lists.CommitAll(), std::nullopt);
    EXPECT_EQ(folder_.Users({"pw"}), "ADMIN:a bob:#pw");
    EXPECT_EQ(folder_.Read("iplist.lst"), "\"10.0.0.1\"\r\n\"10.0.0.2\"\r\n");
    EXPECT_EQ(folder_.Read("mime.lst"), "");
    EXPECT_EQ(folder_.Read("dirs.lst"), dirs);
    EXPECT_FALSE(std::filesystem::exists(folder_.Path() / "nocgi.lst"));

    // The first file that cannot be written is named.
    EXPECT_EQ(lists.barred.Add({"1", "1", "1", "1"}), Edit::kDone);
    std::filesystem::create_directories(folder_.Path() / "nocgi.lst/inside");
    EXPECT_EQ(lists.CommitAll(), folder_.Path() / "nocgi.lst");
}

TEST_F(ListEditorsTest, EachListChangesARowInPlaceWithTheChecksOfAdding) {
    folder_.WriteUsers({{"ADMIN", "a"}, {"bob", "1"}, {"carol", "2"}});
    folder_.Write("mime.lst", "\"htm,text/html\"\r\n\"png,image/png\"\r\n");
    UserEditor users(program_);
    EXPECT_EQ(users.Change(1, "bob", "new"), Edit::kDone);  // the password alone
    EXPECT_EQ(users.Change(1, "CAROL", "x"), Edit::kDuplicate);
    EXPECT_EQ(users.Change(2, "Carol", ""), Edit::kDone);  // the password kept
    EXPECT_EQ(users.Change(0, "root", "a"), Edit::kAdminRefused);
    EXPECT_EQ(users.Change(0, "ADMIN", "b"), Edit::kDone);
    EXPECT_EQ(users.Change(7, "x", "y"), Edit::kNothingSelected);
    ASSERT_TRUE(users.Commit());
    EXPECT_EQ(folder_.Users({"b", "new"}), "ADMIN:#b bob:#new Carol:2");

    MimeEditor mime(program_);
    EXPECT_EQ(MimeEditor::Parts(mime.Rows()[1]), (std::array<std::string, 2>{"png", "image/png"}));
    EXPECT_EQ(mime.Change(1, "HTM", "text/plain"), Edit::kDuplicate);
    EXPECT_EQ(mime.Change(1, ".PNG", "image/apng"), Edit::kDone);  // its own extension
    EXPECT_EQ(mime.Rows()[1][0], "PNG,image/apng");

    AddressEditor addresses(program_, config::kBlockList, {"127.0.0.1"}, true);
    EXPECT_EQ(addresses.Add({"10", "0", "0", "1"}), Edit::kDone);
    EXPECT_EQ(addresses.Add({"10", "0", "0", "2"}), Edit::kDone);
    EXPECT_EQ(addresses.Change(0, {"10", "0", "0", "2"}), Edit::kDuplicate);
    EXPECT_EQ(addresses.Change(0, {"127", "0", "0", "1"}), Edit::kOwnAddress);
    EXPECT_EQ(addresses.Change(0, {"10", "0", "0", "01"}), Edit::kDone);
    EXPECT_EQ(addresses.Change(0, {"10", "0", "0", "9"}), Edit::kDone);
    EXPECT_EQ(addresses.Rows()[0][0], "10.0.0.9");
    EXPECT_EQ(AddressEditor::PartsOf("10.0.0.9"),
              (std::array<std::string, 4>{"10", "0", "0", "9"}));
    for (const char* unshowable : {"2001:db8::7", "10.0.0", "10.0.0.1.2", "10.0.0.300", ""}) {
        EXPECT_EQ(AddressEditor::PartsOf(unshowable), std::nullopt) << unshowable;
    }
}

TEST_F(ListEditorsTest, AVirtualDirectoryChangesAndNamesTheUsersItAdmits) {
    folder_.WriteDirs(
        {{"/", "www"}, {"/docs/", "d", true, false, false, false, false, {"bob"}}, {"/pub/", "p"}});
    folder_.Write("d/keep", "");
    folder_.Write("p/keep", "");
    VirtualDirectoryEditor editor(program_);
    EXPECT_EQ(editor.At(1).users, std::vector<std::string>{"bob"});
    EXPECT_EQ(editor.Change(0, {.name = "/", .folder = "d"}), Edit::kRootRefused);
    EXPECT_EQ(editor.Change(2, {.name = "docs", .folder = "p"}), Edit::kDuplicate);
    EXPECT_EQ(editor.Change(2, {.name = "pub", .folder = "gone"}), Edit::kLocationMissing);
    EXPECT_EQ(editor.Change(
                  1, {.name = "DOCS", .folder = "d", .secure = true, .users = {"bob", "carol"}}),
              Edit::kDone);
    // A folder that is not secure names nobody.
    EXPECT_EQ(editor.Change(2, {.name = "pub", .folder = "p", .users = {"bob"}}), Edit::kDone);
    editor.RenameUser("bob", "robert");
    ASSERT_TRUE(editor.Commit());
    EXPECT_EQ(folder_.Read("dirs.lst"),
              "\"/\",\"www\",\"No\",\"No\",\"No\",\"No\",\"No\"\r\n"
              "\"/DOCS/\",\"d\",\"Yes\",\"No\",\"No\",\"No\",\"No\",\"robert carol\"\r\n"
              "\"/pub/\",\"p\",\"No\",\"No\",\"No\",\"No\",\"No\"\r\n");
    EXPECT_EQ(config::ReadDirectories(folder_.Path() / "dirs.lst")[1].users,
              (std::vector<std::string>{"robert", "carol"}));
}

}  // namespace
}  // namespace quorvane::ui
