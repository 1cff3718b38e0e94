// What a disk's session mode lets zavel-cli's commands do, decided before anything is sent,
// as the explorer decides it: reading is always allowed, adding (put, mkdir, cp) needs a
// mode that may create, and deleting or renaming (rm, mv) one that may change.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace zavel::cli {

// Why the command may not run on a disk of this session mode; empty when it may.
std::string rightsRefusal(std::string_view command, int32_t mode);

}  // namespace zavel::cli
