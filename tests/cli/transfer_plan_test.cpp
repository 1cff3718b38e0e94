#include "cli/transfer_plan.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

namespace zavel::cli {
namespace {

namespace fs = std::filesystem;

// Listings from a table: path -> entries; a path missing from it fails with 23006.
class TableLister : public RemoteLister {
 public:
  std::map<std::string, std::vector<RemoteEntry>> table;
  std::vector<std::string> listed;

  bool list(const std::string& path, std::vector<RemoteEntry>* entries,
            LibraryError* error) override {
    listed.push_back(path);
    const auto found = table.find(path);
    if (found == table.end()) {
      *error = LibraryError{23006, "no such file"};
      return false;
    }
    *entries = found->second;
    return true;
  }
};

RemoteEntry folder(const std::string& name) {
  return RemoteEntry{name, 0, true, "d", std::nullopt};
}
RemoteEntry file(const std::string& name, int64_t size) {
  return RemoteEntry{name, size, false, "d", std::nullopt};
}
RemoteEntry club(const std::string& name, int64_t index, bool is_folder, const std::string& sname,
                 int64_t size = 0) {
  RemoteEntry e{name, size, is_folder, "d", ClubDetail{}};
  e.club->index = index;
  e.club->kind = is_folder ? 2 : 1;
  e.club->name = sname;
  return e;
}

class TempDir : public ::testing::Test {
 protected:
  TempDir() {
    std::string pattern = (fs::temp_directory_path() / "zavel-cli-plan-XXXXXX").string();
    root_ = ::mkdtemp(pattern.data());
  }
  ~TempDir() override { fs::remove_all(root_); }
  fs::path root_;
  TableLister lister_;
  Plan plan_;
  std::vector<std::string> notes_;
  std::string error_;
};

using DownloadPlan = TempDir;

TEST_F(DownloadPlan, AFolderBecomesItsFoldersThenItsFilesWithLocalTargetsInside) {
  lister_.table["/u/docs"] = {folder("/u/docs"), file("/u/docs/a.txt", 5), folder("/u/docs/sub"),
                              file("/u/docs/b.bin", 70000)};
  lister_.table["/u/docs/sub"] = {folder("/u/docs/sub"), file("/u/docs/sub/c", 0)};
  ASSERT_TRUE(planDownload(lister_, {"/u/docs"}, root_, &plan_, &error_)) << error_;

  const struct {
    bool folder;
    const char* relative;
    const char* remote;
    fs::path local;
    uint64_t size;
  } expected[] = {
      {true, "docs", "/u/docs", root_ / "docs", 0},
      {false, "docs/a.txt", "/u/docs/a.txt", root_ / "docs/a.txt", 5},
      {true, "docs/sub", "/u/docs/sub", root_ / "docs/sub", 0},
      {false, "docs/sub/c", "/u/docs/sub/c", root_ / "docs/sub/c", 0},
      {false, "docs/b.bin", "/u/docs/b.bin", root_ / "docs/b.bin", 70000},
  };
  ASSERT_EQ(plan_.items.size(), std::size(expected));
  for (size_t i = 0; i < plan_.items.size(); ++i) {
    EXPECT_EQ(plan_.items[i].folder, expected[i].folder) << i;
    EXPECT_EQ(plan_.items[i].relative, expected[i].relative) << i;
    EXPECT_EQ(plan_.items[i].remote, expected[i].remote) << i;
    EXPECT_EQ(plan_.items[i].local, expected[i].local) << i;
    EXPECT_EQ(plan_.items[i].size, expected[i].size) << i;
  }
  EXPECT_EQ(plan_.bytes, 70005u);
}

TEST_F(DownloadPlan, OneSourceTakesTheDestinationsNameWhenThatIsNoFolder) {
  lister_.table["/u/a.txt"] = {file("/u/a.txt", 9)};
  ASSERT_TRUE(planDownload(lister_, {"/u/a.txt"}, root_ / "renamed.txt", &plan_, &error_))
      << error_;
  ASSERT_EQ(plan_.items.size(), 1u);
  EXPECT_EQ(plan_.items[0].local, root_ / "renamed.txt");

  Plan two;
  EXPECT_FALSE(planDownload(lister_, {"/u/a.txt", "/u/a.txt"}, root_ / "nofolder", &two, &error_));
  EXPECT_NE(error_.find("not a folder"), std::string::npos) << error_;
}

TEST_F(DownloadPlan, NamesThatLeaveTheListedFolderStopThePlan) {
  const std::vector<RemoteEntry> hostile[] = {
      {file("/u/d/../../escape", 1)},
      {file("/u/d/a/b", 1)},
      {file("/elsewhere/x", 1)},
      {file("/u/d/", 1)},
      {folder("/u/d/..")},
      {file("x", 1)},
      {club("/u/d/x", 5, false, "../x")},
      {club("/u/d/x", 5, false, "a/b")},
      {club("/u/d/x", 0, false, "x")},  // index 0 names nothing
  };
  for (const auto& entries : hostile) {
    TableLister lister;
    lister.table["/u/d"] = {folder("/u/d")};
    for (const RemoteEntry& e : entries) lister.table["/u/d"].push_back(e);
    Plan plan;
    std::string error;
    EXPECT_FALSE(planDownload(lister, {"/u/d"}, root_, &plan, &error)) << entries[0].name;
    EXPECT_NE(error.find("not an item of this folder"), std::string::npos) << error;
  }
  EXPECT_TRUE(fs::is_empty(root_));
}

TEST_F(DownloadPlan, ClubEntriesAreReachedByKeyAndNamedByTheirRecord) {
  lister_.table["<7@>"] = {club("<7@>", 7, true, "사진"), club("<7@>/2004", 9, true, "2004"),
                           club("<7@>/a.jpg", 8, false, "a.jpg", 300)};
  lister_.table["<9@>"] = {club("<9@>", 9, true, "2004"),
                           club("<9@>/b.jpg", 11, false, "b.jpg", 4)};
  ASSERT_TRUE(planDownload(lister_, {"<7@>"}, root_, &plan_, &error_)) << error_;
  ASSERT_EQ(plan_.items.size(), 4u);
  EXPECT_EQ(plan_.items[0].local, root_ / "사진");
  EXPECT_EQ(plan_.items[1].remote, "<9@>");
  EXPECT_EQ(plan_.items[2].remote, "<11>");
  EXPECT_EQ(plan_.items[2].local, root_ / "사진/2004/b.jpg");
  EXPECT_EQ(plan_.items[3].remote, "<8>");
  EXPECT_EQ(plan_.items[3].relative, "사진/a.jpg");
  EXPECT_EQ(plan_.bytes, 304u);
}

TEST_F(DownloadPlan, AListingThatNeverEndsStopsAtTheDepthLimit) {
  // Every folder holds a folder of the same name: a server could go on for ever.
  class Endless : public RemoteLister {
   public:
    bool list(const std::string& path, std::vector<RemoteEntry>* entries, LibraryError*) override {
      ++calls;
      *entries = {folder(path), folder(path + "/d")};
      return true;
    }
    size_t calls = 0;
  } lister;
  Plan plan;
  std::string error;
  EXPECT_FALSE(planDownload(lister, {"/d"}, root_, &plan, &error));
  EXPECT_NE(error.find("nested too deep"), std::string::npos) << error;
  EXPECT_LE(lister.calls, kMaxDepth + 1);
}

TEST_F(DownloadPlan, AListingErrorCarriesTheLibrarysMessage) {
  lister_.table["/u/d"] = {folder("/u/d"), folder("/u/d/gone")};
  EXPECT_FALSE(planDownload(lister_, {"/u/d"}, root_, &plan_, &error_));
  EXPECT_EQ(error_, "/u/d/gone: file or directory not exist (23006)");
}

using UploadPlan = TempDir;

TEST_F(UploadPlan, WalksFoldersInNameOrderAndLeavesOutWhatCannotBeSent) {
  fs::create_directories(root_ / "src/b-sub/deeper");
  fs::create_directories(root_ / "elsewhere");
  std::ofstream(root_ / "src/c.txt") << "ccc";
  std::ofstream(root_ / "src/a.txt") << "a";
  std::ofstream(root_ / "src/b-sub/deeper/x") << "xxxx";
  fs::create_directory_symlink(root_ / "elsewhere", root_ / "src/link-to-folder");
  fs::create_symlink(root_ / "src/a.txt", root_ / "src/link-to-file");
  ASSERT_EQ(::mkfifo((root_ / "src/pipe").c_str(), 0600), 0);

  ASSERT_TRUE(planUpload({root_ / "src/"}, std::nullopt, &plan_, &notes_, &error_)) << error_;
  std::vector<std::string> relative;
  for (const PlanItem& i : plan_.items) relative.push_back((i.folder ? "d " : "f ") + i.relative);
  EXPECT_EQ(relative, (std::vector<std::string>{"d src", "f src/a.txt", "d src/b-sub",
                                                "d src/b-sub/deeper", "f src/b-sub/deeper/x",
                                                "f src/c.txt", "f src/link-to-file"}));
  EXPECT_EQ(plan_.bytes, 1u + 4 + 3 + 1);
  ASSERT_EQ(notes_.size(), 2u);
  EXPECT_NE(notes_[0].find("link-to-folder"), std::string::npos);
  EXPECT_NE(notes_[1].find("pipe"), std::string::npos);
}

TEST_F(UploadPlan, ASingleSourceCanTakeAnotherNameAndAMissingOneFails) {
  std::ofstream(root_ / "f.bin") << "12345";
  ASSERT_TRUE(planUpload({root_ / "f.bin"}, "g.bin", &plan_, &notes_, &error_)) << error_;
  ASSERT_EQ(plan_.items.size(), 1u);
  EXPECT_EQ(plan_.items[0].relative, "g.bin");
  EXPECT_EQ(plan_.items[0].size, 5u);

  Plan missing;
  EXPECT_FALSE(planUpload({root_ / "nope"}, std::nullopt, &missing, &notes_, &error_));
  EXPECT_NE(error_.find("no such file"), std::string::npos);
}

TEST(LocalName, IsTheLastNameEvenForTrailingSlashesAndDots) {
  EXPECT_EQ(localName("a/b"), "b");
  EXPECT_EQ(localName("a/b/"), "b");
  EXPECT_EQ(localName("/x/y/./"), "y");
  EXPECT_EQ(localName("."), fs::current_path().filename().string());
}

}  // namespace
}  // namespace zavel::cli
