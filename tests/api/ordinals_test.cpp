#include <dlfcn.h>
#include <gtest/gtest.h>

#include "zavelsdk.h"

namespace {

// The ordinals callers bind to, written out independently of the library's own table.
const struct {
  int ordinal;
  const char* name;
} kExpected[] = {
    {1, "zavel_GetLastError"},  {2, "zavel_SetLastError"},  {3, "zavel_GetLastErrStr"},
    {4, "zavel_SetLastErrStr"}, {5, "zavel_FormatMessage"}, {119, "RSet_LastErrorNo"},
    {120, "RGet_LastErrorNo"},
};

TEST(Ordinals, EveryOrdinalNamesTheExportedFunction) {
  for (const auto& e : kExpected) {
    void* by_name = dlsym(RTLD_DEFAULT, e.name);
    ASSERT_NE(by_name, nullptr) << e.name << " is not exported";
    EXPECT_EQ(reinterpret_cast<void*>(zavel_GetExportByOrdinal(e.ordinal)), by_name) << e.name;
  }
}

TEST(Ordinals, UnusedOrdinalsGiveNull) {
  for (int ordinal : {0, -1, 6, 118, 121000}) {
    EXPECT_EQ(zavel_GetExportByOrdinal(ordinal), nullptr) << ordinal;
  }
}

TEST(Ordinals, BoundByOrdinalTheFunctionWorks) {
  using SetFn = void (*)(int32_t);
  using GetFn = int32_t (*)(void);
  auto set = reinterpret_cast<SetFn>(zavel_GetExportByOrdinal(119));
  auto get = reinterpret_cast<GetFn>(zavel_GetExportByOrdinal(1));
  ASSERT_NE(set, nullptr);
  ASSERT_NE(get, nullptr);
  set(23008);
  EXPECT_EQ(get(), 23008);
}

TEST(Ordinals, InternalSymbolsStayHidden) {
  EXPECT_EQ(dlsym(RTLD_DEFAULT, "_ZN5zavel12setLastErrorEi"), nullptr);
}

}  // namespace
