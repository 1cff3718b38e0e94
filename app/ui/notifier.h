// Desktop notifications: a line of title and a short body, shown by the desktop outside the
// program's windows. Used to say that a batch ended while the user was elsewhere.
#pragma once

#include <QString>
#include <memory>
#include <optional>

#include "app/explorer/transfer_manager.h"

class QSystemTrayIcon;

namespace zavel::app {

class Notifier {
 public:
  virtual ~Notifier() = default;
  virtual void notify(const QString& title, const QString& body) = 0;
};

// The desktop's notification service on the session bus (org.freedesktop.Notifications).
class DBusNotifier : public Notifier {
 public:
  // True when the session bus has the service, running or to be started on the first call.
  static bool available();

  DBusNotifier();
  void notify(const QString& title, const QString& body) override;

 private:
  // Whether the service reads the body as markup (then names in it are escaped); it says
  // so in answer to a question asked at the start.
  std::shared_ptr<bool> markup_;
};

// The tray icon's balloon, where there is a tray but no notification service.
class TrayNotifier : public Notifier {
 public:
  explicit TrayNotifier(QSystemTrayIcon& tray) : tray_(tray) {}
  void notify(const QString& title, const QString& body) override;

 private:
  QSystemTrayIcon& tray_;
};

// The best the desktop offers: its notification service, else the tray's balloon (tray may
// be null), else nothing.
std::unique_ptr<Notifier> desktopNotifier(QSystemTrayIcon* tray);

struct Notice {
  QString title;
  QString body;
};

// What a notice says of a batch: how many files went where, or that it failed. None for a
// batch the user cancelled, or one that moved no file and did not fail.
std::optional<Notice> batchNotice(const BatchOutcome& outcome);

}  // namespace zavel::app
