// Encoding and decoding a listing-sized reply, against a memcpy of the same bytes.
#include <benchmark/benchmark.h>

#include <cstring>
#include <string>
#include <vector>

#include "protocol/framing.h"

namespace zavel {
namespace {

// A reply shaped like a folder listing of 10,000 entries: name, size, type, date each.
ParamRecord listingReply() {
  ParamRecord r(kFlagScramble);
  r.setInt32("error", 0);
  r.setString("errstr", "");
  r.setInt32("count", 10000);
  for (int i = 1; i <= 10000; ++i) {
    const std::string n = std::to_string(i);
    const std::string name = "/home/demo/photos/2004/IMG_" + n + ".jpg";
    r.setString(("n" + n).c_str(), name.c_str());
    r.setInt64(("s" + n).c_str(), 1000000LL + i);
    r.setInt32(("t" + n).c_str(), i % 10 == 0);
    r.setString(("d" + n).c_str(), "2004-12-13 PM 03:30");
  }
  return r;
}

const ParamRecord& reply() {
  static const ParamRecord r = listingReply();
  return r;
}

void BM_Encode(benchmark::State& state) {
  std::vector<uint8_t> out(encodedSize(reply()));
  for (auto _ : state) {
    benchmark::DoNotOptimize(encodeMessage(reply(), out.data(), out.size()));
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * out.size()));
}

void BM_Decode(benchmark::State& state) {
  std::vector<uint8_t> in(encodedSize(reply()));
  encodeMessage(reply(), in.data(), in.size());
  ParamRecord r;
  for (auto _ : state) {
    benchmark::DoNotOptimize(decodeMessage(r, in.data(), in.size()));
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * in.size()));
}

void BM_MemcpyBaseline(benchmark::State& state) {
  std::vector<uint8_t> in(encodedSize(reply()), 0x5A);
  std::vector<uint8_t> out(in.size());
  for (auto _ : state) {
    memcpy(out.data(), in.data(), in.size());
    benchmark::DoNotOptimize(out.data());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * in.size()));
}

BENCHMARK(BM_MemcpyBaseline);
BENCHMARK(BM_Encode);
BENCHMARK(BM_Decode);

}  // namespace
}  // namespace zavel

BENCHMARK_MAIN();
