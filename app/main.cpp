// zavel: the command line, then the program's start-up. The socket layer needs no start on
// Linux; the settings store is named by the organisation and application names below.
#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QTextStream>

#include "app/explorer/updater.h"
#include "app/signin/auth_client.h"
#include "app/ui/language.h"
#include "app/ui/program.h"

namespace {

// "HOST" or "HOST:PORT"; false when the port is not a number from 1 to 65535.
bool parseServer(const QString& text, QString* host, uint16_t* port) {
  const int colon = text.lastIndexOf(QLatin1Char(':'));
  *host = colon < 0 ? text : text.left(colon);
  if (colon >= 0) {
    bool ok = false;
    const uint value = text.mid(colon + 1).toUInt(&ok);
    if (!ok || value == 0 || value > 65535) return false;
    *port = static_cast<uint16_t>(value);
  }
  return !host->isEmpty();
}

int usageError(const QString& message) {
  QTextStream(stderr) << "zavel: " << message << "\n";
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QCoreApplication::setOrganizationName(QStringLiteral("vemar"));
  QCoreApplication::setApplicationName(QStringLiteral("zavel"));

  QCommandLineParser parser;
  parser.setApplicationDescription(QStringLiteral(
      "The zavel explorer: sign in, pick a disk, move files between this machine and it.\n"
      "The portal and club servers come from the settings file (~/.config/vemar/zavel.conf,\n"
      "sections [server] and [serverOCTA], values ip and port; default 127.0.0.1:22222)."));
  parser.addHelpOption();
  const QCommandLineOption auth_server(
      QStringLiteral("auth-server"),
      QStringLiteral("The authentication server (default 127.0.0.1, port 10020)."),
      QStringLiteral("HOST[:PORT]"));
  const QCommandLineOption device_root(
      QStringLiteral("device-root"),
      QStringLiteral("The folder shown as \"My Device\" (default: your home folder)."),
      QStringLiteral("DIR"));
  parser.addOption(auth_server);
  parser.addOption(device_root);
  parser.addPositionalArgument(
      QStringLiteral("LAUNCH"),
      QStringLiteral("Launch keys from a web portal: zavel-auth:u_id=ID;u_sessionkey=KEY"));
  parser.process(app);
  // From here on the program speaks English where the desktop does, else its own Korean;
  // the command line's help above stays all English.
  const zavel::app::Translations translations(
      zavel::app::programLocale(zavel::app::LocaleEnvironment::fromProcess()));

  QString auth_host = QStringLiteral("127.0.0.1");
  uint16_t auth_port = zavel::app::kAuthServerPort;
  if (parser.isSet(auth_server) && !parseServer(parser.value(auth_server), &auth_host, &auth_port))
    return usageError(QStringLiteral("--auth-server takes HOST or HOST:PORT"));
  if (parser.isSet(device_root) && !QDir(parser.value(device_root)).exists())
    return usageError(QStringLiteral("--device-root: no such folder: ") +
                      parser.value(device_root));
  if (parser.positionalArguments().size() > 1)
    return usageError(QStringLiteral("one launch text at most"));

  zavel::app::ProgramOptions options;
  options.authHost = auth_host;
  options.authPort = auth_port;
  options.deviceRoot = parser.value(device_root);
  options.launchText = parser.positionalArguments().value(0);
  // A running updater is asked to quit, its waiting new files put in place, and it starts.
  const QString here = QCoreApplication::applicationDirPath();
  zavel::app::refreshUpdater(here);
  zavel::app::Program program(options);
  if (!program.signIn()) {
    if (program.updatePending()) zavel::app::refreshUpdater(here);
    return 0;
  }
  program.showMainWindow();
  return app.exec();
}
