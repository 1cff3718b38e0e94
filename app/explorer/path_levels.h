// The levels behind a list's path button: the root level and one per folder entered, shown
// as a menu whose item n is the level's name after n spaces, and a caption of the current
// level with " ▼" (cut to 16 characters and "...▼" when it would be 180 pixels or wider).
// The remote button also keeps the club keys of the club-disk folders entered.
#pragma once

#include <QChar>
#include <QFontMetrics>
#include <QString>
#include <QStringList>

namespace zavel::app {

class PathLevels {
 public:
  static constexpr int kFirstItem = 4000;
  static constexpr int kMaxCaptionPixels = 180;
  static constexpr int kCutCaptionChars = 16;

  // separator: "/" for the remote button, "\" for the local one.
  PathLevels(QChar separator, QString root);

  void enter(const QString& level);
  // Keeps the levels up to index (0 is the root) and drops one club key per removed level.
  void choose(int index);
  void reset() { choose(0); }
  int count() const { return static_cast<int>(levels_.size()); }
  const QStringList& levels() const { return levels_; }
  // The menu's item texts, in order (item numbers kFirstItem, kFirstItem + 1, ...).
  QStringList items() const;
  QString caption(const QFontMetrics& metrics) const;
  // Every level after a separator: "/전체 ZAVEL 보기/disk/folder" or "\My Device\folder".
  QString fullPath() const;
  // The levels below the first `skip` ones, each after a separator ("/a/b"; "\a\b").
  QString below(int skip) const;

  void pushKey(const QString& key) { keys_ << key; }
  QString topKey() const { return keys_.isEmpty() ? QString() : keys_.last(); }
  bool hasKeys() const { return !keys_.isEmpty(); }
  void clearKeys() { keys_.clear(); }

 private:
  QChar separator_;
  QStringList levels_;
  QStringList keys_;
};

}  // namespace zavel::app
