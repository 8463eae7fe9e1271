#include "app/command_line.h"

#include <charconv>

#include "config/setting_keys.h"
#include "server/server_control.h"
#include "version.h"

namespace quorvane::app {

namespace {

constexpr uint64_t kMostDownloads = 1000000;

std::string_view ProgramName(ProgramKind kind) {
    return kind == ProgramKind::kServer ? "quorvane-server" : "quorvane";
}

}  // namespace

namespace {

// Reads one command line, keeping the first problem.
class LineReader {
  public:
    LineReader(std::span<const std::string_view> arguments, ProgramKind kind)
        : arguments_(arguments), kind_(kind) {}

    CommandLine Read() {
        for (; at_ < arguments_.size(); ++at_) {
            Take(arguments_[at_]);
        }
        CheckLinkCommand();
        return line_;
    }

  private:
    void Fail(std::string problem) {
        if (line_.error.empty()) {
            line_.error = std::move(problem);
        }
    }
    // The value of "--name VALUE" or "--name=VALUE"; nothing (and a
    // problem) without one.
    std::optional<std::string> ValueOf(std::string_view argument, std::string_view name,
                                       std::string_view what) {
        std::string_view value;
        if (argument == name) {
            if (at_ + 1 < arguments_.size()) {
                value = arguments_[++at_];
            }
        } else {
            value = argument.substr(name.size() + 1);
        }
        if (value.empty()) {
            Fail("option '" + std::string(name) + "' needs " + std::string(what));
            return std::nullopt;
        }
        return std::string(value);
    }
    static bool Names(std::string_view argument, std::string_view name) {
        return argument == name ||
               (argument.starts_with(name) && argument.substr(name.size()).starts_with('='));
    }
    void TakeServerOption(std::string_view argument);
    bool TakeLinkOption(std::string_view argument);
    void CheckLinkCommand();
    void TakeShareDialog(std::string_view argument);
    void TakeExport(std::string_view argument);
    void Take(std::string_view argument);

    std::span<const std::string_view> arguments_;
    ProgramKind kind_;
    size_t at_ = 0;
    CommandLine line_;
    std::string givenForLink_;  // an option that needs --share, when given
};

// The link commands and their options; false for any other argument.
bool LineReader::TakeLinkOption(std::string_view argument) {
    if (Names(argument, "--share")) {
        if (auto path = ValueOf(argument, "--share", "a file or folder")) {
            line_.linkTo = std::filesystem::path(*path);
        }
    } else if (Names(argument, "--expires")) {
        const std::optional<std::string> value = ValueOf(argument, "--expires", "a lifetime");
        const std::optional<config::ShareLifetime> lifetime =
            value ? config::ParseShareLifetime(*value) : std::nullopt;
        if (value && !lifetime) {
            Fail("option '--expires' needs 1h, 1d, 7d (any count of h, d or w) or never");
        }
        line_.linkLifetime = lifetime.value_or(line_.linkLifetime);
        givenForLink_ = "--expires";
    } else if (Names(argument, "--downloads")) {
        const std::optional<std::string> value = ValueOf(argument, "--downloads", "a count");
        uint64_t count = 0;
        const char* end = value ? value->data() + value->size() : nullptr;
        if (value && (std::from_chars(value->data(), end, count).ptr != end || count == 0 ||
                      count > kMostDownloads)) {
            Fail("option '--downloads' needs a number from 1 to " + std::to_string(kMostDownloads));
        } else if (value) {
            line_.linkDownloads = count;
        }
        givenForLink_ = "--downloads";
    } else if (Names(argument, "--note")) {
        line_.linkNote = ValueOf(argument, "--note", "a text").value_or("");
        givenForLink_ = "--note";
    } else if (argument == "--shares") {
        line_.listLinks = true;
    } else if (Names(argument, "--revoke")) {
        line_.revokeLink = ValueOf(argument, "--revoke", "a link's ID");
    } else {
        return false;
    }
    return true;
}

// One link command at a time, alone with the program folder.
void LineReader::CheckLinkCommand() {
    const int commands = static_cast<int>(line_.linkTo.has_value()) +
                         static_cast<int>(line_.listLinks) +
                         static_cast<int>(line_.revokeLink.has_value());
    if (commands > 1) {
        Fail("--share, --shares and --revoke go one at a time");
    } else if (!givenForLink_.empty() && !line_.linkTo) {
        Fail("option '" + givenForLink_ + "' goes with --share");
    } else if (commands == 1 && (line_.share || line_.port || line_.listen)) {
        Fail("a link command does not start the server: FOLDER, --port and --listen do not apply");
    } else if (line_.force && !line_.exportTo) {
        Fail("option '--force' goes with --export");
    } else if (line_.exportTo &&
               (commands > 0 || line_.addUser || line_.share || line_.port || line_.listen)) {
        Fail("--export goes alone, with --folder and --force only");
    }
}

void LineReader::TakeServerOption(std::string_view argument) {
    if (TakeLinkOption(argument)) {
        return;
    }
    if (Names(argument, "--port")) {
        const std::optional<std::string> value = ValueOf(argument, "--port", "a port");
        const std::optional<long> port =
            value ? config::NumberIn(config::setting::kPort, *value) : std::nullopt;
        if (value && !port) {
            Fail("option '--port' needs a number from 1 to 65535");
        }
        if (port) {
            line_.port = static_cast<uint16_t>(*port);
        }
    } else if (Names(argument, "--listen")) {
        line_.listen = ValueOf(argument, "--listen", "local, network or an address");
    } else if (Names(argument, "--add-user")) {
        line_.addUser = ValueOf(argument, "--add-user", "a user name");
    } else if (Names(argument, "--export")) {
        TakeExport(argument);
    } else if (argument == "--force") {
        line_.force = true;
    } else if (argument.starts_with("-")) {
        Fail("unknown option '" + std::string(argument) + "'");
    } else if (line_.share) {
        Fail("unexpected argument '" + std::string(argument) + "'");
    } else {
        line_.share = std::filesystem::path(std::string(argument));
    }
}

// "--export nginx DIR": the only format so far, then the folder.
void LineReader::TakeExport(std::string_view argument) {
    const std::optional<std::string> format = ValueOf(argument, "--export", "a format");
    if (format && *format != "nginx") {
        Fail("option '--export' knows one format: nginx");
    } else if (format && at_ + 1 < arguments_.size() && !arguments_[at_ + 1].empty()) {
        line_.exportTo = std::filesystem::path(std::string(arguments_[++at_]));
    } else if (format) {
        Fail("option '--export nginx' needs a folder");
    }
}

void LineReader::TakeShareDialog(std::string_view argument) {
    std::optional<std::string> value;
    if (argument == "--share" && at_ + 1 == arguments_.size()) {
        value = "";  // a desktop action run without a folder: the dialog asks for one
    } else {
        value = ValueOf(argument, "--share", "a folder");
    }
    if (value && line_.shareDialog) {
        Fail("option '--share' given twice");
    } else if (value) {
        line_.shareDialog = std::filesystem::path(*value);
    }
}

void LineReader::Take(std::string_view argument) {
    if (argument == "--help" || argument == "-h") {
        line_.help = true;
    } else if (argument == "--version") {
        line_.version = true;
    } else if (argument == "--minimized" && kind_ == ProgramKind::kWindow) {
        line_.minimized = true;
    } else if (Names(argument, "--folder")) {
        std::optional<std::string> value = ValueOf(argument, "--folder", "a folder");
        if (value && line_.folder) {
            Fail("option '--folder' given twice");
        } else if (value) {
            line_.folder = std::filesystem::path(*value);
        }
    } else if (kind_ == ProgramKind::kServer) {
        TakeServerOption(argument);
    } else if (Names(argument, "--share")) {
        TakeShareDialog(argument);
    } else if (argument.starts_with("-")) {
        Fail("unknown option '" + std::string(argument) + "'");
    } else {
        Fail("unexpected argument '" + std::string(argument) + "'");
    }
}

}  // namespace

CommandLine ParseCommandLine(std::span<const std::string_view> arguments, ProgramKind kind) {
    return LineReader(arguments, kind).Read();
}

std::string UsageText(ProgramKind kind) {
    std::string text = "Usage: " + std::string(ProgramName(kind));
    if (kind == ProgramKind::kServer) {
        text +=
            " [--folder DIR] [--port N] [--listen WHERE] [FOLDER]\n"
            "       quorvane-server [--folder DIR] --share PATH | --shares | --revoke ID\n"
            "       quorvane-server [--folder DIR] --add-user NAME\n"
            "       quorvane-server [--folder DIR] --export nginx DIR [--force]\n"
            "Serves the site of a program folder (or FOLDER alone) until SIGINT or SIGTERM,\n"
            "printing the log.\n";
    } else {
        text +=
            " [--folder DIR] [--minimized] [--share [DIR]]\n"
            "Opens the control window of the web server.\n";
    }
    text +=
        "\n"
        "  --folder DIR  use DIR as the program folder (settings, lists, access log)\n";
    if (kind == ProgramKind::kWindow) {
        text +=
            "  --minimized   start minimised to the tray icon\n"
            "  --share [DIR] open the Share dialog (on DIR), in the running window if any\n";
    } else {
        text +=
            "  FOLDER        share FOLDER as the whole site, its listings on, for this run;\n"
            "                nothing is written into it\n"
            "  --port N      listen on port N, for this run\n"
            "  --listen WHERE  local (this computer only), network, or an address of this\n"
            "                machine, for this run\n"
            "  --share PATH [--expires WHEN] [--downloads N] [--note TEXT]\n"
            "                print a new link that lets whoever holds it read the file or\n"
            "                folder PATH (inside a served folder), for WHEN: 1h, 1d, 7d\n"
            "                (the default) or never, and N downloads at most\n"
            "  --shares      list the links: ID, path, expiry, downloads left, note\n"
            "  --revoke ID   end the link with this ID\n"
            "  --add-user NAME  store a password for NAME in users.lst as a hash (typed\n"
            "                twice, or one line of standard input) and exit\n";
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
