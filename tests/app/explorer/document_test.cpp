// Opening disks against the demo devserver: the personal disk, a club the user may write
// and the read-only club, and the listings they give.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "app/explorer/document.h"
#include "app/explorer/texts.h"
#include "tests/app/support/demo_server.h"
#include "tests/app/support/scripted_prompter.h"

namespace zavel::app {
namespace {

class DocumentTest : public ::testing::Test {
 protected:
  DocumentTest() {
    login_.id = "demo";
    login_.domain = "@zavel.net";
    lookups_.setPortalServer({"127.0.0.1", demo_.server().portalPort()});
    lookups_.setOctaServer({"127.0.0.1", demo_.server().listPort()});
    EXPECT_EQ(lookups_.userByIdDomain(), "1001");
    EXPECT_EQ(lookups_.diskList(), 3);
    document_.setOctaServer({"127.0.0.1", demo_.server().listPort()});
    document_.setFileServerPort(demo_.server().filePort());
  }

  QStringList names(const std::vector<ListRow>& rows) {
    QStringList out;
    for (const ListRow& r : rows)
      out << r.cells[kColName] + "|" + r.cells[kColSize] + "|" + r.cells[kColIndex];
    return out;
  }

  testing::DemoServer demo_;
  testing::ScriptedPrompter prompter_;
  LoginInfo login_;
  PortalLookups lookups_{prompter_, login_};
  Document document_{login_, lookups_, prompter_};
};

TEST_F(DocumentTest, OpensEachKindOfDiskWithItsRightsAndListsIt) {
  struct Case {
    QString disk;
    bool club;
    int mode;
    QString first_row;
  } cases[] = {
      {"My zavel", false, 1, "문서|폴더|"},
      {"데모 클럽", true, 1, "공지|폴더|<3@>"},
      {"사진 동호회", true, 3, "전시회|폴더|<12@>"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.disk.toStdString());
    ASSERT_TRUE(document_.openDisk(c.disk)) << prompter_.texts().join("|").toStdString();
    EXPECT_EQ(document_.clubListing(), c.club);
    EXPECT_EQ(document_.sessionMode(), c.mode);
    EXPECT_EQ(document_.currentDisk()->diskname, c.disk);
    const auto rows = document_.listRemote(document_.basePath());
    ASSERT_TRUE(rows.has_value());
    ASSERT_FALSE(rows->empty());
    EXPECT_EQ(names(*rows)[0], c.first_row);
  }
  // A club folder listed by its key; the open sessions are taken again, not made anew.
  ASSERT_TRUE(document_.openDisk("데모 클럽"));
  const auto inside = document_.listRemote("<4@>");
  ASSERT_TRUE(inside.has_value());
  for (const QString& row : names(*inside)) EXPECT_FALSE(row.contains('/')) << row.toStdString();
  EXPECT_TRUE(prompter_.texts().isEmpty());

  EXPECT_TRUE(document_.closeDisk(""));  // the listing session's disk
  EXPECT_EQ(document_.listing(), nullptr);
  EXPECT_FALSE(document_.closeDisk("데모 클럽"));
  EXPECT_TRUE(document_.closeDisk("My zavel"));
}

TEST_F(DocumentTest, FailuresAreToldOnce) {
  EXPECT_FALSE(document_.openDisk("없는 디스크"));
  ASSERT_TRUE(document_.openDisk("My zavel"));
  EXPECT_FALSE(document_.listRemote("/demo/없는 폴더").has_value());
  ASSERT_EQ(prompter_.texts().size(), 1);
  EXPECT_TRUE(prompter_.texts()[0].endsWith(")")) << prompter_.texts()[0].toStdString();

  // The club server is gone: the rights cannot be read.
  prompter_.clear();
  document_.setOctaServer({"127.0.0.1", 1});
  lookups_.setOctaServer({"127.0.0.1", 1});
  EXPECT_FALSE(document_.openDisk("데모 클럽"));
  EXPECT_EQ(prompter_.texts(), QStringList{text::tr(text::kNoDiskRights)});
}

}  // namespace
}  // namespace zavel::app
