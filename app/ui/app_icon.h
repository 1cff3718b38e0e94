// The program's icon, drawn here so that no image format plugin is needed.
#pragma once

#include <QIcon>

namespace zavel::app {

QIcon appIcon();

}  // namespace zavel::app
