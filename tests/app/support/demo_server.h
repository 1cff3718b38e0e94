// The demo devserver, as the program's tests name it.
#pragma once

#include "tests/support/demo_server.h"

namespace zavel::app::testing {

using DemoServer = zavel::testing::DemoServer;

}  // namespace zavel::app::testing
