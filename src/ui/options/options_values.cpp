#include "ui/options/options_values.h"

#include <algorithm>
#include <charconv>
#include <optional>

#include "config/text.h"

namespace quorvane::ui {

using config::EqualsIgnoringCase;
using config::StartsWith;

namespace {

const char* Flag(bool ticked) {
    return ticked ? "1" : "0";
}
const char* Truth(bool value) {
    return value ? "True" : "False";
}

std::optional<long> WholeNumber(const std::string& text) {
    const std::string_view trimmed = config::TrimBlanks(text);
    long value = 0;
    const auto [end, error] =
        std::from_chars(trimmed.data(), trimmed.data() + trimmed.size(), value);
    if (trimmed.empty() || error != std::errc() || end != trimmed.data() + trimmed.size()) {
        return std::nullopt;
    }
    return value;
}

}  // namespace

bool CheckBoxState(const std::string& flag) {
    return config::LeadingNumber(flag) == 1.0;
}

std::optional<bool> LoggingTruth(const std::string& value) {
    const std::string_view trimmed = config::TrimBlanks(value);
    if (EqualsIgnoringCase(trimmed, "True")) {
        return true;
    }
    if (EqualsIgnoringCase(trimmed, "False")) {
        return false;
    }
    double number = 0;
    const auto [end, error] =
        std::from_chars(trimmed.data(), trimmed.data() + trimmed.size(), number);
    if (!trimmed.empty() && error == std::errc() && end == trimmed.data() + trimmed.size()) {
        return number != 0;
    }
    return std::nullopt;
}

bool IsPortNumber(const std::string& text) {
    const std::optional<long> port = WholeNumber(text);
    return port && *port >= 1 && *port <= 65535;
}

bool IsWholeSeconds(const std::string& text) {
    const std::optional<long> seconds = WholeNumber(text);
    return seconds && *seconds >= 1 && *seconds <= 86400;
}

OptionsValues LoadOptions(const config::Settings& settings) {
    OptionsValues values;
    auto read = [&](const char* section, const char* key, const char* fallback) {
        return settings.Read(section, key, fallback);
    };
    values.docFooter = CheckBoxState(read("Documents", "EnableFooter", "1"));
    values.footerHtml =
        read("Documents", "FooterHTML", "<b>This site is served by Quorvane2000</b>");
    values.directoryBrowsing = CheckBoxState(read("Documents", "DirectoryBrowsing", "0"));

    // Option buttons: setting one deselects the others, so the last one
    // that reads true is the one selected.
    const std::optional<bool> onRun = LoggingTruth(read("Logging", "RefreshOnRun", "True"));
    const std::optional<bool> onStop = LoggingTruth(read("Logging", "RefreshOnStop", "False"));
    const std::optional<bool> byUser = LoggingTruth(read("Logging", "UserControlled", "False"));
    if (onRun.value_or(false)) {
        values.refreshOnRun = true;
    }
    if (onStop.value_or(false)) {
        values.refreshOnRun = false;
        values.refreshOnStop = true;
    }
    if (byUser.value_or(false)) {
        values.refreshOnRun = values.refreshOnStop = false;
        values.userControlled = true;
    }

    values.secureSite = CheckBoxState(read("HomePage", "Secure", "0"));
    values.scriptAllowed = CheckBoxState(read("HomePage", "ScriptAllowed", "0"));
    values.exeAllowed = CheckBoxState(read("HomePage", "EXEAllowed", "0"));
    values.homePage = read("HomePage", "RootDirectory", "www");
    values.thisComputer = StartsWith(read("HomePage", "SiteLocation", "Local"), "Local");
    values.port = read("Server", "Port", "80");

    for (const char* code : {"401", "404", "404.1", "404.2", "404.3", "404.4"}) {
        std::string file = code;
        file.erase(std::remove(file.begin(), file.end(), '.'), file.end());
        values.errorPages.push_back({code, read("ErrorPages", (std::string(code) + "Error").c_str(),
                                                (file + ".htm").c_str())});
    }

    values.contentExpires = CheckBoxState(read("Expire", "ContentExpires", "0"));
    values.expireAfter = StartsWith(read("Expire", "Interval", "Immediate"), "After");
    values.duration = read("Expire", "Duration", "0");
    values.intervalType = read("Expire", "IntervalType", "Minutes");

    values.enablePerl = CheckBoxState(read("CGI", "EnablePerl", "0"));
    values.perlLocation = read("CGI", "PerlLocation", "/usr/bin/perl");
    values.cgiEnabled = CheckBoxState(read("CGI", "Enabled", "0"));
    values.scriptTimeout = read("CGI", "Timeout", "30");

    values.rebuildDefault = CheckBoxState(read("Fault", "RebuildDefault", "0"));
    values.rebuildMime = CheckBoxState(read("Fault", "RebuildMIME", "0"));
    values.rebuildDirs = CheckBoxState(read("Fault", "RebuildDIRS", "0"));
    return values;
}

std::vector<config::SettingWrite> UpdateWrites(const OptionsValues& values) {
    std::vector<config::SettingWrite> writes = {
        {"Documents", "EnableFooter", Flag(values.docFooter)},
        {"Documents", "FooterHTML", values.footerHtml},
        {"Documents", "DirectoryBrowsing", Flag(values.directoryBrowsing)},
        {"Logging", "RefreshOnRun", Truth(values.refreshOnRun)},
        {"Logging", "RefreshOnStop", Truth(values.refreshOnStop)},
        {"Logging", "UserControlled", Truth(values.userControlled)},
        {"HomePage", "Secure", Flag(values.secureSite)},
        {"HomePage", "ScriptAllowed", Flag(values.scriptAllowed)},
        {"HomePage", "EXEAllowed", Flag(values.exeAllowed)},
        {"HomePage", "RootDirectory", values.homePage},
        {"HomePage", "SiteLocation", values.thisComputer ? "Local" : "Redir"},
        {"Server", "Port", values.port},
    };
    for (const auto& [code, file] : values.errorPages) {
        for (const char* known : {"401", "404", "404.1", "404.2", "404.3", "404.4"}) {
            if (code == known) {
                writes.push_back({"ErrorPages", code + "Error", file});
            }
        }
    }
    const std::vector<config::SettingWrite> rest = {
        {"Expire", "ContentExpires", Flag(values.contentExpires)},
        {"Expire", "Interval", values.expireAfter ? "After" : "Immediate"},
        {"Expire", "Duration", values.duration},
        {"Expire", "IntervalType", values.intervalType},
        {"CGI", "Enabled", Flag(values.cgiEnabled)},
        {"CGI", "EnablePerl", Flag(values.enablePerl)},
        {"CGI", "PerlLocation", values.perlLocation},
        {"CGI", "Timeout", values.scriptTimeout},
        {"Fault", "RebuildDefault", Flag(values.rebuildDefault)},
        {"Fault", "RebuildMIME", Flag(values.rebuildMime)},
        {"Fault", "RebuildDIRS", Flag(values.rebuildDirs)},
    };
    writes.insert(writes.end(), rest.begin(), rest.end());
    return writes;
}

}  // namespace quorvane::ui
