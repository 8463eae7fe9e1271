// Takes the pictures of sharing for the README, on Qt's offscreen platform:
// the Share dialog filled in, the folder's address it then shows, the
// Information tab of the window serving it, and a share link made and listed.
#include <QApplication>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTableWidget>
#include <QTabWidget>
#include <csignal>
#include <fstream>
#include <iostream>

#include "support/temp_folder.h"
#include "support/ui_fakes.h"
#include "ui/control/control_window.h"

namespace {

bool Save(QWidget& widget, const std::filesystem::path& file) {
    QApplication::processEvents();
    const bool saved = widget.grab().save(QString::fromStdString(file.string()));
    std::cout << (saved ? "wrote " : "could not write ") << file.string() << "\n";
    return saved;
}

// The folder is filled in from the start; nothing is picked.
class NoPickers : public quorvane::ui::FilePickers {
  public:
    std::optional<QString> ChooseFolder(QWidget*, const QString&, const QString&) override {
        return std::nullopt;
    }
    std::optional<QString> ChooseFile(QWidget*, const QString&, const QString&,
                                      const QString&) override {
        return std::nullopt;
    }
};

template <typename T>
T* Find(QWidget& window, const char* name) {
    return window.findChild<T*>(QString::fromLatin1(name));
}

}  // namespace

int main(int argc, char** argv) {
    std::signal(SIGPIPE, SIG_IGN);
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    if (argc != 3) {
        std::cerr << "usage: take_screenshots SAMPLES_FOLDER PICTURES_FOLDER\n";
        return 2;
    }
    using namespace quorvane;
    const testing::TempFolder folder;
    std::filesystem::copy(argv[1], folder.Path(), std::filesystem::copy_options::recursive);
    folder.WriteUsers({{"ann", "a-long-secret"}, {"ben", "another-secret"}});
    const std::filesystem::path photos = folder.Path() / "Holiday Photos";
    std::filesystem::create_directories(photos);
    std::ofstream(photos / "beach.txt") << "sand\n";

    testing::FakeMessages messages;
    testing::FakeDesktop desktop;
    NoPickers pickers;
    // It listens on this computer only: the pictures show the local address.
    ui::ControlWindow window({folder.Program(), "/usr/bin/quorvane", folder.Path() / "autostart",
                              messages, desktop,
                              server::ServerControl::Options{"127.0.0.1", 0, 0}});
    window.SetSharing(pickers, [](QWidget*) { return std::nullopt; });
    window.Startup();
    window.resize(760, 520);
    window.OpenShareDialog(QString::fromStdString(photos.string()));
    QWidget& dialog = *window.CurrentShareDialog();
    Find<QCheckBox>(dialog, "ShareUser:ann")->setChecked(true);
    Find<QCheckBox>(dialog, "ShareUploads")->setChecked(true);
    dialog.adjustSize();
    const std::filesystem::path out = argv[2];
    bool saved = Save(dialog, out / "share-dialog.png");
    Find<QDialogButtonBox>(dialog, "ShareButtons")->button(QDialogButtonBox::Ok)->click();
    dialog.adjustSize();
    saved = Save(dialog, out / "share-result.png") && saved;
    Find<QTabWidget>(window, "SSTab1")->setCurrentIndex(0);
    saved = Save(window, out / "information-after-sharing.png") && saved;

    std::ofstream(folder.Path() / "www" / "report.pdf") << "%PDF-1.4\n";
    window.SharedLinks().OpenShareDialog();
    QWidget& link = *window.SharedLinks().CurrentShareDialog();
    Find<QLineEdit>(link, "LinkPath")->setText(
        QString::fromStdString((folder.Path() / "www" / "report.pdf").string()));
    Find<QSpinBox>(link, "LinkDownloads")->setValue(3);
    Find<QLineEdit>(link, "LinkNote")->setText("for Ann");
    Find<QDialogButtonBox>(link, "LinkButtons")->button(QDialogButtonBox::Ok)->click();
    link.adjustSize();
    saved = Save(link, out / "share-link.png") && saved;
    link.close();
    auto& tabs = *Find<QTabWidget>(window, "SSTab1");
    tabs.setCurrentWidget(&window.SharedLinks());
    Find<QTableWidget>(window, "SharedLinksTable")->selectRow(0);
    saved = Save(window, out / "shared-links-tab.png") && saved;
    for (const QString& warning : messages.warnings) {
        std::cerr << warning.toStdString() << "\n";
    }
    return saved && messages.warnings.empty() ? 0 : 1;
}
