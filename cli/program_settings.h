// The portal and club list server the explorer program signs in through, read from its
// settings file, so that zavel-cli reaches the same servers without being told. The file
// is the program's QSettings INI file: section and value names compare ignoring case, and
// a value may be quoted.
#pragma once

#include <filesystem>
#include <string_view>

#include "client/portal_client.h"

namespace zavel::cli {

struct ProgramServers {
  client::Endpoint portal{"127.0.0.1", client::kPortalPort};  // [server]
  client::Endpoint club{"127.0.0.1", client::kPortalPort};    // [serverOCTA]
};

// The ip and port values of [server] and [serverOCTA] in an INI text. A value that is
// missing, empty or no port from 1 to 65535 keeps its default.
ProgramServers parseProgramSettings(std::string_view text);

// Where the program keeps the file: $XDG_CONFIG_HOME/vemar/zavel.conf, or under
// ~/.config when XDG_CONFIG_HOME is unset or not an absolute path.
std::filesystem::path programSettingsPath();

// The servers named in the file; the defaults when it is missing or unreadable.
ProgramServers readProgramSettings(const std::filesystem::path& path);

}  // namespace zavel::cli
