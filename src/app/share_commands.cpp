#include "app/share_commands.h"

#include "config/setting_keys.h"
#include "responses/share_maker.h"
#include "responses/share_resolution.h"
#include "server/host_identity.h"
#include "server/listen_plan.h"
#include "ui/control/host_addresses.h"

namespace quorvane::app {

namespace {

namespace setting = config::setting;
using Clock = std::chrono::system_clock;

int MakeLink(const CommandLine& line, const config::ProgramFolder& folder, Clock::time_point now,
             std::ostream& out, std::ostream& problems) {
    const auto made = responses::MakeShare(folder,
                                           {.path = *line.linkTo,
                                            .lifetime = line.linkLifetime,
                                            .downloads = line.linkDownloads,
                                            .note = line.linkNote},
                                           now);
    if (const auto* problem = std::get_if<std::string>(&made)) {
        problems << "quorvane-server: " << *problem << "\n";
        return 1;
    }
    const auto& share = std::get<responses::MadeShare>(made);
    const config::Settings settings = config::Settings::Load(folder.SettingsPath());
    out << SiteAddress(settings) << responses::SharePath(share.token) << "\n";
    return 0;
}

std::string Describe(const config::ShareLink& link, Clock::time_point now) {
    std::string text = link.Id() + "  ";
    if (link.expires) {
        text += (now < *link.expires ? "expires " : "expired ") + config::UtcText(*link.expires);
    } else {
        text += "never expires";
    }
    text += "  ";
    text += link.downloadsLeft ? std::to_string(*link.downloadsLeft) + " downloads left"
                               : std::string("no download limit");
    text += "  " + link.path;
    if (!link.note.empty()) {
        text += "  (" + link.note + ")";
    }
    return text;
}

int ListLinks(const config::ProgramFolder& folder, Clock::time_point now, std::ostream& out,
              std::ostream& problems) {
    const std::optional<config::ShareLinks> links =
        config::SharesFile(folder.ListFilePath(config::kSharesList)).Read();
    if (!links) {
        problems << "quorvane-server: " << folder.ListFilePath(config::kSharesList).string()
                 << " cannot be read\n";
        return 1;
    }
    if (links->empty()) {
        out << "No share links.\n";
    }
    for (const config::ShareLink& link : *links) {
        out << Describe(link, now) << "\n";
    }
    return 0;
}

int RevokeLink(const std::string& id, const config::ProgramFolder& folder, std::ostream& out,
               std::ostream& problems) {
    using Revoked = config::SharesFile::Revoked;
    switch (config::SharesFile(folder.ListFilePath(config::kSharesList)).Revoke(id)) {
        case Revoked::kDone:
            out << "The link " << id << " no longer opens anything.\n";
            return 0;
        case Revoked::kUnknown:
            problems << "quorvane-server: no link has the ID " << id << " (see --shares)\n";
            return 1;
        case Revoked::kAmbiguous:
            problems << "quorvane-server: more than one link has an ID beginning " << id
                     << ": give more of it\n";
            return 1;
        case Revoked::kFailed:
            break;
    }
    problems << "quorvane-server: " << folder.ListFilePath(config::kSharesList).string()
             << " cannot be changed\n";
    return 1;
}

}  // namespace

std::string SiteAddress(const config::Settings& settings) {
    using Reach = server::ListenChoice::Reach;
    const server::ListenChoice reach = server::ReadListenChoice(settings);
    std::string host = "localhost";
    if (reach.reach == Reach::kNetwork) {
        host = ui::ChooseLanAddress(server::ListHostAddresses()).value_or("localhost");
    } else if (reach.reach == Reach::kAddress) {
        host = reach.address;
    }
    const long https = config::NumberValue(settings, setting::kHttpsPort);
    if (https > 0) {
        return ui::SiteUrl(host, static_cast<uint16_t>(https), true);
    }
    return ui::SiteUrl(host, static_cast<uint16_t>(config::NumberValue(settings, setting::kPort)));
}

int RunLinkCommand(const CommandLine& line, const config::ProgramFolder& folder,
                   Clock::time_point now, std::ostream& out, std::ostream& problems) {
    if (line.linkTo) {
        return MakeLink(line, folder, now, out, problems);
    }
    if (line.listLinks) {
        return ListLinks(folder, now, out, problems);
    }
    return RevokeLink(*line.revokeLink, folder, out, problems);
}

}  // namespace quorvane::app
