// Every control is findable by tests and assistive technology: an objectName for what it is
// and an accessibleName for its visible text or label.
#pragma once

#include <QLatin1String>
#include <QString>

namespace zavel::app {

template <typename W>
W* named(W* widget, const char* name, const QString& accessible) {
  widget->setObjectName(QLatin1String(name));
  widget->setAccessibleName(accessible);
  return widget;
}

}  // namespace zavel::app
