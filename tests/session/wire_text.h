// Records written out as one line of text, so a test compares a whole request at once:
// "name:type=value" per entry in wire order, separated by spaces.
#pragma once

#include <cstdio>
#include <cstring>
#include <string>

#include "protocol/param_record.h"

namespace zavel::testing {

inline std::string wireText(const ParamRecord& record) {
  std::string out;
  for (const auto& [name, value] : record.entries()) {
    if (!out.empty()) out += ' ';
    out += name + ':' + std::to_string(value.type()) + '=';
    switch (value.type()) {
      case kTypeString:
        out.append(reinterpret_cast<const char*>(value.data()), value.length() - 1);
        break;
      case kTypeInt32: {
        int32_t v = 0;
        record.getInt32(name.c_str(), &v);
        out += std::to_string(v);
        break;
      }
      case kTypeInt64:
      case kTypeUInt64: {
        int64_t v = 0;
        record.getInt64(name.c_str(), &v);
        out += std::to_string(v);
        break;
      }
      default:
        for (uint32_t i = 0; i < value.length(); ++i) {
          char hex[3];
          snprintf(hex, sizeof hex, "%02x", value.data()[i]);
          out += hex;
        }
    }
  }
  return out;
}

}  // namespace zavel::testing
