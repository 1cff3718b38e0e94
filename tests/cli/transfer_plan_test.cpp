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

// Listings from a table: path -> entries. A path missing from it fails with 23006, or, when
// endless, lists itself with a folder "d" inside, as a server could for ever.
class TableLister : public RemoteLister {
 public:
  std::map<std::string, std::vector<RemoteEntry>> table;
  bool endless = false;
  size_t calls = 0;

  bool list(const std::string& path, std::vector<RemoteEntry>* entries,
            LibraryError* error) override {
    ++calls;
    const auto found = table.find(path);
    if (found != table.end() || endless) {
      *entries = endless ? std::vector{folder(path), folder(path + "/d")} : found->second;
      return true;
    }
    *error = LibraryError{23006, "no such file"};
    return false;
  }
};

class TempDir : public ::testing::Test {
 protected:
  TempDir() {
    std::string pattern = (fs::temp_directory_path() / "zavel-cli-plan-XXXXXX").string();
    root_ = ::mkdtemp(pattern.data());
  }
  ~TempDir() override { fs::remove_all(root_); }
  fs::path root_;
  // The plan's items as "d|f relative remote local size", local relative to root_.
  std::vector<std::string> items() const {
    std::vector<std::string> out;
    for (const PlanItem& i : plan_.items)
      out.push_back(std::string(i.folder ? "d " : "f ") + i.relative + " " + i.remote + " " +
                    i.local.lexically_relative(root_).string() + " " + std::to_string(i.size));
    return out;
  }

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
  EXPECT_EQ(items(),
            (std::vector<std::string>{
                "d docs /u/docs docs 0", "f docs/a.txt /u/docs/a.txt docs/a.txt 5",
                "d docs/sub /u/docs/sub docs/sub 0", "f docs/sub/c /u/docs/sub/c docs/sub/c 0",
                "f docs/b.bin /u/docs/b.bin docs/b.bin 70000"}));
  EXPECT_EQ(plan_.bytes, 70005u);
}

TEST_F(DownloadPlan, OneSourceTakesTheDestinationsNameWhenThatIsNoFolder) {
  lister_.table["/u/a.txt"] = {file("/u/a.txt", 9)};
  ASSERT_TRUE(planDownload(lister_, {"/u/a.txt"}, root_ / "renamed.txt", &plan_, &error_))
      << error_;
  EXPECT_EQ(items(), std::vector<std::string>{"f renamed.txt /u/a.txt renamed.txt 9"});

  Plan two;
  EXPECT_FALSE(planDownload(lister_, {"/u/a.txt", "/u/a.txt"}, root_ / "nofolder", &two, &error_));
  EXPECT_NE(error_.find("not a folder"), std::string::npos) << error_;
}

TEST_F(DownloadPlan, NamesThatLeaveTheListedFolderStopThePlan) {
  // The last one: index 0 names nothing.
  const RemoteEntry hostile[] = {file("/u/d/../../escape", 1),
                                 file("/u/d/a/b", 1),
                                 file("/elsewhere/x", 1),
                                 file("/u/d/", 1),
                                 folder("/u/d/.."),
                                 file("x", 1),
                                 club("/u/d/x", 5, false, "../x"),
                                 club("/u/d/x", 5, false, "a/b"),
                                 club("/u/d/x", 0, false, "x")};
  for (const RemoteEntry& e : hostile) {
    lister_.table["/u/d"] = {folder("/u/d"), e};
    Plan plan;
    std::string error;
    EXPECT_FALSE(planDownload(lister_, {"/u/d"}, root_, &plan, &error)) << e.name;
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
  EXPECT_EQ(items(), (std::vector<std::string>{"d 사진 <7@> 사진 0", "d 사진/2004 <9@> 사진/2004 0",
                                               "f 사진/2004/b.jpg <11> 사진/2004/b.jpg 4",
                                               "f 사진/a.jpg <8> 사진/a.jpg 300"}));
  EXPECT_EQ(plan_.bytes, 304u);
}

TEST_F(DownloadPlan, AListingThatNeverEndsStopsAtTheDepthLimit) {
  lister_.endless = true;
  EXPECT_FALSE(planDownload(lister_, {"/d"}, root_, &plan_, &error_));
  EXPECT_NE(error_.find("nested too deep"), std::string::npos) << error_;
  EXPECT_LE(lister_.calls, kMaxDepth + 1);
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
  EXPECT_EQ(items(), (std::vector<std::string>{
                         "d src  src/ 0", "f src/a.txt  src/a.txt 1", "d src/b-sub  src/b-sub 0",
                         "d src/b-sub/deeper  src/b-sub/deeper 0",
                         "f src/b-sub/deeper/x  src/b-sub/deeper/x 4", "f src/c.txt  src/c.txt 3",
                         "f src/link-to-file  src/link-to-file 1"}));
  EXPECT_EQ(plan_.bytes, 1u + 4 + 3 + 1);
  ASSERT_EQ(notes_.size(), 2u);
  EXPECT_NE(notes_[0].find("link-to-folder"), std::string::npos);
  EXPECT_NE(notes_[1].find("pipe"), std::string::npos);
}

TEST_F(UploadPlan, ASingleSourceCanTakeAnotherNameAndAMissingOneFails) {
  std::ofstream(root_ / "f.bin") << "12345";
  ASSERT_TRUE(planUpload({root_ / "f.bin"}, "g.bin", &plan_, &notes_, &error_)) << error_;
  EXPECT_EQ(items(), std::vector<std::string>{"f g.bin  f.bin 5"});

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
