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
#include "protocol/club_mask.h"
#include "protocol/param_record.h"

namespace zavel::devserver {

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
