// The log server: records every sign-in attempt the program reports ("insertconnectlog"),
// one JSON object per line in <data>/connect-log.jsonl. It sends no reply.
#pragma once

#include <filesystem>
#include <mutex>
#include <string>

#include "devserver/record_server.h"

namespace zavel::devserver {

inline constexpr const char* kConnectLogFileName = "connect-log.jsonl";

class ConnectLog : public RecordService {
 public:
  explicit ConnectLog(std::filesystem::path file) : file_(std::move(file)) {}

  bool serves(const std::string& command) const override { return command == "insertconnectlog"; }
  bool handle(const ParamRecord& request, ParamRecord& reply, const std::string& peer) override;
  void reject(ParamRecord& reply, Refusal why) const override;

 private:
  std::filesystem::path file_;
  std::mutex mutex_;  // one line at a time
};

}  // namespace zavel::devserver
