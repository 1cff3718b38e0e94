// The demo service: one account with a personal disk holding a few folders and files.
#pragma once

#include <filesystem>
#include <string>

namespace zavel::devserver {

inline constexpr const char* kDemoAccount = "demo";
inline constexpr const char* kDemoPassword = "demo";

// Writes the demo configuration and disk into dir when dir is missing or empty; leaves a
// folder with anything in it untouched. False with a reason on failure.
bool seedDemoIfEmpty(const std::filesystem::path& dir, std::string* error);

}  // namespace zavel::devserver
