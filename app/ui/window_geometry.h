// The main window between runs: its size, place and split are kept in the settings when it
// closes and come back at the next start, brought back onto a screen when the screen it was
// on is gone.
#pragma once

#include <QList>
#include <QRect>
#include <QSize>
#include <optional>

namespace zavel::app {

class SettingsStore;

// Where the window opens. `saved` is its remembered rectangle (none the first time);
// `screens` the area each screen leaves to windows, the primary screen first. A rectangle
// that lies wholly on the screens stays as it was; one that reaches past them moves onto the
// screen it mostly covers; one on no screen at all is centred on the primary screen. Either
// way it is made no larger than that screen. Without a saved rectangle: `defaultSize`,
// centred on the primary screen.
QRect restoredGeometry(const std::optional<QRect>& saved, const QList<QRect>& screens,
                       const QSize& defaultSize);

// What the settings remember of the window (section "window").
struct WindowMemory {
  std::optional<QRect> geometry;  // the normal (not maximized) rectangle
  bool maximized = false;
  QList<int> split;  // the heights of the parts above and below the splitter; empty: none
};

WindowMemory readWindowMemory(const SettingsStore& settings);
void writeWindowMemory(SettingsStore& settings, const WindowMemory& memory);

// Whether a list shows an optional column; `list` names the list ("remote", "local").
bool columnShown(const SettingsStore& settings, const char* list, int column);
void storeColumnShown(SettingsStore& settings, const char* list, int column, bool shown);

}  // namespace zavel::app
