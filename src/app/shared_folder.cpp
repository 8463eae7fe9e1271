#include "app/shared_folder.h"

#include "config/setting_keys.h"
#include "ui/control/host_addresses.h"
#include "ui/control/qr_code.h"

namespace quorvane::app {

namespace setting = config::setting;

config::RunOverrides OverridesOf(const CommandLine& line) {
    config::RunOverrides overrides;
    const auto set = [&](const config::SettingKey& key, std::string value) {
        overrides.settings.push_back(
            {std::string(key.section), std::string(key.key), std::move(value)});
    };
    if (line.share) {
        std::error_code error;
        const std::filesystem::path absolute = std::filesystem::absolute(*line.share, error);
        set(setting::kRootDirectory, (error ? *line.share : absolute).string());
        set(setting::kDirectoryBrowsing, "1");
        set(setting::kListingStyle, "Modern");
        set(setting::kSiteLocation, "Local");
        // A folder shared this way is read, never run or written to.
        for (const config::SettingKey* off : {&setting::kScriptAllowed, &setting::kExeAllowed,
                                              &setting::kUploads, &setting::kChanges}) {
            set(*off, "0");
        }
        overrides.directories.emplace();
    }
    if (line.port) {
        set(setting::kPort, std::to_string(*line.port));
    }
    if (line.listen) {
        set(setting::kListen, *line.listen);
    }
    return overrides;
}

std::string TerminalQrCode(const std::string& text) {
    const std::optional<ui::QrCode> code = ui::QrCode::Encode(text);
    if (!code) {
        return {};
    }
    constexpr int kQuiet = 2;
    const int size = code->Size();
    const auto light = [&](int x, int y) {
        return x < 0 || y < 0 || x >= size || y >= size || !code->Dark(x, y);
    };
    std::string drawn;
    for (int y = -kQuiet; y < size + kQuiet; y += 2) {
        for (int x = -kQuiet; x < size + kQuiet; ++x) {
            const bool top = light(x, y);
            const bool bottom = y + 1 < size + kQuiet && light(x, y + 1);
            drawn += top && bottom ? "\u2588" : top ? "\u2580" : bottom ? "\u2584" : " ";
        }
        drawn += "\r\n";
    }
    return drawn;
}

std::string SharingNotice(const std::filesystem::path& folder, uint16_t port,
                          std::optional<std::string> lanAddress, bool qrCode) {
    std::string notice = "Sharing " + folder.string() +
                         "\r\n  on this computer: " + ui::SiteUrl("localhost", port) + "/\r\n";
    if (lanAddress) {
        const std::string url = ui::SiteUrl(*lanAddress, port) + "/";
        notice += "  on the network:   " + url + "\r\n";
        if (qrCode) {
            notice += TerminalQrCode(url);
        }
    }
    return notice;
}

}  // namespace quorvane::app
