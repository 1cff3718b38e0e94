#include "club/fingerprint.h"

#include <ace/FILE_Addr.h>
#include <ace/FILE_Connector.h>
#include <ace/FILE_IO.h>
#include <ace/OS_NS_sys_stat.h>
#include <fcntl.h>
#include <openssl/evp.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

namespace zavel {

namespace {

// A file opened for reading, closed when it goes.
class ReadOnlyFile {
 public:
  explicit ReadOnlyFile(const char* name) {
    // ACE_FILE_Addr cuts longer names to its buffer, which would open some other file.
    if (name == nullptr || *name == '\0' || strlen(name) > MAXPATHLEN) return;
    ACE_FILE_Connector connector;
    if (connector.connect(io_, ACE_FILE_Addr(name), nullptr, ACE_Addr::sap_any, 0,
                          O_RDONLY | O_CLOEXEC) != 0) {
      io_.set_handle(ACE_INVALID_HANDLE);
    }
  }
  ~ReadOnlyFile() {
    if (isOpen()) io_.close();
  }
  ReadOnlyFile(const ReadOnlyFile&) = delete;
  ReadOnlyFile& operator=(const ReadOnlyFile&) = delete;

  bool isOpen() const { return io_.get_handle() != ACE_INVALID_HANDLE; }
  int64_t size() const { return static_cast<int64_t>(ACE_OS::filesize(io_.get_handle())); }
  bool seek(int64_t position) {
    return io_.seek(static_cast<ACE_OFF_T>(position), SEEK_SET) == static_cast<ACE_OFF_T>(position);
  }
  // Up to size bytes, fewer only at the end of the file; -1 on an error.
  int64_t read(uint8_t* data, size_t size) {
    size_t got = 0;
    while (got < size) {
      const ssize_t n = io_.recv(data + got, size - got);
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) return -1;
      if (n == 0) break;
      got += static_cast<size_t>(n);
    }
    return static_cast<int64_t>(got);
  }

 private:
  ACE_FILE_IO io_;
};

struct DigestFree {
  void operator()(EVP_MD_CTX* context) const { EVP_MD_CTX_free(context); }
};

}  // namespace

std::string fileFingerprint(const char* local_name) {
  ReadOnlyFile file(local_name);
  if (!file.isOpen()) return std::string();
  const int64_t size = file.size();
  if (size < 0) return std::string();

  std::unique_ptr<EVP_MD_CTX, DigestFree> md5(EVP_MD_CTX_new());
  if (!md5 || EVP_DigestInit_ex(md5.get(), EVP_md5(), nullptr) != 1) return std::string();
  if (size > kFingerprintWholeLimit) {
    // Samples spread evenly over the file: the cost stays the same whatever its size.
    const int64_t step = size / kFingerprintSamples;
    std::vector<uint8_t> sample(kFingerprintSampleBytes);
    for (int k = 0; k < kFingerprintSamples; ++k) {
      if (!file.seek(k * step)) return std::string();
      const int64_t n = file.read(sample.data(), sample.size());
      if (n < 0) return std::string();
      EVP_DigestUpdate(md5.get(), sample.data(), static_cast<size_t>(n));
    }
  } else {
    // No more than the size taken at the start: a device that never ends stops there too.
    std::vector<uint8_t> chunk(10240);
    for (int64_t left = size; left > 0;) {
      const int64_t n =
          file.read(chunk.data(), static_cast<size_t>(std::min<int64_t>(left, 10240)));
      if (n < 0) return std::string();
      if (n == 0) break;
      EVP_DigestUpdate(md5.get(), chunk.data(), static_cast<size_t>(n));
      left -= n;
    }
  }
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int length = 0;
  if (EVP_DigestFinal_ex(md5.get(), digest, &length) != 1) return std::string();
  std::string hex;
  for (unsigned int i = 0; i < length; ++i) {
    char two[3];
    snprintf(two, sizeof two, "%02x", digest[i]);
    hex += two;
  }
  return hex;
}

}  // namespace zavel
