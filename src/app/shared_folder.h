#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "app/command_line.h"
#include "config/run_overrides.h"

namespace quorvane::app {

// What this run of the headless program uses in place of its settings: a
// folder shared as the whole site (its listings on, no virtual directory,
// nothing run, nothing written into it), a port, where to listen. Nothing when the line
// asks for none of them.
config::RunOverrides OverridesOf(const CommandLine& line);

// The lines that tell a person where the shared folder is: the address on
// this computer, the one for the network when it listens there, and, on a
// terminal that shows UTF-8, the network address as a QR code.
std::string SharingNotice(const std::filesystem::path& folder, uint16_t port,
                          std::optional<std::string> lanAddress, bool qrCode);

// A QR code of the text drawn with block characters, two rows of modules
// to a line, light on a dark terminal; empty when the text does not fit.
std::string TerminalQrCode(const std::string& text);

}  // namespace quorvane::app
