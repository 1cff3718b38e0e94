#include "devserver/config.h"

#include <gtest/gtest.h>

namespace zavel::devserver {
namespace {

TEST(Config, FillsDefaultsForAPersonalDiskAndSurvivesARoundTrip) {
  Config c;
  std::string error;
  ASSERT_TRUE(parseConfig(R"({"accounts":[{"id":"kim","password":"pw","disks":[{}]}],
                              "clubs":[{"number":7,"members":[{"id":"kim","level":2}]}]})",
                          &c, &error))
      << error;
  const DiskConfig* d = c.personalDisk("kim");
  ASSERT_NE(d, nullptr);
  EXPECT_EQ(std::tie(d->base_path, d->folder, d->name, d->mode),
            std::make_tuple("/kim", "kim", "My zavel", 1));

  Config again;
  ASSERT_TRUE(parseConfig(configToJson(c), &again, &error)) << error;
  EXPECT_EQ(configToJson(again), configToJson(c));
  EXPECT_TRUE(again.clubs.size() == 1 && again.clubs[0].members[0].level == 2);
}

TEST(Config, RefusesConfigurationsThatWouldMisplaceADisk) {
  const char* bad[] = {
      "not json",
      "",
      R"({"accounts":[{"id":"a","disks":[{}]})",
      R"({"accounts":[{"password":"no id"}]})",
      R"({"accounts":[{"id":"a"},{"id":"a"}]})",
      R"({"accounts":[{"id":"a","disks":[{"folder":"../elsewhere"}]}]})",
      R"({"accounts":[{"id":"a","disks":[{"folder":"."}]}]})",
      R"({"accounts":[{"id":"a","disks":[{"base_path":"/"}]}]})",
      R"({"accounts":[{"id":"a","disks":[{"base_path":"/a/../b"}]}]})",
      R"({"accounts":[{"id":"a","disks":[{"mode":5}]}]})",
      R"({"accounts":[{"id":"a","disks":[{"kind":"shared"}]}]})",
      R"({"accounts":[{"id":"a","disks":[{}]},{"id":"b","disks":[{"folder":"a"}]}]})",
      R"({"accounts":[{"id":"a","disks":[{"quota_mb":"lots"}]}]})",
      R"({"clubs":[{"number":1},{"number":1}]})",
  };
  for (const char* text : bad) {
    Config c;
    std::string error;
    EXPECT_FALSE(parseConfig(text, &c, &error)) << text;
    EXPECT_FALSE(error.empty()) << text;
  }
}

}  // namespace
}  // namespace zavel::devserver
