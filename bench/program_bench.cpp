// The program's transfers against the library's: TransferManager driving the real progress
// dialog (offscreen) moves one large file through an in-process devserver, and
// zavel_Download / zavel_Upload alone (no window, no progress) move the same bytes through
// the same server in the same run. The ratio program/library tells what the batch logic and
// the dialog cost.
//
//   zavel_bench_program [--size-mb=N] [--rounds=N]
//     default 256 MiB and 7 rounds after one warm-up round; ZAVEL_BENCH_PROGRAM_MB=N sets the size
//     as well. Other --benchmark... arguments are ignored.
#include <unistd.h>

#include <QApplication>
#include <QDir>
#include <QTemporaryDir>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "app/explorer/document.h"
#include "app/explorer/explorer_logic.h"
#include "app/explorer/file_list_model.h"
#include "app/explorer/transfer_manager.h"
#include "app/signin/portal_lookups.h"
#include "app/ui/qt_transfer_ui.h"
#include "bench/bench_support.h"
#include "devserver/config.h"
#include "devserver/dev_server.h"
#include "devserver/seed_demo.h"
#include "zavelsdk.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using zavel::app::ExplorerLogic;
using zavel::app::kColName;

constexpr const char* kFileName = "big.bin";
constexpr const char* kUpFolder = "up";

// Says yes to every question; a message is only shown on stderr, as it means a round failed.
class YesPrompter : public zavel::app::Prompter {
 public:
  void inform(const QString& text, zavel::app::PromptIcon) override {
    std::fprintf(stderr, "program bench: message: %s\n", qPrintable(text));
  }
  bool confirm(const QString&, zavel::app::PromptIcon) override { return true; }
  bool askYesNo(const QString&, zavel::app::PromptIcon) override { return true; }
  void informTitled(const QString&, const QString& text, zavel::app::PromptIcon icon) override {
    inform(text, icon);
  }
};

// The offscreen platform warns at every dialog shown that it cannot pass size hints on.
QtMessageHandler g_qt_messages = nullptr;
void quietMessages(QtMsgType type, const QMessageLogContext& context, const QString& text) {
  if (!text.contains(QLatin1String("propagateSizeHints"))) g_qt_messages(type, context, text);
}

using zavel::bench::writeSource;

uint64_t sizeOf(const fs::path& path) {
  std::error_code ec;
  const uintmax_t size = fs::file_size(path, ec);
  return ec ? 0 : static_cast<uint64_t>(size);
}

void removeFile(const fs::path& path) {
  std::error_code ec;
  fs::remove(path, ec);
}

// Each timed run starts with the earlier runs' bytes on the disk, so that their write-back
// does not land in its time.
double secondsOf(const std::function<void()>& run) {
  ::sync();
  const auto start = Clock::now();
  run();
  return std::chrono::duration<double>(Clock::now() - start).count();
}

int rowNamed(zavel::app::FileListModel& model, const QString& name) {
  for (int row = 0; row < model.rowCount(); ++row)
    if (model.cell(row, kColName) == name) return row;
  return -1;
}

using zavel::bench::median;
using zavel::bench::option;

// The demo service in a fresh folder, its personal disk made large enough for the source
// and both uploaded copies.
bool prepareData(const fs::path& data, uint64_t sizeMb, std::string* error) {
  zavel::devserver::Config config;
  const fs::path file = data / zavel::devserver::kConfigFileName;
  if (!zavel::devserver::seedDemoIfEmpty(data, error) ||
      !zavel::devserver::loadConfig(file, &config, error))
    return false;
  for (auto& account : config.accounts)
    for (auto& disk : account.disks)
      if (disk.personal() && disk.diskid == zavel::devserver::kDemoAccount)
        disk.quota_mb = std::max<uint64_t>(disk.quota_mb, sizeMb * 3 + 256);
  return zavel::devserver::saveConfig(file, config, error);
}

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  g_qt_messages = qInstallMessageHandler(quietMessages);
  uint64_t size_mb = 256;
  if (const char* env = getenv("ZAVEL_BENCH_PROGRAM_MB")) size_mb = std::strtoull(env, nullptr, 10);
  size_mb = option(argc, argv, "size-mb", size_mb);
  const uint64_t rounds = std::max<uint64_t>(1, option(argc, argv, "rounds", 7));
  const uint64_t size = size_mb << 20;
  if (size == 0) {
    std::fprintf(stderr, "program bench: size must be at least 1 MiB\n");
    return 2;
  }

  // In memory where the machine has it, so that the disk's writeback does not swing the
  // figures: what is measured is the program's cost. ZAVEL_BENCH_DIR chooses another place.
  QString base = qEnvironmentVariable("ZAVEL_BENCH_DIR");
  if (base.isEmpty()) base = QDir("/dev/shm").exists() ? "/dev/shm" : QDir::tempPath();
  QTemporaryDir data_dir(base + "/zavel-bench-program-XXXXXX");
  QTemporaryDir device_dir(base + "/zavel-bench-device-XXXXXX");
  if (!data_dir.isValid() || !device_dir.isValid()) return 1;
  const fs::path data = data_dir.path().toStdString();
  const fs::path device = device_dir.path().toStdString();
  const fs::path disk = data / zavel::devserver::kDisksFolderName / "demo";
  std::string error;
  // A first start seeds the demo disks and clubs; the second serves the larger quota.
  {
    zavel::devserver::DevServerOptions seed;
    seed.data_dir = data;
    seed.seed_demo = true;
    seed.useFreePorts();
    zavel::devserver::DevServer seeder(seed);
    if (!seeder.start(&error)) {
      std::fprintf(stderr, "program bench: devserver: %s\n", error.c_str());
      return 1;
    }
  }
  std::error_code ec;
  fs::create_directories(disk / kUpFolder, ec);
  if (!prepareData(data, size_mb, &error) || !writeSource(disk / kFileName, size) || ec) {
    std::fprintf(stderr, "program bench: cannot prepare %s: %s\n", data.c_str(), error.c_str());
    return 1;
  }
  zavel::devserver::DevServerOptions options;
  options.data_dir = data;
  options.useFreePorts();
  zavel::devserver::DevServer server(options);
  if (!server.start(&error)) {
    std::fprintf(stderr, "program bench: devserver: %s\n", error.c_str());
    return 1;
  }

  // Signing in and opening "My zavel" as the program does.
  YesPrompter prompter;
  zavel::app::LoginInfo login;
  login.id = "demo";
  login.domain = "@zavel.net";
  zavel::app::PortalLookups lookups(prompter, login);
  lookups.setPortalServer({"127.0.0.1", server.portalPort()});
  lookups.setOctaServer({"127.0.0.1", server.listPort()});
  zavel::app::Document document(login, lookups, prompter);
  document.setOctaServer({"127.0.0.1", server.listPort()});
  document.setFileServerPort(server.filePort());
  ExplorerLogic explorer(document, prompter, device_dir.path());
  if (lookups.userByIdDomain().isEmpty() || lookups.diskList() < 1) return 1;
  explorer.showDisks();
  const int own = rowNamed(explorer.remote(), zavel::app::Document::kOwnDiskName);
  if (own < 0 || !explorer.connectSelected({own})) {
    std::fprintf(stderr, "program bench: cannot open %s\n", zavel::app::Document::kOwnDiskName);
    return 1;
  }
  explorer.fillLocal(QString());
  zavel::app::QtTransferUi ui(nullptr, {});
  zavel::app::VolumeFreeSpace space;
  zavel::app::TransferManager manager(explorer, document, prompter, ui, space);
  ZavelSession* session = zavel_DuplicateSession(document.listing());
  if (session == nullptr) return 1;

  const fs::path lib_local = data / "lib-download.bin";
  const fs::path program_local = device / kFileName;
  const std::string remote_source = std::string("/demo/") + kFileName;
  const std::string remote_lib_up = std::string("/demo/") + kUpFolder + "/lib.bin";
  const fs::path program_up = disk / kUpFolder / kFileName;
  const fs::path lib_up = disk / kUpFolder / "lib.bin";

  auto library = [&](bool down) {
    TransferSpec what{};
    what.source = down ? remote_source.c_str() : lib_local.c_str();
    what.destination = down ? lib_local.c_str() : remote_lib_up.c_str();
    what.end = size;
    what.truncate = 1;
    int32_t ok = 0;
    const double seconds = secondsOf([&] {
      ok = down ? zavel_Download(session, &what, nullptr) : zavel_Upload(session, &what, nullptr);
    });
    const uint64_t got = sizeOf(down ? lib_local : lib_up);
    return ok == 1 && got == size ? seconds : -1.0;
  };
  auto program = [&](bool down) {
    QList<int> rows;
    if (down) {
      explorer.chooseLevel(ExplorerLogic::List::kRemote, 1);  // the disk's root
      rows << rowNamed(explorer.remote(), kFileName);
    } else {
      explorer.remoteLevels().enter(kUpFolder);
      explorer.fillRemote(explorer.remoteFolder());
      explorer.fillLocal(QString());
      rows << rowNamed(explorer.local(), kFileName);
    }
    if (rows[0] < 0) return -1.0;
    const double seconds = secondsOf([&] { down ? manager.download(rows) : manager.upload(rows); });
    return sizeOf(down ? program_local : program_up) == size ? seconds : -1.0;
  };

  struct Case {
    const char* name;
    bool down;
    std::vector<double> library, program;
    int refreshes = 0;
    double last_seconds = 0;
  };
  Case cases[] = {{"program download", true, {}, {}}, {"program upload", false, {}, {}}};
  // Library and program take turns on each case, every round; round 0 warms the caches up
  // and is not counted.
  for (uint64_t round = 0; round <= rounds; ++round) {
    for (Case& c : cases) {
      // Into fresh files each time, so that no conflict question is asked.
      removeFile(c.down ? lib_local : lib_up);
      const double lib = library(c.down);
      removeFile(c.down ? program_local : program_up);
      const int before = ui.refreshes();
      const double prog = program(c.down);
      if (lib <= 0 || prog <= 0) {
        std::fprintf(stderr, "program bench: %s failed in round %llu (library %s, program %s)\n",
                     c.name, static_cast<unsigned long long>(round + 1), lib > 0 ? "ok" : "failed",
                     prog > 0 ? "ok" : "failed");
        zavel_DestroySession(session);
        server.stop();
        return 1;
      }
      if (round == 0) continue;
      c.library.push_back(lib);
      c.program.push_back(prog);
      c.refreshes = ui.refreshes() - before;
      c.last_seconds = prog;
    }
  }

  std::printf(
      "program benchmark: %llu MiB through an in-process devserver in %s, median of %llu rounds\n",
      static_cast<unsigned long long>(size_mb), qPrintable(base),
      static_cast<unsigned long long>(rounds));
  for (const Case& c : cases) {
    const double lib = static_cast<double>(size) / median(c.library) / 1e6;
    const double prog = static_cast<double>(size) / median(c.program) / 1e6;
    std::printf("%-17s library %.1f MB/s  program %.1f MB/s  ratio %.2f\n", c.name, lib, prog,
                prog / lib);
    std::printf("  each round, MB/s (library/program):");
    for (size_t i = 0; i < c.library.size(); ++i)
      std::printf(" %.0f/%.0f", static_cast<double>(size) / c.library[i] / 1e6,
                  static_cast<double>(size) / c.program[i] / 1e6);
    std::printf("\n");
    std::printf("  last program round: %d dialog refreshes in %.2f s (%.1f a second)\n",
                c.refreshes, c.last_seconds, c.refreshes / c.last_seconds);
  }
  zavel_DestroySession(session);
  server.stop();
  return 0;
}
