#include "ui/control/single_instance.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <QLocalServer>
#include <QLocalSocket>

#include "support/temp_folder.h"
#include "support/ui_fakes.h"
#include "ui/control/instance_key.h"
#include "ui/control/instance_trust.h"

namespace quorvane::ui {
namespace {

using testing::WaitUntil;

class SingleInstanceTest : public ::testing::Test {
  protected:
    // Where main puts the socket, here with the test's own folders.
    std::optional<std::filesystem::path> Folder() const {
        return InstanceFolder(runtime_.Path().string(), temp_.Path(), user_);
    }
    std::string Key(const testing::TempFolder& program) const {
        return InstanceKey(program.Path(), user_);
    }
    // A listener of the key's name in `folder`, as another user could leave.
    std::unique_ptr<QLocalServer> Stranger(const std::filesystem::path& folder) const {
        auto server = std::make_unique<QLocalServer>();
        EXPECT_TRUE(server->listen(QString::fromStdString((folder / Key(program_)).string())));
        return server;
    }

    const uid_t user_ = ::getuid();
    const testing::TempFolder runtime_;
    const testing::TempFolder temp_;
    const testing::TempFolder program_;
};

TEST_F(SingleInstanceTest, ASecondStartOnTheSameFolderWakesTheFirst) {
    const testing::TempFolder other;
    SingleInstance first(Folder(), Key(program_), user_);
    int activations = 0;
    QObject::connect(&first, &SingleInstance::Activated, [&] { ++activations; });
    ASSERT_TRUE(first.Claim());
    EXPECT_FALSE(SingleInstance(Folder(), Key(program_), user_).Claim());
    EXPECT_TRUE(WaitUntil([&] { return activations == 1; }));
    EXPECT_TRUE(SingleInstance(Folder(), Key(other), user_).Claim());
}

TEST_F(SingleInstanceTest, ASecondStartHandsOverTheFolderToShare) {
    SingleInstance first(Folder(), Key(program_), user_);
    int activations = 0;
    std::vector<QString> shares;
    QObject::connect(&first, &SingleInstance::Activated, [&] { ++activations; });
    QObject::connect(&first, &SingleInstance::ShareAsked,
                     [&](const QString& folder) { shares.push_back(folder); });
    ASSERT_TRUE(first.Claim());
    EXPECT_FALSE(SingleInstance(Folder(), Key(program_), user_).Claim("/home/me/Holiday Photos"));
    EXPECT_FALSE(SingleInstance(Folder(), Key(program_), user_).Claim("/home/me/Über"));
    EXPECT_FALSE(SingleInstance(Folder(), Key(program_), user_).Claim(QString()));  // no folder
    EXPECT_FALSE(SingleInstance(Folder(), Key(program_), user_).Claim());           // only "show"
    EXPECT_TRUE(WaitUntil([&] { return activations == 4; }));
    EXPECT_EQ(shares, (std::vector<QString>{"/home/me/Holiday Photos", "/home/me/Über", ""}));
}

// Every process here runs as one user; an instance told it belongs to another
// user sees the real peers as strangers.
TEST_F(SingleInstanceTest, APeerOfAnotherUserIsNeitherBelievedNorObeyed) {
    const std::unique_ptr<QLocalServer> stranger = Stranger(*Folder());
    SingleInstance second(Folder(), Key(program_), user_ + 1);
    EXPECT_TRUE(second.Claim());

    const testing::TempFolder other;
    SingleInstance running(Folder(), Key(other), user_ + 1);
    int activations = 0;
    QObject::connect(&running, &SingleInstance::Activated, [&] { ++activations; });
    ASSERT_TRUE(running.Claim());
    QLocalSocket caller;
    caller.connectToServer(QString::fromStdString((*Folder() / Key(other)).string()));
    ASSERT_TRUE(caller.waitForConnected(2000));
    caller.write("show\n");
    // The running instance hangs up on a stranger instead of showing itself.
    EXPECT_TRUE(WaitUntil([&] { return caller.state() == QLocalSocket::UnconnectedState; }));
    EXPECT_EQ(activations, 0);
}

}  // namespace
}  // namespace quorvane::ui
