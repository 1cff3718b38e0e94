// The program's icon, drawn here at every size asked, so that no image format plugin is
// needed and no size is scaled from another.
#pragma once

#include <QIcon>

namespace zavel::app {

QIcon appIcon();

}  // namespace zavel::app
