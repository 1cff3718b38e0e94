// The club list server's commands: one request record in, one reply record out. Every
// reply carries "result" (0 success, 1 failure), "errorcode" and "errormsg".
#pragma once

#include <cstdint>
#include <string>
#include <unordered_map>

#include "devserver/config.h"
#include "devserver/list/club_index.h"
#include "devserver/list/club_storage.h"
#include "devserver/record_server.h"
#include "protocol/param_record.h"

namespace zavel::devserver {

// Bits of the "ioption" mask of the info requests: which fields the reply carries. Each
// field has a bit for files and one for folders; either asks for it.
namespace mask {
inline constexpr uint32_t kParent = 0x80, kParentDir = 0x400000;
inline constexpr uint32_t kName = 0x100, kNameDir = 0x800000;
inline constexpr uint32_t kSize = 0x200, kSizeDir = 0x1000000;
inline constexpr uint32_t kTotal = 0x400;
inline constexpr uint32_t kTime = 0x800, kTimeDir = 0x8000000;
inline constexpr uint32_t kExpiry = 0x1000, kExpiryDir = 0x10000000;
inline constexpr uint32_t kDownloads = 0x2000;
inline constexpr uint32_t kKind = 0x4000, kKindDir = 0x20000000;
inline constexpr uint32_t kDescription = 0x8000, kDescriptionDir = 0x40000000;
inline constexpr uint32_t kClub = 0x10000, kClubDir = 0x80000000;
inline constexpr uint32_t kFileCount = 0x2000000;
inline constexpr uint32_t kFolderCount = 0x4000000;
inline constexpr uint32_t kOutsideHost = 0x20000;
inline constexpr uint32_t kInsideHost = 0x40000;
inline constexpr uint32_t kStoragePath = 0x80000;
inline constexpr uint32_t kOwner = 0x100000;
// A listing holds files when one of these is set, folders when one of the next is.
inline constexpr uint32_t kListFiles = 0x4040;
inline constexpr uint32_t kListFolders = 0x20200000;
}  // namespace mask

// Seconds between upload progress reports that "uploadstart" asks clients for.
inline constexpr uint32_t kNotifySeconds = 1;

struct ListContext {
  const Config& config;
  ClubIndex& index;
  const ClubStorage& storage;
};

// One request on its way through a handler.
struct ListRequest {
  ListContext& server;
  const ParamRecord& in;
  ParamRecord& out;

  // Readers: false when the parameter is missing, of an unusable type or too long.
  bool text(const char* name, size_t limit, std::string* value) const;
  bool number(const char* name, int64_t* value) const;
};

// A handler returns 0 or the error number of the reply.
using ListHandler = int32_t (*)(ListRequest&);

class ListDispatcher : public RecordService {
 public:
  explicit ListDispatcher(ListContext context);

  bool serves(const std::string& command) const override;
  void handle(const ParamRecord& request, ParamRecord& reply);
  bool handle(const ParamRecord& request, ParamRecord& reply, const std::string&) override {
    handle(request, reply);
    return true;
  }
  void reject(ParamRecord& reply, Refusal why) const override;
  // The reply to a request whose body could not be read.
  static void rejectMalformed(ParamRecord& reply);

 private:
  ListContext context_;
  std::unordered_map<std::string, ListHandler> table_;
};

// Fills "result", "errorcode" and "errormsg"; error 0 is success.
void setListResult(ParamRecord& reply, int32_t error);

}  // namespace zavel::devserver
