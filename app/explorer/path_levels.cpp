#include "app/explorer/path_levels.h"

namespace zavel::app {

PathLevels::PathLevels(QChar separator, QString root) : separator_(separator) {
  levels_ << std::move(root);
}

void PathLevels::enter(const QString& level) {
  levels_ << level;
}

void PathLevels::choose(int index) {
  if (index < 0) index = 0;
  while (levels_.size() > index + 1) {
    levels_.removeLast();
    if (!keys_.isEmpty()) keys_.removeLast();
  }
}

QStringList PathLevels::items() const {
  QStringList out;
  for (int n = 0; n < levels_.size(); ++n) out << QString(n, u' ') + levels_[n];
  return out;
}

QString PathLevels::caption(const QFontMetrics& metrics) const {
  const QString text = items().last() + QStringLiteral(" ▼");
  if (metrics.horizontalAdvance(text) < kMaxCaptionPixels) return text;
  return text.left(kCutCaptionChars) + QStringLiteral("...▼");
}

QString PathLevels::fullPath() const {
  return below(0);
}

QString PathLevels::below(int skip) const {
  QString out;
  for (int n = skip; n < levels_.size(); ++n) out += separator_ + levels_[n];
  return out;
}

}  // namespace zavel::app
