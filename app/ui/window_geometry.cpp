#include "app/ui/window_geometry.h"

#include <QRegion>
#include <QString>
#include <algorithm>
#include <cstdint>

#include "app/explorer/file_list_model.h"
#include "app/signin/settings_store.h"

namespace zavel::app {
namespace {

const QString kSection = QStringLiteral("window");

int64_t area(const QRect& r) {
  return r.isEmpty() ? 0 : int64_t{r.width()} * r.height();
}

QSize fitted(const QSize& size, const QRect& screen) {
  return size.boundedTo(screen.size());
}

QRect centred(const QSize& size, const QRect& screen) {
  QRect r(QPoint(), fitted(size, screen));
  r.moveCenter(screen.center());
  return r;
}

// Moved as little as needs be to lie wholly on the screen (it is no larger than the screen).
QRect within(QRect r, const QRect& screen) {
  r.setSize(fitted(r.size(), screen));
  if (r.right() > screen.right()) r.moveRight(screen.right());
  if (r.bottom() > screen.bottom()) r.moveBottom(screen.bottom());
  if (r.left() < screen.left()) r.moveLeft(screen.left());
  if (r.top() < screen.top()) r.moveTop(screen.top());
  return r;
}

QString columnValue(const char* list, int column) {
  return QString::fromLatin1(list) +
         (column == kColType ? QStringLiteral("TypeColumn") : QStringLiteral("DateColumn"));
}

}  // namespace

QRect restoredGeometry(const std::optional<QRect>& saved, const QList<QRect>& screens,
                       const QSize& defaultSize) {
  if (screens.isEmpty()) return saved.value_or(QRect(QPoint(), defaultSize));
  const QRect& primary = screens.first();
  if (!saved || saved->isEmpty()) return centred(defaultSize, primary);

  QRegion outside(*saved);
  const QRect* most = nullptr;
  int64_t most_area = 0;
  for (const QRect& screen : screens) {
    outside -= screen;
    const int64_t covered = area(saved->intersected(screen));
    if (covered > most_area) {
      most = &screen;
      most_area = covered;
    }
  }
  if (outside.isEmpty()) return *saved;
  if (most == nullptr) return centred(saved->size(), primary);
  return within(*saved, *most);
}

WindowMemory readWindowMemory(const SettingsStore& settings) {
  WindowMemory memory;
  const int width = settings.getInt(kSection, QStringLiteral("width"), 0);
  const int height = settings.getInt(kSection, QStringLiteral("height"), 0);
  if (width > 0 && height > 0)
    memory.geometry = QRect(settings.getInt(kSection, QStringLiteral("x"), 0),
                            settings.getInt(kSection, QStringLiteral("y"), 0), width, height);
  memory.maximized = settings.getInt(kSection, QStringLiteral("maximized"), 0) != 0;
  const int upper = settings.getInt(kSection, QStringLiteral("upperHeight"), 0);
  const int lower = settings.getInt(kSection, QStringLiteral("lowerHeight"), 0);
  if (upper > 0 && lower > 0) memory.split = {upper, lower};
  return memory;
}

void writeWindowMemory(SettingsStore& settings, const WindowMemory& memory) {
  if (memory.geometry && !memory.geometry->isEmpty()) {
    settings.writeInt(kSection, QStringLiteral("x"), memory.geometry->x());
    settings.writeInt(kSection, QStringLiteral("y"), memory.geometry->y());
    settings.writeInt(kSection, QStringLiteral("width"), memory.geometry->width());
    settings.writeInt(kSection, QStringLiteral("height"), memory.geometry->height());
  }
  settings.writeInt(kSection, QStringLiteral("maximized"), memory.maximized ? 1 : 0);
  // A collapsed part (0) is not kept: the next start shows both lists.
  if (memory.split.size() == 2 && memory.split[0] > 0 && memory.split[1] > 0) {
    settings.writeInt(kSection, QStringLiteral("upperHeight"), memory.split[0]);
    settings.writeInt(kSection, QStringLiteral("lowerHeight"), memory.split[1]);
  }
}

bool columnShown(const SettingsStore& settings, const char* list, int column) {
  return settings.getInt(kSection, columnValue(list, column), 0) != 0;
}

void storeColumnShown(SettingsStore& settings, const char* list, int column, bool shown) {
  settings.writeInt(kSection, columnValue(list, column), shown ? 1 : 0);
}

}  // namespace zavel::app
