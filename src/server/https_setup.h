#pragma once

#include <asio/ssl/context.hpp>
#include <chrono>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "config/program_folder.h"
#include "config/settings_file.h"

namespace quorvane::server {

// The HTTPS port of [Server] HttpsPort: 0 (off, also when absent) or a port
// number; nothing when the value is neither.
std::optional<uint16_t> ConfiguredHttpsPort(const config::Settings& settings);

// What a start with HTTPS presents, or why it cannot.
struct HttpsSetup {
    std::shared_ptr<asio::ssl::context> context;
    std::string fingerprint;  // SHA-256, as browsers show it
    std::filesystem::path certificateFile;
    bool created = false;  // a self-signed certificate was made for this start
    std::string problem;
};

// From [Server] CertificateFile and KeyFile: the files given, or, with
// neither given, the program folder's self-signed certificate for this
// machine's names and addresses, made on first use and again once it has
// expired.
HttpsSetup PrepareHttps(const config::Settings& settings, const config::ProgramFolder& folder,
                        const std::vector<std::string>& hostNames,
                        const std::vector<std::string>& hostAddresses,
                        std::chrono::system_clock::time_point now);

}  // namespace quorvane::server
