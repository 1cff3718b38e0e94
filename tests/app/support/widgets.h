// Finding a named control of a widget in tests; a missing one fails the test.
#pragma once

#include <gtest/gtest.h>

#include <QLatin1String>
#include <QWidget>

namespace zavel::app::testing {

template <typename W>
W* child(QWidget* parent, const char* name) {
  W* w = parent->findChild<W*>(QLatin1String(name));
  EXPECT_NE(w, nullptr) << name;
  return w;
}

}  // namespace zavel::app::testing
