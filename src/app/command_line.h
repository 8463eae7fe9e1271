#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "config/share_links.h"

namespace quorvane::app {

// Which of the two programs reads its command line: only the window takes
// --minimized.
enum class ProgramKind { kServer, kWindow };

// What the command line asks for. A usage error keeps the first problem found
// but the scan goes on, so that --help and --version are seen anywhere.
struct CommandLine {
    bool help = false;
    bool version = false;
    bool minimized = false;
    std::optional<std::filesystem::path> folder;
    // The headless program's folder to share as the whole site, this run only.
    std::optional<std::filesystem::path> share;
    std::optional<uint16_t> port;       // this run only
    std::optional<std::string> listen;  // "local", "network" or an address; this run only
    // The headless program's share links: a link made to this file or
    // folder (for a lifetime, a number of downloads, with a note), the links
    // listed, or one ended by its ID. Each prints its answer and exits.
    std::optional<std::filesystem::path> linkTo;
    config::ShareLifetime linkLifetime{std::chrono::hours(24 * 7)};
    std::optional<uint64_t> linkDownloads;
    std::string linkNote;
    bool listLinks = false;
    std::optional<std::string> revokeLink;
    // The headless program stores a password for this user and exits.
    std::optional<std::string> addUser;
    // The headless program writes the site as an nginx configuration into
    // this folder and exits; `force` lets it write into a folder holding files.
    std::optional<std::filesystem::path> exportTo;
    bool force = false;
    // The window's Share dialog, on this folder unless it is empty.
    std::optional<std::filesystem::path> shareDialog;
    std::string error;  // empty when the line was understood
};

// Reads the arguments after the program name: --help (-h), --version,
// --folder DIR (or --folder=DIR) and, for the window, --minimized and
// --share DIR (or --share=DIR, or --share last and alone: the dialog only);
// for the headless program a folder to share, --port N, --listen WHERE,
// the link commands --share PATH [--expires WHEN] [--downloads N]
// [--note TEXT], --shares and --revoke ID, --add-user NAME, and
// --export nginx DIR [--force].
CommandLine ParseCommandLine(std::span<const std::string_view> arguments, ProgramKind kind);

// The --help text; the first line is the usage line that a usage error repeats.
std::string UsageText(ProgramKind kind);
std::string VersionText(ProgramKind kind);

}  // namespace quorvane::app
