// The portal server's lookups: the user number of an id, the user's disks, where a disk
// is served, and where the log server is. Every reply names its command in "inform" and
// carries "result" (0 success) and, on failure, "errormsg" in the service's language.
#pragma once

#include <cstdint>
#include <string>

#include "devserver/config.h"
#include "devserver/record_server.h"

namespace zavel::devserver {

// The separator between the columns and cells of a tabular reply.
inline constexpr char kTableSeparator = '\x02';

class PortalDispatcher : public RecordService {
 public:
  explicit PortalDispatcher(const Config& config) : config_(config) {}

  // Where getlogserverinfo sends clients; set once the log server listens.
  void setLogServer(const std::string& host, uint16_t port) {
    log_host_ = host;
    log_port_ = port;
  }

  bool serves(const std::string& command) const override;
  bool handle(const ParamRecord& request, ParamRecord& reply, const std::string& peer) override;
  void reject(ParamRecord& reply, Refusal why) const override;

 private:
  const Config& config_;
  std::string log_host_;
  uint16_t log_port_ = 0;
};

}  // namespace zavel::devserver
