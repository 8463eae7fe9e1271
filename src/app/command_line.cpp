#include "app/command_line.h"

#include "server/server_control.h"
#include "version.h"

namespace quorvane::app {

namespace {

std::string_view ProgramName(ProgramKind kind) {
    return kind == ProgramKind::kServer ? "quorvane-server" : "quorvane";
}

}  // namespace

CommandLine ParseCommandLine(std::span<const std::string_view> arguments, ProgramKind kind) {
    CommandLine line;
    auto fail = [&line](std::string problem) {
        if (line.error.empty()) {
            line.error = std::move(problem);
        }
    };
    for (size_t at = 0; at < arguments.size(); ++at) {
        const std::string_view argument = arguments[at];
        if (argument == "--help" || argument == "-h") {
            line.help = true;
        } else if (argument == "--version") {
            line.version = true;
        } else if (argument == "--minimized" && kind == ProgramKind::kWindow) {
            line.minimized = true;
        } else if (argument == "--folder" || argument.starts_with("--folder=")) {
            std::string_view value;
            if (argument == "--folder") {
                if (at + 1 == arguments.size()) {
                    fail("option '--folder' needs a folder");
                    continue;
                }
                value = arguments[++at];
            } else {
                value = argument.substr(std::string_view("--folder=").size());
            }
            if (value.empty()) {
                fail("option '--folder' needs a folder");
            } else if (line.folder) {
                fail("option '--folder' given twice");
            } else {
                line.folder = std::filesystem::path(std::string(value));
            }
        } else if (argument.starts_with("-")) {
            fail("unknown option '" + std::string(argument) + "'");
        } else {
            fail("unexpected argument '" + std::string(argument) + "'");
        }
    }
    return line;
}

std::string UsageText(ProgramKind kind) {
    std::string text = "Usage: " + std::string(ProgramName(kind));
    if (kind == ProgramKind::kServer) {
        text +=
            " [--folder DIR]\n"
            "Serves the site of a program folder until SIGINT or SIGTERM, printing the log.\n";
    } else {
        text +=
            " [--folder DIR] [--minimized]\n"
            "Opens the control window of the web server.\n";
    }
    text +=
        "\n"
        "  --folder DIR  use DIR as the program folder (settings, lists, access log)\n";
    if (kind == ProgramKind::kWindow) {
        text += "  --minimized   start minimised to the tray icon\n";
    }
    text +=
        "  --help        show this help and exit\n"
        "  --version     show the version and exit\n"
        "\n"
        "Without --folder the program folder is the executable's own folder when it\n"
        "holds quorvane.ini, and otherwise $XDG_CONFIG_HOME/quorvane (~/.config/quorvane),\n"
        "which the first start fills with the installed samples.\n";
    return text;
}

std::string VersionText(ProgramKind kind) {
    return std::string(ProgramName(kind)) + " (Quorvane2000) " + std::string(kVersion) + "\n";
}

}  // namespace quorvane::app
