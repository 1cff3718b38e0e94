#include "devserver/portal/connect_log.h"

#include <algorithm>
#include <ctime>
#include <fstream>
#include <nlohmann/json.hpp>

namespace zavel::devserver {

namespace {

constexpr size_t kMaxText = 511;
constexpr const char* kTextFields[] = {"suserno", "sclubno", "stype", "sip", "sissuc"};

// A text parameter as valid UTF-8 for the log (other bytes are replaced), or null.
nlohmann::json textField(const ParamRecord& in, const char* name) {
  const void* data = nullptr;
  uint32_t length = 0, type = 0;
  if (!in.find(name, &data, &length, &type) || type != kTypeString) return nullptr;
  const char* bytes = static_cast<const char*>(data);
  const char* end = std::find(bytes, bytes + std::min<size_t>(length, kMaxText), '\0');
  return std::string(bytes, end);
}

std::string utcNow() {
  const std::time_t now = std::time(nullptr);
  std::tm tm{};
  gmtime_r(&now, &tm);
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &tm);
  return text;
}

}  // namespace

bool ConnectLog::handle(const ParamRecord& request, ParamRecord&, const std::string& peer) {
  nlohmann::json entry;
  for (const char* name : kTextFields) entry[name] = textField(request, name);
  int32_t code = 0;
  entry["ierrcode"] = request.getInt32("ierrcode", &code) ? nlohmann::json(code) : nullptr;
  entry["peer"] = peer;
  entry["time"] = utcNow();
  const std::string line =
      entry.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace) + "\n";
  std::lock_guard lock(mutex_);
  std::ofstream out(file_, std::ios::binary | std::ios::app);
  out << line;
  return false;
}

void ConnectLog::reject(ParamRecord& reply, Refusal) const {
  reply.clear();
  reply.setInt32("result", 1);
}

}  // namespace zavel::devserver
