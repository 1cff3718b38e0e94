// The fingerprint sent with a club-disk upload: an MD5 digest of the whole file, or of
// evenly spread samples of a large one, as 32 lowercase hexadecimal digits.
#pragma once

#include <string>

namespace zavel {

// Files up to this size are digested whole.
inline constexpr long long kFingerprintWholeLimit = 1048576;
// A larger file gives this many samples of at most this many bytes each.
inline constexpr int kFingerprintSamples = 1000;
inline constexpr int kFingerprintSampleBytes = 1048;

// "" when the file cannot be opened or read.
std::string fileFingerprint(const char* local_name);

}  // namespace zavel
