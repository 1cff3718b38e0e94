#include "app/ui/notifier.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QStringList>
#include <QSystemTrayIcon>
#include <QVariantMap>

#include "app/ui/texts.h"

namespace zavel::app {
namespace {

const QString kService = QStringLiteral("org.freedesktop.Notifications");
const QString kPath = QStringLiteral("/org/freedesktop/Notifications");
const QString kInterface = QStringLiteral("org.freedesktop.Notifications");
// The desktop entry and the icon the package installs.
const QString kDesktopEntry = QStringLiteral("zavel");

QDBusMessage call(const QString& method) {
  return QDBusMessage::createMethodCall(kService, kPath, kInterface, method);
}

}  // namespace

bool DBusNotifier::available() {
  const QDBusConnection bus = QDBusConnection::sessionBus();
  if (!bus.isConnected() || bus.interface() == nullptr) return false;
  if (bus.interface()->isServiceRegistered(kService).value()) return true;
  return bus.interface()->activatableServiceNames().value().contains(kService);
}

DBusNotifier::DBusNotifier() : markup_(std::make_shared<bool>(false)) {
  auto* watcher = new QDBusPendingCallWatcher(
      QDBusConnection::sessionBus().asyncCall(call(QStringLiteral("GetCapabilities"))));
  // The answer may come after this notifier is gone: it writes only to the shared flag.
  QObject::connect(watcher, &QDBusPendingCallWatcher::finished, watcher,
                   [markup = markup_](QDBusPendingCallWatcher* done) {
                     const QDBusPendingReply<QStringList> reply = *done;
                     *markup =
                         reply.isValid() && reply.value().contains(QStringLiteral("body-markup"));
                     done->deleteLater();
                   });
}

void DBusNotifier::notify(const QString& title, const QString& body) {
  QDBusMessage message = call(QStringLiteral("Notify"));
  const QVariantMap hints{{QStringLiteral("desktop-entry"), kDesktopEntry}};
  message << text::tr(text::kMessageTitle) << 0u << kDesktopEntry << title
          << (*markup_ ? body.toHtmlEscaped() : body) << QStringList() << hints << -1;
  // The notice's number in the answer is of no use here: nothing waits for it.
  QDBusConnection::sessionBus().send(message);
}

void TrayNotifier::notify(const QString& title, const QString& body) {
  tray_.showMessage(title, body, QSystemTrayIcon::Information);
}

std::unique_ptr<Notifier> desktopNotifier(QSystemTrayIcon* tray) {
  if (DBusNotifier::available()) return std::make_unique<DBusNotifier>();
  if (tray != nullptr && QSystemTrayIcon::isSystemTrayAvailable() &&
      QSystemTrayIcon::supportsMessages())
    return std::make_unique<TrayNotifier>(*tray);
  return nullptr;
}

std::optional<Notice> batchNotice(const BatchOutcome& outcome) {
  if (outcome.cancelled || (!outcome.failed && outcome.filesDone == 0)) return std::nullopt;
  const bool down = outcome.download;
  Notice notice;
  QString what;
  if (outcome.failed) {
    notice.title = text::tr(down ? text::kNoticeDownloadFailed : text::kNoticeUploadFailed);
    what = text::tr(down ? text::kNoticeDownloadStopped : text::kNoticeUploadStopped)
               .arg(outcome.filesDone)
               .arg(outcome.files);
  } else {
    notice.title = text::tr(down ? text::kNoticeDownloadDone : text::kNoticeUploadDone);
    what = text::tr(down ? text::kNoticeDownloaded : text::kNoticeUploaded).arg(outcome.filesDone);
  }
  notice.body = what + u'\n' + text::tr(text::kNoticeFolder).arg(outcome.folder);
  return notice;
}

}  // namespace zavel::app
