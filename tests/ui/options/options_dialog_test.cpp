#include "ui/options/options_dialog.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QTest>
#include <QTreeWidget>

#include "support/temp_folder.h"
#include "support/ui_fakes.h"

namespace quorvane::ui {
namespace {

class OptionsDialogTest : public ::testing::Test {
  protected:
    OptionsDialogTest() {
        std::filesystem::copy(QUORVANE_DIST_PATH, folder_.Path(),
                              std::filesystem::copy_options::recursive);
    }

    OptionsDialog& Open() {
        OptionsDialog::Setup setup{program_, messages_, pickers_,
                                   [this](const QString& folder) { shownRoot_ = folder; },
                                   [this](QDialog& dialog) {
                                       answer_(dialog);
                                       return dialog.result();
                                   }};
        if (together_) {
            setup.together = together_;
        }
        dialog_ = std::make_unique<OptionsDialog>(setup);
        return *dialog_;
    }

    template <typename T>
    T* Find(const char* name, QObject* in = nullptr) {
        T* found = (in ? in : dialog_.get())->findChild<T*>(QString::fromLatin1(name));
        EXPECT_NE(found, nullptr) << name;
        return found;
    }
    void Click(const char* name, QObject* in = nullptr) { Find<QPushButton>(name, in)->click(); }
    // How the dialog's Update is handed to the server; plain calls without one.
    std::function<void(const std::function<void()>&)> together_;
    void Type(const char* name, const QString& text, QObject* in = nullptr) {
        Find<QLineEdit>(name, in)->setText(text);
    }
    // A list file as Update leaves it (the dialog stays open for more).
    std::string Updated(const char* file) {
        Click("cmdUpdate");
        return folder_.Read(file);
    }
    std::string Setting(const char* section, const char* key) {
        return config::Settings::Load(program_.SettingsPath()).Read(section, key, "<absent>");
    }
    void Select(QListWidget* list, int row) {
        list->setCurrentRow(row);
        list->item(row)->setSelected(true);
    }
    void Select(QTreeWidget* tree, int row) {
        tree->setCurrentItem(tree->topLevelItem(row));
        tree->topLevelItem(row)->setSelected(true);
    }
    // A key as the user presses it on the widget; unused keys go on to the
    // widget's dialog, as they would.
    static void Press(QWidget* widget, Qt::Key key) { QTest::keyClick(widget, key); }
    // Every caption in the area, as laid out now, has the room it asks for.
    static void ExpectNothingCut(QWidget* area) {
        for (const QLabel* label : area->findChildren<QLabel*>()) {
            if (!label->isVisibleTo(area) || label->text().isEmpty()) {
                continue;
            }
            if (label->wordWrap()) {
                EXPECT_GE(label->height(), label->heightForWidth(label->width()))
                    << label->text().toStdString();
            } else {
                EXPECT_GE(label->width(), label->sizeHint().width()) << label->text().toStdString();
            }
        }
        for (const QAbstractButton* button : area->findChildren<QAbstractButton*>()) {
            if (button->isVisibleTo(area)) {
                EXPECT_GE(button->width(), button->sizeHint().width())
                    << button->text().toStdString();
            }
        }
    }
    std::string Folder(const char* name) {
        std::filesystem::create_directories(folder_.Path() / name);
        return (folder_.Path() / name).string();
    }

    testing::TempFolder folder_;
    config::ProgramFolder program_ = folder_.Program();
    testing::FakeMessages messages_;
    testing::FakePickers pickers_;
    QString shownRoot_;
    std::function<void(QDialog&)> answer_ = [](QDialog&) {};
    std::unique_ptr<OptionsDialog> dialog_;
};

TEST_F(OptionsDialogTest, LoadsEveryTabFromTheFiles) {
    Open();
    auto* vdirs = Find<QTreeWidget>("vdirs");
    ASSERT_EQ(vdirs->topLevelItemCount(), 3);
    EXPECT_EQ(vdirs->topLevelItem(1)->text(0), "/private/");
    EXPECT_EQ(vdirs->topLevelItem(1)->text(2), "Yes");
    EXPECT_EQ(Find<QListWidget>("DefaultList")->count(), 4);
    EXPECT_EQ(Find<QListWidget>("MimeList")->item(0)->text(), "htm,text/html");
    EXPECT_EQ(Find<QTreeWidget>("ErrorList")->topLevelItem(2)->text(1), "4041.htm");
    EXPECT_TRUE(Find<QCheckBox>("CGIEnabled")->isChecked());
    EXPECT_EQ(Find<QLineEdit>("ServerPort")->text(), "8080");
    EXPECT_EQ(Find<QComboBox>("ListenChoice")->currentText(), "Anyone on the network");
    EXPECT_EQ(Find<QComboBox>("ListenChoice")->count(), 2);
    EXPECT_TRUE(Find<QRadioButton>("UserControlled")->isChecked());
    EXPECT_EQ(Find<QComboBox>("ExpireInterval")->currentText(), "Days");
    EXPECT_EQ(Find<QListWidget>("UserList")->item(0)->text(), "guest");
    EXPECT_EQ(Find<QLineEdit>("Password")->echoMode(), QLineEdit::Password);
}

TEST_F(OptionsDialogTest, MissingSectionsShowTheDialogDefaults) {
    folder_.WriteSettings({});
    Open();
    EXPECT_TRUE(Find<QCheckBox>("DocFooter")->isChecked());
    EXPECT_EQ(Find<QComboBox>("ExpireInterval")->currentText(), "Minutes");
    Click("cmdUpdate");
    EXPECT_EQ(Setting("Documents", "EnableFooter"), "1");
    EXPECT_EQ(Setting("Expire", "IntervalType"), "Minutes");
}

TEST_F(OptionsDialogTest, DependentControlsFollowTheirSwitches) {
    config::WriteSetting(program_.SettingsPath(), "CGI", "Enabled", "0");
    Open();
    EXPECT_FALSE(Find<QCheckBox>("EnablePerl")->isEnabled());
    EXPECT_TRUE(Find<QLineEdit>("PerlLocation")->isEnabled());  // the Perl rule decides last
    EXPECT_FALSE(Find<QPushButton>("Command16")->isEnabled());
    Find<QCheckBox>("CGIEnabled")->click();
    EXPECT_TRUE(Find<QCheckBox>("EnablePerl")->isEnabled());
    EXPECT_TRUE(Find<QListWidget>("CGINoList")->isEnabled());
    Find<QCheckBox>("EnablePerl")->click();
    EXPECT_FALSE(Find<QLineEdit>("PerlLocation")->isEnabled());
    Find<QCheckBox>("CGIEnabled")->click();
    Find<QCheckBox>("CGIEnabled")->click();
    EXPECT_TRUE(Find<QLineEdit>("PerlLocation")->isEnabled());  // whatever EnablePerl shows

    Find<QCheckBox>("ContentExpires")->click();  // Immediate is chosen, yet all five switch on
    EXPECT_TRUE(Find<QLineEdit>("ExpireDuration")->isEnabled());
    Find<QRadioButton>("ExpImmediate")->click();
    EXPECT_FALSE(Find<QComboBox>("ExpireInterval")->isEnabled());
    Find<QRadioButton>("ExpAfter")->click();
    EXPECT_TRUE(Find<QComboBox>("ExpireInterval")->isEnabled());

    Find<QCheckBox>("DocFooter")->click();
    EXPECT_FALSE(Find<QLineEdit>("FooterHTML")->isEnabled());

    Find<QRadioButton>("Redirection")->click();
    EXPECT_EQ(Find<QLabel>("Label2")->text(), "Redirect To URL");
    EXPECT_FALSE(Find<QPushButton>("Command11")->isEnabled());
    EXPECT_FALSE(Find<QCheckBox>("SecureSite")->isEnabled());
    Find<QRadioButton>("ThisComputer")->click();
    EXPECT_EQ(Find<QLabel>("Label2")->text(), "Homepage Location");
    EXPECT_TRUE(Find<QCheckBox>("SecureSite")->isEnabled());
}

TEST_F(OptionsDialogTest, UpdateWritesEverySettingAndTheRootRowCancelWritesNothing) {
    const std::string before = folder_.Read("quorvane.ini");
    Open();
    Type("HomePage", "/srv/site");
    Click("cmdCancel");
    EXPECT_EQ(folder_.Read("quorvane.ini"), before);

    Open();
    Type("HomePage", "/srv/site");
    Find<QCheckBox>("SecureSite")->setChecked(true);
    Type("FooterHTML", "<i>bye</i>");
    Find<QRadioButton>("RefreshOnStop")->setChecked(true);
    Type("ServerPort", "9090");
    QCheckBox* announce = Find<QCheckBox>("Announce");
    EXPECT_TRUE(announce->isChecked() && announce->isEnabled());
    announce->setChecked(false);
    Find<QComboBox>("ListenChoice")->setCurrentText("Only this computer");
    EXPECT_FALSE(announce->isEnabled());  // nothing is announced then anyway
    Type("HttpsPort", "8443");
    pickers_.answers = {QString("/etc/site/certificate.pem"), QString("/etc/site/key.pem")};
    Click("BrowseCertificate");
    Click("BrowseKey");
    Find<QCheckBox>("RedirectToHttps")->setChecked(true);
    Click("cmdUpdate");
    EXPECT_EQ(dialog_->result(), QDialog::Accepted);
    EXPECT_EQ(Setting("Server", "Listen") + " " + Setting("Server", "Announce"), "Local 0");
    EXPECT_EQ(Setting("Server", "HttpsPort") + " " + Setting("Server", "CertificateFile") + " " +
                  Setting("Server", "KeyFile") + " " + Setting("Server", "RedirectToHttps"),
              "8443 /etc/site/certificate.pem /etc/site/key.pem 1");
    EXPECT_EQ(Setting("HomePage", "RootDirectory"), "/srv/site");
    EXPECT_EQ(Setting("Documents", "FooterHTML"), "<i>bye</i>");
    EXPECT_EQ(Setting("Logging", "RefreshOnStop") + Setting("Logging", "UserControlled"),
              "TrueFalse");
    EXPECT_EQ(Setting("Server", "Port"), "9090");
    EXPECT_TRUE(folder_.Read("dirs.lst")
                    .starts_with("\"/\",\"/srv/site\",\"Yes\",\"No\",\"No\",\"No\",\"No\"\r\n"));
    // Comments and keys the dialog does not know stay.
    EXPECT_NE(folder_.Read("quorvane.ini").find("; Quorvane2000 settings."), std::string::npos);

    // An address typed into the file by hand is a choice of its own, and stays.
    config::WriteSetting(program_.SettingsPath(), "Server", "Listen", "192.0.2.5");
    Open();
    EXPECT_EQ(Find<QComboBox>("ListenChoice")->currentText(), "Only at 192.0.2.5");
    Click("cmdUpdate");
    EXPECT_EQ(Setting("Server", "Listen"), "192.0.2.5");
}

// The server sees an Update whole: the settings and the lists are all
// written inside the one step the server runs between two requests.
TEST_F(OptionsDialogTest, UpdateWritesTheSettingsAndListsInOneStep) {
    const std::string settings = folder_.Read("quorvane.ini");
    const std::string dirs = folder_.Read("dirs.lst");
    int steps = 0;
    together_ = [&](const std::function<void()>& writes) {
        ++steps;
        EXPECT_EQ(folder_.Read("quorvane.ini"), settings);
        EXPECT_EQ(folder_.Read("dirs.lst"), dirs);
        writes();
    };
    Open();
    Type("HomePage", "/srv/other");
    Type("ServerPort", "9091");
    Click("cmdUpdate");
    EXPECT_EQ(steps, 1);
    EXPECT_EQ(Setting("Server", "Port"), "9091");
    EXPECT_TRUE(folder_.Read("dirs.lst").starts_with("\"/\",\"/srv/other\""));
}

TEST_F(OptionsDialogTest, HomeDirectoryKeepsTheRootsWriteRightsAndUploadLimits) {
    Open();
    auto* keepFree = Find<QSpinBox>("KeepFreeMiB");
    auto* maxFile = Find<QSpinBox>("MaxFileMiB");
    // The sample has no [Uploads]: the server's defaults show.
    EXPECT_EQ(keepFree->value(), 1024);
    EXPECT_EQ(maxFile->value(), 0);
    EXPECT_EQ(keepFree->maximum(), 1048576);
    Find<QCheckBox>("Uploads")->click();
    Find<QCheckBox>("Changes")->click();
    keepFree->setValue(500);
    maxFile->setValue(20);
    Click("cmdUpdate");
    EXPECT_EQ(Setting("HomePage", "Uploads") + Setting("HomePage", "Changes"), "11");
    EXPECT_EQ(Setting("Uploads", "KeepFreeMiB") + " " + Setting("Uploads", "MaxFileMiB"), "500 20");
    EXPECT_TRUE(folder_.Read("dirs.lst")
                    .starts_with("\"/\",\"www\",\"No\",\"No\",\"No\",\"Yes\",\"Yes\"\r\n"));

    // Opened again it shows them; scripts at the root take the write rights away.
    Open();
    EXPECT_TRUE(Find<QCheckBox>("Uploads")->isChecked() && Find<QCheckBox>("Changes")->isChecked());
    EXPECT_EQ(Find<QSpinBox>("KeepFreeMiB")->value(), 500);
    EXPECT_EQ(Find<QSpinBox>("MaxFileMiB")->value(), 20);
    Find<QCheckBox>("ScriptAllowed")->click();
    EXPECT_FALSE(Find<QCheckBox>("Uploads")->isEnabled() ||
                 Find<QCheckBox>("Changes")->isEnabled());
    Click("cmdUpdate");
    EXPECT_EQ(Setting("HomePage", "Uploads") + Setting("HomePage", "Changes"), "00");
    EXPECT_TRUE(folder_.Read("dirs.lst")
                    .starts_with("\"/\",\"www\",\"No\",\"Yes\",\"No\",\"No\",\"No\"\r\n"));

    // A file that allows both at once shows no write rights; an unreadable
    // limit shows what the server takes instead.
    config::WriteSetting(program_.SettingsPath(), "HomePage", "Changes", "1");
    config::WriteSetting(program_.SettingsPath(), "Uploads", "KeepFreeMiB", "plenty");
    Open();
    EXPECT_FALSE(Find<QCheckBox>("Changes")->isChecked() ||
                 Find<QCheckBox>("Changes")->isEnabled());
    EXPECT_EQ(Find<QSpinBox>("KeepFreeMiB")->value(), 1024);
    Find<QCheckBox>("ScriptAllowed")->click();
    EXPECT_TRUE(Find<QCheckBox>("Changes")->isEnabled());
    EXPECT_FALSE(Find<QCheckBox>("Changes")->isChecked());
}

TEST_F(OptionsDialogTest, NoCaptionOnTheHomeDirectoryTabIsCut) {
    Open();
    auto* tabs = Find<QTabWidget>("TabStrip1");
    QWidget* home = nullptr;
    for (int i = 0; i < tabs->count(); ++i) {
        if (tabs->tabText(i) == "Home Directory") {
            home = tabs->widget(i);
            tabs->setCurrentIndex(i);
        }
    }
    ASSERT_NE(home, nullptr);
    dialog_->show();
    QApplication::processEvents();
    ExpectNothingCut(home);
}

TEST_F(OptionsDialogTest, UpdateRefusesWhatCannotWorkOnItsTab) {
    const std::string before = folder_.Read("quorvane.ini");
    // Each mistake, and the box shown for it.
    const std::pair<const char*, std::function<void()>> mistakes[] = {
        {"ServerPort", [&] { Type("ServerPort", "80000"); }},
        {"ScriptTimeout", [&] { Type("ScriptTimeout", "soon"); }},
        {"HttpsPort", [&] { Type("HttpsPort", "70000"); }},
        {"HttpsPort", [&] { Type("HttpsPort", "8080"); }},  // the TCP port's
        {"CertificateFile", [&] { Type("CertificateFile", "/etc/site/certificate.pem"); }},
        {"LogLimit", [&] { Type("LogLimit", "-1"); }},
        // The sample's folder "www" would redirect to itself for ever.
        {"HomePage", [&] { Find<QRadioButton>("Redirection")->click(); }}};
    for (const auto& [box, mistake] : mistakes) {
        Open();
        auto* tabs = Find<QTabWidget>("TabStrip1");
        tabs->setCurrentIndex(0);
        mistake();
        Click("cmdUpdate");
        EXPECT_NE(dialog_->result(), QDialog::Accepted);
        EXPECT_NE(tabs->currentIndex(), 0);
        EXPECT_TRUE(tabs->currentWidget()->isAncestorOf(Find<QWidget>(box))) << box;
    }
    ASSERT_EQ(messages_.warnings.size(), 7u);
    EXPECT_TRUE(messages_.warnings[3].contains("HTTPS needs a port of its own"));
    EXPECT_TRUE(messages_.warnings[4].contains("Give both a certificate file and its key file"));
    EXPECT_TRUE(messages_.warnings[5].contains("The log size limit must be a whole number"));
    EXPECT_TRUE(messages_.warnings[6].contains("The Redirect To URL must be a whole web address"));
    EXPECT_EQ(folder_.Read("quorvane.ini"), before);

    Type("HomePage", "https://example.com/");
    Click("cmdUpdate");
    EXPECT_EQ(dialog_->result(), QDialog::Accepted);
    EXPECT_EQ(Setting("HomePage", "SiteLocation"), "Redir");
    // Opened again, the dialog shows the redirection as it was saved.
    Open();
    EXPECT_TRUE(Find<QRadioButton>("Redirection")->isChecked());
    EXPECT_EQ(Find<QLabel>("Label2")->text(), "Redirect To URL");
    EXPECT_FALSE(Find<QCheckBox>("SecureSite")->isEnabled());
    EXPECT_EQ(Find<QLineEdit>("HomePage")->text(), "https://example.com/");
}

TEST_F(OptionsDialogTest, VirtualDirectoriesAreAddedAndRemoved) {
    Open();
    const std::string chosen = Folder("chosen");
    answer_ = [&](QDialog& add) {
        Type("VDirName", "docs", &add);
        Type("Physical", "/no/such/folder", &add);
        Click("Command2", &add);  // not a real location: refused, the dialog stays
        EXPECT_EQ(Find<QLineEdit>("VDirName", &add)->text(), "docs");
        pickers_.answers.push_back(QString::fromStdString(chosen));
        Click("Command1", &add);  // Browse...
        EXPECT_EQ(Find<QLineEdit>("Physical", &add)->text().toStdString(), chosen);
        Find<QCheckBox>("SecureDir", &add)->setChecked(true);
        // The write boxes are off while scripts or programs may run there.
        auto* uploads = Find<QCheckBox>("Uploads", &add);
        auto* changes = Find<QCheckBox>("Changes", &add);
        EXPECT_EQ(uploads->text(), "Visitors may add files");
        EXPECT_EQ(changes->text(), "Visitors may change and delete files");
        for (const char* runs : {"ScriptAllowed", "EXEAllowed"}) {
            uploads->click();
            changes->click();
            ASSERT_TRUE(uploads->isChecked() && changes->isChecked());
            Find<QCheckBox>(runs, &add)->click();
            EXPECT_FALSE(uploads->isEnabled() || changes->isEnabled()) << runs;
            EXPECT_FALSE(uploads->isChecked() || changes->isChecked()) << runs;
            Find<QCheckBox>(runs, &add)->click();
            EXPECT_TRUE(uploads->isEnabled() && changes->isEnabled()) << runs;
        }
        uploads->click();
        changes->click();
        add.show();
        ExpectNothingCut(&add);
        Press(Find<QLineEdit>("VDirName", &add), Qt::Key_Return);  // Enter is OK
        EXPECT_EQ(add.result(), QDialog::Accepted);
    };
    Click("Command1");
    EXPECT_EQ(messages_.warnings,
              std::vector<QString>{"Create Virtual Directory: You must select a real location "
                                   "for the Virtual Directory."});
    EXPECT_NE(Updated("dirs.lst")
                  .find("\"/docs/\",\"" + chosen + "\",\"Yes\",\"No\",\"No\",\"Yes\",\"Yes\"\r\n"),
              std::string::npos);
    auto* vdirs = Find<QTreeWidget>("vdirs");
    ASSERT_EQ(vdirs->topLevelItemCount(), 4);
    // The write columns, "No" for a record written before them.
    EXPECT_EQ(vdirs->headerItem()->text(5) + " " + vdirs->headerItem()->text(6), "Uploads Changes");
    EXPECT_EQ(vdirs->topLevelItem(3)->text(5) + vdirs->topLevelItem(3)->text(6), "YesYes");
    EXPECT_EQ(vdirs->topLevelItem(2)->text(5) + vdirs->topLevelItem(2)->text(6), "NoNo");

    Select(vdirs, 0);
    Click("Command3");
    EXPECT_EQ(messages_.warnings.back(),
              "Virtual Directory Error: You cannot remove the Default Site Location.");
    Select(vdirs, 3);
    messages_.answer = false;
    Click("Command3");
    EXPECT_EQ(vdirs->topLevelItemCount(), 4);
    messages_.answer = true;
    Press(vdirs, Qt::Key_Delete);  // the key asks as the button does
    EXPECT_EQ(messages_.questions.size(), 2u);
    EXPECT_EQ(vdirs->topLevelItemCount(), 3);
    EXPECT_EQ(Updated("dirs.lst").find("/docs/"), std::string::npos);

    // Cancel in the Add dialog still has Update write the list, so a missing
    // one appears.
    std::filesystem::remove(folder_.Path() / "dirs.lst");
    Open();
    answer_ = [this](QDialog& add) { Click("Command3", &add); };
    Click("Command1");
    EXPECT_FALSE(std::filesystem::exists(folder_.Path() / "dirs.lst"));
    Click("cmdUpdate");
    EXPECT_TRUE(std::filesystem::exists(folder_.Path() / "dirs.lst"));
}

TEST_F(OptionsDialogTest, AddressListsTakeFourNumbers) {
    // IPv6 entries typed into the files show as they stand.
    folder_.WriteAddresses(config::kBlockList, {"2001:DB8::7"});
    folder_.WriteAddresses(config::kNoCgiList, {"::1"});
    Open();
    EXPECT_EQ(Find<QTreeWidget>("IPList")->topLevelItem(0)->text(0), "2001:DB8::7");
    EXPECT_EQ(Find<QListWidget>("CGINoList")->item(0)->text(), "::1");
    std::filesystem::remove(folder_.Path() / "iplist.lst");
    std::filesystem::remove(folder_.Path() / "nocgi.lst");
    Open();
    answer_ = [this](QDialog& add) { Click("Command2", &add); };
    Click("Command4");  // Cancel still has Update write the (empty) list
    EXPECT_EQ(Updated("iplist.lst"), "");

    answer_ = [this](QDialog& add) {
        // Typing a "." moves on; a whole address pasted into the first box fills all four.
        QTest::keyClicks(Find<QLineEdit>("Octet1", &add), "10.");
        EXPECT_EQ(Find<QLineEdit>("Octet1", &add)->text(), "10");
        QApplication::clipboard()->setText("10.0.0.300");
        Find<QLineEdit>("Octet1", &add)->clear();
        Find<QLineEdit>("Octet1", &add)->paste();
        EXPECT_EQ(Find<QLineEdit>("Octet4", &add)->text(), "300");
        Click("Command1", &add);  // 300 is refused
        Type("Octet4", "7", &add);
        add.show();
        Press(Find<QLineEdit>("Octet4", &add), Qt::Key_Enter);  // Enter is OK
    };
    Click("Command4");
    EXPECT_EQ(messages_.warnings,
              std::vector<QString>{
                  "Quorvane2000: Each part of the IP Address must be a number from 0 to 255."});
    EXPECT_EQ(Updated("iplist.lst"), "\"10.0.0.7\"\r\n");
    auto* list = Find<QTreeWidget>("IPList");
    EXPECT_EQ(list->topLevelItem(0)->text(1), "Is Denied Access");

    // Blocking this computer itself is asked first.
    messages_.answer = false;
    answer_ = [this](QDialog& add) {
        Find<QLineEdit>("Octet1", &add)->insert("127.0.0.1");
        Click("Command1", &add);
        EXPECT_NE(add.result(), QDialog::Accepted);
        Click("Command2", &add);
    };
    Click("Command4");
    EXPECT_EQ(messages_.questions.size(), 1u);
    EXPECT_TRUE(messages_.questions[0].contains("127.0.0.1 is an address of this computer."));
    EXPECT_EQ(Updated("iplist.lst"), "\"10.0.0.7\"\r\n");

    // Remove asks before it looks at the selection; Yes on an empty list
    // removes the file.
    messages_.answer = true;
    Click("Command5");  // nothing selected: asked, nothing removed
    EXPECT_EQ(messages_.questions.size(), 2u);
    EXPECT_EQ(Updated("iplist.lst"), "\"10.0.0.7\"\r\n");
    Select(list, 0);
    Press(list, Qt::Key_Delete);
    EXPECT_EQ(Updated("iplist.lst"), "");
    Click("Command5");
    Click("cmdUpdate");
    EXPECT_FALSE(std::filesystem::exists(folder_.Path() / "iplist.lst"));

    // The CGI list takes its addresses the same way.
    answer_ = [this](QDialog& add) {
        Find<QLineEdit>("Octet1", &add)->insert("1.1.1.1");
        Click("Command1", &add);
    };
    Click("Command16");
    EXPECT_EQ(Updated("nocgi.lst"), "\"1.1.1.1\"\r\n");
}

TEST_F(OptionsDialogTest, DefaultDocumentsAndMimeTypes) {
    Open();
    auto* documents = Find<QListWidget>("DefaultList");
    Select(documents, 1);
    Click("Command6");
    EXPECT_EQ(documents->currentRow(), 0);
    // An entry that cannot move stays selected.
    Click("Command6");
    EXPECT_EQ(documents->currentRow(), 0);
    EXPECT_EQ(documents->selectedItems().size(), 1);
    Select(documents, documents->count() - 1);
    Click("Command7");
    EXPECT_EQ(documents->currentRow(), documents->count() - 1);
    EXPECT_EQ(documents->selectedItems().size(), 1);
    EXPECT_TRUE(Updated("default.lst").starts_with("\"index.html\"\r\n\"index.htm\"\r\n"));
    answer_ = [this](QDialog& add) {
        Type("Document", "index.htm", &add);
        Click("Command1", &add);  // already listed
        Type("Document", "home.htm", &add);
        add.show();
        Press(Find<QLineEdit>("Document", &add), Qt::Key_Return);
    };
    Click("Command8");
    EXPECT_EQ(messages_.warnings,
              std::vector<QString>{"Document Name Error: This document name is already in the "
                                   "list."});
    EXPECT_TRUE(Updated("default.lst").ends_with("\"home.htm\"\r\n"));

    answer_ = [this](QDialog& add) {
        Type("FileExt", ".webp", &add);
        Type("MIMEHeader", "image/webp", &add);
        add.show();
        Press(Find<QLineEdit>("MIMEHeader", &add), Qt::Key_Return);
    };
    Click("Command13");
    EXPECT_TRUE(Updated("mime.lst").ends_with("\"webp,image/webp\"\r\n"));
    answer_ = [this](QDialog& add) {
        Type("FileExt", "HTM", &add);
        Type("MIMEHeader", "text/plain", &add);
        Click("Command1", &add);
        EXPECT_NE(add.result(), QDialog::Accepted);
    };
    Click("Command13");
    EXPECT_EQ(messages_.warnings.back(),
              "Quorvane: A MIME type for this file extension is already in the list.");
    auto* mime = Find<QListWidget>("MimeList");
    Select(mime, mime->count() - 1);
    Press(mime, Qt::Key_Delete);
    EXPECT_EQ(messages_.questions.back(),
              "Remove MIME Type: Are you sure you want to remove that MIME Header?");
    EXPECT_FALSE(Updated("mime.lst").ends_with("\"webp,image/webp\"\r\n"));
}

TEST_F(OptionsDialogTest, UsersAreAddedInTheEntryAreaAndAdminStays) {
    folder_.WriteUsers({{"Admin", "x"}});
    Open();
    EXPECT_FALSE(Find<QLineEdit>("Username")->isEnabled());
    Click("Command10");
    EXPECT_TRUE(Find<QLineEdit>("Username")->isEnabled());
    Type("Username", "ADMIN");
    Type("Password", "pw");
    Click("Command17");
    EXPECT_EQ(Find<QLineEdit>("Username")->text(), "");  // refused, and cleared
    Type("Username", "bob");
    Press(Find<QLineEdit>("Password"), Qt::Key_Return);  // Enter adds, as "Add" does
    EXPECT_EQ(messages_.warnings.size(), 1u);
    Click("cmdUpdate");
    EXPECT_EQ(folder_.Users({"pw"}), "Admin:x bob:#pw");
    Click("Command19");  // the entry ends, removing is possible again

    auto* users = Find<QListWidget>("UserList");
    Select(users, 0);
    Press(users, Qt::Key_Delete);
    EXPECT_EQ(messages_.warnings.back(),
              "User Authentication: You cannot delete the Administrator user.");
    EXPECT_TRUE(messages_.questions.empty());
    Select(users, 1);
    Click("Command12");
    EXPECT_EQ(Updated("users.lst"), "\"Admin\",\"x\"\r\n");
}

TEST_F(OptionsDialogTest, ProtectingStoredPasswordsAsksThenHashesThoseInClearAtUpdate) {
    const std::string hashed = "$2b$05$CCCCCCCCCCCCCCCCCCCCC.E5YPO9kmyuRGyh0XouQYb4YMJKvyOeW";
    folder_.WriteUsers({{"Admin", "x"}, {"bob", hashed}});
    const std::string before = folder_.Read("users.lst");
    Open();
    auto* protect = Find<QPushButton>("ProtectPasswords");
    ASSERT_TRUE(protect->isEnabled());
    messages_.answer = false;
    protect->click();
    EXPECT_EQ(messages_.questions.back(),
              "User Authentication: Replace every password stored in clear with a hash? The "
              "passwords themselves cannot be read back afterwards.");
    EXPECT_TRUE(protect->isEnabled());
    messages_.answer = true;
    protect->click();
    EXPECT_FALSE(protect->isEnabled());
    EXPECT_EQ(folder_.Read("users.lst"), before);
    Click("cmdUpdate");
    EXPECT_EQ(folder_.Users({"x"}), "Admin:#x bob:" + hashed);
}

TEST_F(OptionsDialogTest, ListChangesWaitForUpdateAndCancelThrowsThemAway) {
    const std::string folder = Folder("shared");
    const char* files[] = {"users.lst", "dirs.lst", "iplist.lst"};
    const auto contents = [&] {
        std::vector<std::string> now;
        for (const char* file : files) {
            now.push_back(folder_.Read(file));
        }
        return now;
    };
    const std::vector<std::string> before = contents();
    for (const char* close : {"cmdCancel", "cmdUpdate"}) {
        Open();
        Click("Command10");
        Type("Username", "carol");
        Type("Password", "secret");
        Click("Command17");
        answer_ = [&](QDialog& add) {
            if (add.objectName() == "frmAddDirectory") {
                Type("VDirName", "shared", &add);
                Type("Physical", QString::fromStdString(folder), &add);
            } else {
                Find<QLineEdit>("Octet1", &add)->insert("10.1.2.3");
            }
            Click(add.objectName() == "frmAddDirectory" ? "Command2" : "Command1", &add);
            EXPECT_EQ(add.result(), QDialog::Accepted);
        };
        Click("Command1");
        Click("Command4");
        EXPECT_EQ(contents(), before) << "written before " << close;
        Click(close);
    }
    const std::vector<std::string> after = contents();
    EXPECT_TRUE(folder_.Users({"secret"}).ends_with(" carol:#secret"));
    EXPECT_NE(after[1].find("\"/shared/\",\"" + folder + "\""), std::string::npos);
    EXPECT_TRUE(after[2].ends_with("\"10.1.2.3\"\r\n"));
}

TEST_F(OptionsDialogTest, EachListEditsARowByButtonOrDoubleClick) {
    folder_.WriteAddresses(config::kBlockList, {"10.0.0.1", "2001:db8::7"});
    Open();
    // A double-click on a row is its Edit button.
    const auto doubleClick = [this](QAbstractItemView* view, int row) {
        auto* tabs = Find<QTabWidget>("TabStrip1");
        for (int i = 0; i < tabs->count(); ++i) {
            if (tabs->widget(i)->isAncestorOf(view)) {
                tabs->setCurrentIndex(i);
            }
        }
        dialog_->show();
        QApplication::processEvents();
        const QRect place = view->visualRect(view->model()->index(row, 0));
        // As the desktop delivers it: a click, then the second press as a double-click.
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, place.center());
        QMouseEvent second(QEvent::MouseButtonDblClick, place.center(),
                           view->viewport()->mapToGlobal(place.center()), Qt::LeftButton,
                           Qt::LeftButton, {});
        QApplication::sendEvent(view->viewport(), &second);
    };
    auto* vdirs = Find<QTreeWidget>("vdirs");
    Select(vdirs, 0);
    Click("EditDirectory");
    EXPECT_EQ(messages_.warnings.back(),
              "Virtual Directory Error: The Default Site Location is set on the Home Directory "
              "tab.");
    answer_ = [this](QDialog& edit) {
        EXPECT_EQ(edit.windowTitle(), "Edit Virtual Directory");
        EXPECT_EQ(Find<QLineEdit>("VDirName", &edit)->text(), "/cgi-bin/");
        EXPECT_TRUE(Find<QCheckBox>("ScriptAllowed", &edit)->isChecked());
        Type("VDirName", "/private/", &edit);
        Click("Command2", &edit);  // another row's name
        EXPECT_NE(edit.result(), QDialog::Accepted);
        Type("VDirName", "scripts", &edit);
        Click("Command2", &edit);
    };
    doubleClick(vdirs, 2);
    EXPECT_EQ(vdirs->topLevelItem(2)->text(0), "/scripts/");
    EXPECT_EQ(vdirs->topLevelItemCount(), 3);

    answer_ = [this](QDialog& edit) {
        EXPECT_EQ(Find<QLineEdit>("FileExt", &edit)->text(), "htm");
        EXPECT_EQ(Find<QLineEdit>("MIMEHeader", &edit)->text(), "text/html");
        Type("MIMEHeader", "text/html; charset=utf-8", &edit);
        Click("Command1", &edit);
    };
    Select(Find<QListWidget>("MimeList"), 0);
    Click("EditMime");

    auto* blocked = Find<QTreeWidget>("IPList");
    answer_ = [this](QDialog& edit) {
        EXPECT_EQ(Find<QLineEdit>("Octet4", &edit)->text(), "1");
        Type("Octet4", "9", &edit);
        Click("Command1", &edit);
    };
    Select(blocked, 0);
    Click("EditAddress");
    Select(blocked, 1);  // four boxes cannot show it
    Click("EditAddress");
    EXPECT_TRUE(messages_.warnings.back().contains("Only an address of four numbers"));

    auto* users = Find<QListWidget>("UserList");
    doubleClick(users, 0);
    EXPECT_EQ(Find<QLineEdit>("Username")->text(), "guest");
    EXPECT_EQ(Find<QLineEdit>("Password")->text(), "");  // never shown
    EXPECT_EQ(Find<QPushButton>("Command17")->text(), "Change");
    Type("Password", "n3w-pass");
    Click("Command17");
    EXPECT_FALSE(Find<QLineEdit>("Username")->isEnabled());  // the entry ends
    EXPECT_EQ(Find<QPushButton>("Command17")->text(), "Add");
    EXPECT_EQ(users->count(), 1);

    Click("cmdUpdate");
    EXPECT_NE(folder_.Read("dirs.lst").find("\"/scripts/\",\"cgi-bin\",\"No\",\"Yes\",\"Yes\""),
              std::string::npos);
    EXPECT_TRUE(
        folder_.Read("mime.lst").starts_with("\"htm,text/html; charset=utf-8\"\r\n\"html,"));
    EXPECT_EQ(folder_.Read("iplist.lst"), "\"10.0.0.9\"\r\n\"2001:db8::7\"\r\n");
    EXPECT_EQ(folder_.Users({"n3w-pass"}), "guest:#n3w-pass");
}

TEST_F(OptionsDialogTest, ASecureFolderAdmitsTheUsersTicked) {
    const std::string folder = Folder("www/private/team");
    Open();
    // A user added in this dialog is offered before any Update; a renamed
    // one keeps the folders that named them.
    Click("Command10");
    Type("Username", "dana");
    Type("Password", "pw");
    Click("Command17");
    Click("Command19");
    answer_ = [&](QDialog& add) {
        const QList<QCheckBox*> boxes = add.findChildren<QCheckBox*>("AllowedUser");
        ASSERT_EQ(boxes.size(), 2);
        EXPECT_EQ(boxes[0]->text() + " " + boxes[1]->text(), "guest dana");
        EXPECT_FALSE(boxes[1]->isEnabled());  // only a secure folder admits users
        Find<QCheckBox>("SecureDir", &add)->setChecked(true);
        EXPECT_TRUE(boxes[1]->isEnabled());
        boxes[1]->setChecked(true);
        Type("VDirName", "team", &add);
        Type("Physical", QString::fromStdString(folder), &add);
        Click("Command2", &add);
    };
    Click("Command1");
    auto* users = Find<QListWidget>("UserList");
    Select(users, 1);
    Click("EditUser");
    Type("Username", "dana2");
    Click("Command17");
    Click("cmdUpdate");
    EXPECT_NE(folder_.Read("dirs.lst")
                  .find("\"/team/\",\"" + folder +
                        "\",\"Yes\",\"No\",\"No\",\"No\",\"No\",\"dana2\"\r\n"),
              std::string::npos);

    // Opened again, the folder shows its user ticked; unticking secure names nobody.
    Open();
    answer_ = [&](QDialog& edit) {
        const QList<QCheckBox*> boxes = edit.findChildren<QCheckBox*>("AllowedUser");
        ASSERT_EQ(boxes.size(), 2);
        EXPECT_FALSE(boxes[0]->isChecked());
        EXPECT_TRUE(boxes[1]->isChecked() && boxes[1]->isEnabled());
        Find<QCheckBox>("SecureDir", &edit)->setChecked(false);
        Click("Command2", &edit);
    };
    auto* vdirs = Find<QTreeWidget>("vdirs");
    Select(vdirs, 3);
    Click("EditDirectory");
    EXPECT_NE(Updated("dirs.lst")
                  .find("\"/team/\",\"" + folder + "\",\"No\",\"No\",\"No\",\"No\",\"No\"\r\n"),
              std::string::npos);
    // The list says where a password is asked all the same.
    EXPECT_EQ(vdirs->topLevelItem(3)->text(2), "Yes (inside /private/)");
    EXPECT_EQ(vdirs->topLevelItem(0)->text(2), "No");
    EXPECT_EQ(vdirs->topLevelItem(1)->text(2), "Yes");
}

TEST_F(OptionsDialogTest, AFlagStoredAsTwoShowsTickedAndStaysTwo) {
    config::WriteSetting(program_.SettingsPath(), "CGI", "Enabled", "2");
    config::WriteSetting(program_.SettingsPath(), "HomePage", "ScriptAllowed", "2");
    config::WriteSetting(program_.SettingsPath(), "HomePage", "EXEAllowed", "2");
    Open();
    EXPECT_TRUE(Find<QCheckBox>("CGIEnabled")->isChecked());
    EXPECT_TRUE(Find<QCheckBox>("EnablePerl")->isEnabled());
    EXPECT_TRUE(Find<QCheckBox>("ScriptAllowed")->isChecked());
    Find<QCheckBox>("EXEAllowed")->click();
    Click("cmdUpdate");
    EXPECT_EQ(Setting("CGI", "Enabled") + Setting("HomePage", "ScriptAllowed") +
                  Setting("HomePage", "EXEAllowed"),
              "220");
}

TEST_F(OptionsDialogTest, PickersFillTheirFields) {
    Open();
    auto* errors = Find<QTreeWidget>("ErrorList");
    Select(errors, 1);
    pickers_.answers = {std::nullopt, QString("/srv/pages/missing.html")};
    Click("Command15");
    EXPECT_EQ(errors->topLevelItem(1)->text(1), "404.htm");  // cancelled
    EXPECT_TRUE(pickers_.asked.back().endsWith(
        "/404.htm | All Files (*);;HTML Files(*.htm);;HTML Files(*.html) | HTML Files(*.htm)"));
    Click("Command15");
    EXPECT_EQ(errors->topLevelItem(1)->text(1), "/srv/pages/missing.html");

    pickers_.answers = {QString("/srv/new-root")};
    Click("Command11");
    EXPECT_EQ(Find<QLineEdit>("HomePage")->text(), "/srv/new-root");
    EXPECT_EQ(shownRoot_, "");  // the main window shows what is served until Update
    Click("cmdCancel");
    EXPECT_EQ(shownRoot_, "");
    EXPECT_EQ(Setting("HomePage", "RootDirectory"), "www");
    EXPECT_EQ(Setting("ErrorPages", "404Error"), "404.htm");
    Open();
    pickers_.answers = {QString("/srv/new-root")};
    Click("Command11");
    Click("cmdUpdate");
    EXPECT_EQ(shownRoot_, "/srv/new-root");
}

}  // namespace
}  // namespace quorvane::ui
