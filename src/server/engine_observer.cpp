#include "server/engine_observer.h"

namespace quorvane::server {

namespace {

struct Words {
    std::string operator()(const PasswordsInClear&) const {
        return "Passwords cross the network unencrypted: a secure folder was asked for over plain "
               "HTTP from another computer. Turn on HTTPS and send visitors to it.\r\n";
    }
    std::string operator()(const config::ReadProblem& problem) const {
        return problem.file.filename().string() + " cannot be read (" + problem.reason +
               (problem.earlierCopyKept
                    ? "); the copy read before stays in use until it can be read again.\r\n"
                    : "); requests are refused until it can be read.\r\n");
    }
    std::string operator()(const SignInsHeld& held) const {
        return std::to_string(held.failures) + " wrong passwords from " + held.client +
               ": its sign-ins are refused for " + std::to_string(held.wait.count()) + " s.\r\n";
    }
};

}  // namespace

std::string NoticeText(const Notice& notice) {
    return std::visit(Words{}, notice);
}

}  // namespace quorvane::server
