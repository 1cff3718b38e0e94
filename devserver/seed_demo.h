// The demo service: one account with a personal disk holding a few folders and files, and
// a club whose disk holds some more.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

namespace zavel::devserver {

class ClubIndex;

inline constexpr const char* kDemoAccount = "demo";
inline constexpr const char* kDemoPassword = "demo";
inline constexpr const char* kDemoSessionKey = "demo-session-key";
inline constexpr int64_t kDemoUserNumber = 1001;
inline constexpr int64_t kDemoClub = 5001;          // demo may write (level 1)
inline constexpr int64_t kDemoReadOnlyClub = 5002;  // demo may only read (level 3)

// Writes the demo configuration and disk into dir when dir is missing or empty; leaves a
// folder with anything in it untouched (seeded tells which happened). False with a reason
// on failure.
bool seedDemoIfEmpty(const std::filesystem::path& dir, std::string* error, bool* seeded = nullptr);

// Fills the demo clubs' disks with folders and files. False with a reason on failure.
bool seedDemoClub(ClubIndex& index, std::string* error);

}  // namespace zavel::devserver
