#include "app/password_prompt.h"

#include <termios.h>
#include <unistd.h>

#include <iostream>

namespace quorvane::app {

namespace {

// One line of standard input without its line end; nothing at its end.
std::optional<std::string> ReadLine() {
    std::string line;
    if (!std::getline(std::cin, line)) {
        return std::nullopt;
    }
    if (line.ends_with('\r')) {
        line.pop_back();
    }
    return line;
}

// A line typed at the terminal without being shown.
std::optional<std::string> ReadHidden(const std::string& prompt) {
    std::cerr << prompt << std::flush;
    termios shown{};
    const bool quiet = ::tcgetattr(STDIN_FILENO, &shown) == 0;
    if (quiet) {
        termios hidden = shown;
        hidden.c_lflag &= ~static_cast<tcflag_t>(ECHO);
        ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &hidden);
    }
    std::optional<std::string> line = ReadLine();
    if (quiet) {
        ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &shown);
    }
    std::cerr << "\n";
    return line;
}

}  // namespace

std::optional<std::string> ReadNewPassword(std::string_view user, std::string& problem) {
    if (::isatty(STDIN_FILENO) == 0) {
        return ReadLine().value_or("");  // nothing at all reads as an empty password
    }
    const std::optional<std::string> first = ReadHidden("Password for " + std::string(user) + ": ");
    const std::optional<std::string> second =
        first ? ReadHidden("The same password again: ") : std::nullopt;
    if (!first || !second) {
        problem = "no password was typed";
        return std::nullopt;
    }
    if (*first != *second) {
        problem = "the two passwords differ";
        return std::nullopt;
    }
    return first;
}

}  // namespace quorvane::app
