// "Share..." and the Shared Links tab, driven through the control window.
#include <gtest/gtest.h>

#include <fstream>

#include <QAction>
#include <QClipboard>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QTableWidget>

#include "responses/share_maker.h"
#include "support/http_client.h"
#include "support/test_site.h"
#include "support/ui_fakes.h"
#include "ui/control/control_window.h"
#include "ui/qr_reader.h"

namespace quorvane::ui {
namespace {

class SharedLinksTest : public ::testing::Test {
  protected:
    SharedLinksTest() {
        std::filesystem::copy(QUORVANE_DIST_PATH, folder_.Path(),
                              std::filesystem::copy_options::recursive);
        std::ofstream(report_) << "the quarterly report";
    }

    ControlWindow& Window() {
        window_ = std::make_unique<ControlWindow>(ControlWindow::Setup{
            folder_.Program(), "/opt/quorvane/quorvane", folder_.Path() / "autostart", messages_,
            desktop_, server::ServerControl::Options{"127.0.0.1", 0, 0}});
        window_->SetSharing(pickers_, [](QWidget*) { return std::optional<NewUser>(); });
        window_->Startup();
        return *window_;
    }
    template <typename T>
    T* Find(const char* name) {
        T* found = window_->findChild<T*>(QString::fromLatin1(name));
        EXPECT_NE(found, nullptr) << name;
        return found;
    }
    QString Text(const char* label) { return Find<QLabel>(label)->text(); }
    std::string QrCodeIn(const char* label) {
        return testing::ReadQrCode(Find<QLabel>(label)->pixmap().toImage());
    }
    void MakeLink() {
        Find<QDialogButtonBox>("LinkButtons")->button(QDialogButtonBox::Ok)->click();
    }
    config::ShareLinks Stored() {
        return config::SharesFile(folder_.Path() / "shares.lst").Read().value();
    }

    testing::TempFolder folder_;
    std::filesystem::path report_ = folder_.Path() / "www" / "report.txt";
    testing::FakeMessages messages_;
    testing::FakeDesktop desktop_;
    testing::FakePickers pickers_;
    std::unique_ptr<ControlWindow> window_;
};

TEST_F(SharedLinksTest, AMadeLinkIsShownWithItsCodeAndOpensTheFileForItsDownloads) {
    ControlWindow& window = Window();
    pickers_.answers = {QString::fromStdString(report_.string())};
    Find<QAction>("mnuShareLink")->trigger();  // from the tray menu
    ASSERT_NE(window.SharedLinks().CurrentShareDialog(), nullptr);
    Find<QPushButton>("LinkChooseFile")->click();
    Find<QSpinBox>("LinkDownloads")->setValue(1);
    Find<QLineEdit>("LinkNote")->setText("for Bob");
    MakeLink();
    ASSERT_TRUE(messages_.warnings.empty()) << messages_.warnings.front().toStdString();

    // The server was started; the URL is the site's, and only its hash is stored.
    ASSERT_TRUE(window.Control().IsListening());
    const QString site = QStringLiteral("http://%1:%2/s/")
                             .arg(QString::fromStdString(window.Control().Host().hostName))
                             .arg(window.Control().Port());
    const QString url = Text("LinkUrl");
    ASSERT_TRUE(url.startsWith(site)) << url.toStdString();
    const std::string token = url.mid(site.size()).toStdString();
    EXPECT_TRUE(config::IsShareToken(token)) << token;
    EXPECT_EQ(QrCodeIn("LinkQRCode"), url.toStdString());
    Find<QPushButton>("LinkCopy")->click();
    EXPECT_EQ(QGuiApplication::clipboard()->text(), url);
    const config::ShareLinks stored = Stored();
    ASSERT_EQ(stored.size(), 1u);
    EXPECT_EQ(stored[0].tokenHash, config::HashShareToken(token));
    EXPECT_EQ(stored[0].path, report_.string());
    EXPECT_EQ(*stored[0].expires - stored[0].created, std::chrono::days(7));
    EXPECT_EQ(stored[0].downloadsLeft, 1u);
    EXPECT_EQ(stored[0].note, "for Bob");
    EXPECT_EQ(folder_.Read("shares.lst").find(token), std::string::npos);

    // The tab shows the new link, chosen, with the same code; the link opens
    // the file once, and the row then says it is used up.
    EXPECT_EQ(Find<QTableWidget>("SharedLinksTable")->rowCount(), 1);
    EXPECT_EQ(Text("SharedLinkUrl"), url);
    EXPECT_EQ(QrCodeIn("SharedLinkQRCode"), url.toStdString());
    const std::string path = "/s/" + token;
    std::string reply;
    EXPECT_TRUE(testing::WaitUntil([&] {
        reply = testing::Exchange(window.Control().Port(), "GET " + path + " HTTP/1.0\r\n\r\n");
        return testing::StatusOf(reply) == "HTTP/1.1 200 OK";
    })) << reply;
    EXPECT_EQ(testing::BodyOf(reply), "the quarterly report");
    window.WatchDesktop();
    EXPECT_EQ(Find<QTableWidget>("SharedLinksTable")->item(0, 2)->text(), "used up");
    EXPECT_FALSE(Find<QLabel>("SharedLinkQRCode")->isVisibleTo(&window));
    EXPECT_EQ(Text("SharedLinkNotice"), "The link is used up: it opens nothing.");
}

TEST_F(SharedLinksTest, ALinkOfAnotherRunOffersOnlyRevokeWhichAsksFirst) {
    const auto made = responses::MakeShare(
        folder_.Program(), {.path = report_, .lifetime = {std::nullopt}}, config::Clock::now());
    ASSERT_TRUE(std::holds_alternative<responses::MadeShare>(made));
    ControlWindow& window = Window();
    auto* tabs = Find<QTabWidget>("SSTab1");
    tabs->setCurrentWidget(&window.SharedLinks());
    auto* table = Find<QTableWidget>("SharedLinksTable");
    ASSERT_EQ(table->rowCount(), 1);
    EXPECT_EQ(table->item(0, 1)->text(), "never");
    table->selectRow(0);
    EXPECT_FALSE(Find<QLabel>("SharedLinkQRCode")->isVisibleTo(&window));
    EXPECT_FALSE(Find<QPushButton>("SharedLinkCopy")->isVisibleTo(&window));
    EXPECT_TRUE(Text("SharedLinkNotice").startsWith("The link was shown once"));

    messages_.answer = false;
    Find<QPushButton>("SharedLinkRevoke")->click();
    ASSERT_EQ(messages_.questions.size(), 1u);
    EXPECT_TRUE(messages_.questions[0].contains(QString::fromStdString(report_.string())));
    EXPECT_EQ(Stored().size(), 1u);
    EXPECT_EQ(table->rowCount(), 1);
    messages_.answer = true;
    Find<QPushButton>("SharedLinkRevoke")->click();
    EXPECT_TRUE(Stored().empty());
    EXPECT_EQ(table->rowCount(), 0);
    EXPECT_FALSE(Find<QPushButton>("SharedLinkRevoke")->isEnabled());
}

TEST_F(SharedLinksTest, APathTheSiteDoesNotServeIsRefusedWithTheReasonAndNothingStored) {
    ControlWindow& window = Window();
    std::ofstream(folder_.Path() / "outside.txt") << "not served";
    Find<QPushButton>("SharedLinkShare")->click();
    ASSERT_NE(window.SharedLinks().CurrentShareDialog(), nullptr);
    Find<QLineEdit>("LinkPath")
        ->setText(QString::fromStdString((folder_.Path() / "outside.txt").string()));
    MakeLink();
    ASSERT_EQ(messages_.warnings.size(), 1u);
    EXPECT_TRUE(messages_.warnings[0].endsWith("is not inside a folder the site serves."))
        << messages_.warnings[0].toStdString();
    EXPECT_FALSE(std::filesystem::exists(folder_.Path() / "shares.lst"));
    EXPECT_FALSE(Find<QLabel>("LinkUrl")->isVisibleTo(window.SharedLinks().CurrentShareDialog()));
    EXPECT_FALSE(window.Control().IsListening());
}

}  // namespace
}  // namespace quorvane::ui
