#pragma once

#include <array>
#include <optional>
#include <string>
#include <vector>

#include "config/setting_keys.h"
#include "config/settings_file.h"

namespace quorvane::ui {

// Every setting the options dialog shows, as its controls hold them.
struct OptionsValues {
    // Documents
    bool directoryBrowsing = false;
    bool modernListing = false;  // [Documents] ListingStyle: "Modern", else "Classic"
    bool docFooter = false;
    std::string footerHtml;
    // Logging: the three option buttons (at most one is selected)
    bool refreshOnRun = false;
    bool refreshOnStop = false;
    bool userControlled = false;
    std::string logLimitMiB;  // "0": the log grows without limit
    // Home Directory
    std::string homePage;
    bool thisComputer = true;
    bool secureSite = false;
    bool scriptAllowed = false;
    bool exeAllowed = false;
    bool uploads = false;  // visitors may add files to the root folder
    bool changes = false;  // and overwrite, rename, move and delete there
    std::string keepFreeMiB;
    std::string maxFileMiB;  // "0": no limit
    std::string port;
    std::string listen;     // [Server] Listen as stored: "Network", "Local" or an address
    bool announce = true;   // on the local network, by mDNS
    std::string httpsPort;  // "0": off
    std::string certificateFile;
    std::string keyFile;
    bool redirectToHttps = false;
    // Custom Errors: code and page file, in the list's order
    std::vector<std::array<std::string, 2>> errorPages;
    // Content Expiry
    bool contentExpires = false;
    bool expireAfter = false;
    std::string duration;
    std::string intervalType;
    // CGI Scripts
    bool cgiEnabled = false;
    bool enablePerl = false;
    std::string perlLocation;
    std::string scriptTimeout;
    // Fault Tolerance
    bool rebuildDefault = false;
    bool rebuildMime = false;
    bool rebuildDirs = false;
    // The flags the server takes as on at any number but 0, as the file
    // held them: a box left ticked writes its flag back unchanged.
    struct StoredFlags {
        std::string scriptAllowed;
        std::string exeAllowed;
        std::string cgiEnabled;
        std::string enablePerl;
    } stored;
};

// The values as the dialog opens on them, with the dialog's own defaults
// for missing keys (which Update then writes into the file).
OptionsValues LoadOptions(const config::Settings& settings);

// Every key Update writes, in its order; written together in one step.
std::vector<config::SettingWrite> UpdateWrites(const OptionsValues& values);

// A check box shows a flag as the server tests it: 1 is a tick, and so is
// any number but 0 where the server takes that as on.
bool CheckBoxState(const config::SettingKey& key, const std::string& flag);
// What Update writes for a box: "1" or "0", or the stored text where that
// was on and the box is still ticked.
std::string FlagToWrite(const config::SettingKey& key, bool ticked, const std::string& stored);

// The Logging words as the dialog reads them: "True"/"False" in any letter
// case, or a number (0 false); anything else is no answer.
std::optional<bool> LoggingTruth(const std::string& value);

// A redirect target the browser can follow: an absolute http:// or https://
// URL with a host. Anything else would send every visitor round in circles.
bool IsRedirectTarget(const std::string& text);

// Plain checks of the number boxes; the messages are the dialog's.
bool IsPortNumber(const std::string& text);
bool IsHttpsPortNumber(const std::string& text);  // 0 (off) or a port number
bool IsWholeSeconds(const std::string& text);
bool IsLogLimit(const std::string& text);  // whole MiB, 0 (none) to 1000000

// A folder's two write boxes as they show. A file a visitor puts where
// scripts or programs may run could then be run, so while either may, both
// boxes are unticked and cannot be ticked.
struct WriteBoxes {
    bool enabled = true;
    bool uploads = false;
    bool changes = false;
    bool operator==(const WriteBoxes&) const = default;
};
WriteBoxes ShownWriteBoxes(bool scripts, bool programs, bool uploads, bool changes);

// The upload limits' number boxes hold whole MiB up to this.
inline constexpr int kMiBBoxMax = 1 << 20;
// What such a box shows for a stored limit: the number the server takes (its
// default where the text is not such a number), brought within the box's range.
int MiBBoxValue(const config::SettingKey& key, const std::string& stored);

}  // namespace quorvane::ui
