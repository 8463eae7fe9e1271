#include "dav/upload.h"

#include <fcntl.h>
#include <gtest/gtest.h>

#include <fstream>

#include "support/temp_folder.h"

namespace quorvane::dav {
namespace {

namespace fs = std::filesystem;

class UploadTest : public ::testing::TestWithParam<bool> {
  protected:
    std::unique_ptr<Upload> Begin(std::string name, bool replace, uint64_t keepFree = 0) {
        return Upload::Begin(
            {.folder = config::FileHandle(::open(folder.Path().c_str(), O_RDONLY | O_DIRECTORY)),
             .name = std::move(name),
             .replace = replace,
             .keepFree = keepFree,
             .shownName = "/up"},
            GetParam());
    }
    std::vector<std::string> Names() const {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(folder.Path())) {
            names.push_back(entry.path().filename());
        }
        std::sort(names.begin(), names.end());
        return names;
    }
    std::string Read(const std::string& name) const {
        std::ifstream in(folder.Path() / name);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }

    testing::TempFolder folder;
};

// Both ways of keeping a file unseen until it is whole: an unnamed file, and
// the hidden part file where those cannot be had.
TEST_P(UploadTest, AFileAppearsOnlyWholeAndAnUnfinishedOneLeavesNothing) {
    {
        std::unique_ptr<Upload> upload = Begin("new.txt", false);
        ASSERT_TRUE(upload);
        EXPECT_EQ(upload->Unnamed(), GetParam());
        ASSERT_TRUE(upload->Write("hello "));
        ASSERT_TRUE(upload->Write("world"));
        EXPECT_EQ(Names().size(), GetParam() ? 0u : 1u);  // the part file is hidden
        std::string note;
        EXPECT_EQ(upload->Finish(note).code, 201);
        EXPECT_EQ(note, "/up (11 bytes)");
    }
    EXPECT_EQ(Names(), std::vector<std::string>{"new.txt"});
    EXPECT_EQ(Read("new.txt"), "hello world");
    {
        std::unique_ptr<Upload> cut = Begin("cut.txt", false);
        ASSERT_TRUE(cut->Write(std::string(100000, 'x')));
    }  // the client went away
    EXPECT_EQ(Names(), std::vector<std::string>{"new.txt"});
}

TEST_P(UploadTest, AnExistingFileIsReplacedOnlyWhereChangesAreAllowed) {
    folder.Write("old.txt", "OLD");
    std::string note;
    std::unique_ptr<Upload> refused = Begin("old.txt", false);
    ASSERT_TRUE(refused->Write("NEW"));
    EXPECT_EQ(refused->Finish(note).code, 409);
    refused.reset();
    EXPECT_EQ(Read("old.txt"), "OLD");
    std::unique_ptr<Upload> replacing = Begin("old.txt", true);
    ASSERT_TRUE(replacing->Write("NEW"));
    EXPECT_EQ(replacing->Finish(note).code, 204);
    EXPECT_EQ(Read("old.txt"), "NEW");
    EXPECT_EQ(Names(), std::vector<std::string>{"old.txt"});
}

TEST_P(UploadTest, AFullDiskRefusesTheUploadAndKeepsNothing) {
    std::unique_ptr<Upload> upload = Begin("big.bin", false, UINT64_MAX);
    const std::string piece(1 << 20, 'b');
    bool refused = false;
    for (int i = 0; i < 20 && !refused; ++i) {
        refused = !upload->Write(piece);
    }
    EXPECT_TRUE(refused);
    std::string note;
    EXPECT_EQ(upload->Finish(note).code, 507);
    upload.reset();
    EXPECT_TRUE(Names().empty());
}

INSTANTIATE_TEST_SUITE_P(UnnamedOrPartFile, UploadTest, ::testing::Bool());

}  // namespace
}  // namespace quorvane::dav
