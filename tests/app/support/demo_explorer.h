// A fixture for the explorer's logic against the demo devserver: the user signed in, the
// disk list read, and "My Device" an empty temporary folder.
#pragma once

#include <gtest/gtest.h>

#include <QStringList>
#include <QTemporaryDir>

#include "app/explorer/document.h"
#include "app/explorer/explorer_logic.h"
#include "tests/app/support/app_test.h"
#include "tests/app/support/demo_server.h"

namespace zavel::app::testing {

class DemoExplorerTest : public ::testing::Test {
 protected:
  // ownAddress and adjust: see DemoServer; disks: the demo user's disk count.
  explicit DemoExplorerTest(bool ownAddress = false, const DemoServer::Adjust& adjust = {},
                            int disks = 3)
      : demo_(ownAddress, adjust) {
    login_.id = "demo";
    login_.domain = "@zavel.net";
    const ServerEndpoint list{QString::fromStdString(demo_.server().listHost()),
                              demo_.server().listPort()};
    lookups_.setPortalServer({list.host, demo_.server().portalPort()});
    lookups_.setOctaServer(list);
    EXPECT_EQ(lookups_.userByIdDomain(), "1001");
    EXPECT_EQ(lookups_.diskList(), disks);
    document_.setOctaServer(list);
    document_.setFileServerPort(demo_.server().filePort());
  }

  // Opens the disk list's row `disk` from the disk list; on failure, what the user was told.
  ::testing::AssertionResult connectDisk(int disk) {
    explorer_.showDisks();
    if (explorer_.connectSelected({disk})) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << prompter_.texts().join("|").toStdString();
  }

  QStringList rowNames(ExplorerLogic::List list) {
    FileListModel& model =
        list == ExplorerLogic::List::kRemote ? explorer_.remote() : explorer_.local();
    QStringList out;
    for (int r = 0; r < model.rowCount(); ++r) out << model.cell(r, kColName);
    return out;
  }
  int rowOf(ExplorerLogic::List list, const QString& name) {
    return static_cast<int>(rowNames(list).indexOf(name));
  }

  DemoServer demo_;
  ScriptedPrompter prompter_;
  LoginInfo login_;
  PortalLookups lookups_{prompter_, login_};
  Document document_{login_, lookups_, prompter_};
  QTemporaryDir device_;
  ExplorerLogic explorer_{document_, prompter_, device_.path()};
};

}  // namespace zavel::app::testing
