#include "tests/support/portal_messages.h"

#include <algorithm>

namespace zavel::testing {

portal::PortalMessage textMessage(const Pairs& header, const Pairs& body) {
  portal::FormMap h, b;
  for (const auto& [k, v] : header) h.set(k, v);
  for (const auto& [k, v] : body) b.set(k, v);
  return portal::PortalMessage::build(h, b);
}

portal::PortalMessage queryNodeAns(const std::string& node) {
  return textMessage({{"ctrl", "general"},
                      {"general", "queryNodeAns"},
                      {"parentName", "root"},
                      {"childName", "c1"},
                      {"yourNodeAddr", node}});
}

portal::PortalMessage authAnswer(const std::string& to, Pairs body) {
  Pairs full = {{"inform", "auth"}, {"result", "0"}, {"errmsg", ""}, {"name", "Tester"},
                {"userno", "1001"}, {"kid", "k"},    {"eid", "e"}};
  for (const auto& [key, value] : body) {
    auto it = std::find_if(full.begin(), full.end(), [&](const auto& p) { return p.first == key; });
    it == full.end() ? void(full.emplace_back(key, value)) : void(it->second = value);
  }
  std::erase_if(full, [](const auto& p) { return p.second == "<drop>"; });
  return textMessage({{"to", to}, {"from", "root"}}, full);
}

}  // namespace zavel::testing
