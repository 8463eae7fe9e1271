#include "ui/control/site_export.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "support/temp_folder.h"
#include "support/ui_fakes.h"

namespace quorvane::ui {
namespace {

namespace fs = std::filesystem;

class SiteExportTest : public ::testing::Test {
  protected:
    SiteExportTest() {
        folder_.WriteDirs({{.name = "/", .folder = "www"}});
        folder_.Write("www/index.htm", "<html></html>");
    }
    // Exports into the folder answered, or cancels the picker without one.
    void Export(const QString& answer = QString()) {
        if (!answer.isEmpty()) {
            pickers_.answers.emplace_back(answer);
        }
        ExportForNginx(nullptr, folder_.Program(), pickers_, messages_);
    }

    testing::TempFolder folder_;
    testing::FakeMessages messages_;
    testing::FakePickers pickers_;
    fs::path target_ = folder_.Path() / "nginx";
    QString targetText_ = QString::fromStdString(target_.string());
};

TEST_F(SiteExportTest, WritesIntoTheChosenFolderAndSaysWhat) {
    Export();  // cancelled
    EXPECT_FALSE(fs::exists(target_));
    EXPECT_TRUE(messages_.informations.empty());

    Export(targetText_);
    ASSERT_EQ(messages_.informations.size(), 1u);
    EXPECT_TRUE(messages_.informations[0].contains(targetText_ + "/nginx.conf"));
    EXPECT_TRUE(fs::exists(target_ / "quorvane.conf"));
    EXPECT_TRUE(messages_.questions.empty());
}

TEST_F(SiteExportTest, AsksBeforeWritingOverFilesAlreadyThere) {
    folder_.Write("nginx/mine.txt", "kept");
    messages_.answer = false;
    Export(targetText_);
    ASSERT_EQ(messages_.questions.size(), 1u);
    EXPECT_FALSE(fs::exists(target_ / "nginx.conf"));
    EXPECT_TRUE(messages_.informations.empty() && messages_.warnings.empty());

    messages_.answer = true;
    Export(targetText_);
    EXPECT_TRUE(fs::exists(target_ / "nginx.conf"));
    EXPECT_EQ(folder_.Read("nginx/mine.txt"), "kept");
    EXPECT_EQ(messages_.informations.size(), 1u);
}

}  // namespace
}  // namespace quorvane::ui
