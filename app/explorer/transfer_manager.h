// Downloads and uploads in batches: the selected rows of one list (folders with their whole
// contents) go into the other list's current folder, one file at a time through the
// library, with the resume/overwrite question before each file that exists, a progress
// dialog, and a cancel. Everything runs on the UI thread; each progress report lets pending
// events through so the dialog's buttons work during a transfer.
#pragma once

#include <QObject>
#include <QString>
#include <QStringList>
#include <array>
#include <functional>
#include <optional>
#include <vector>

#include "app/explorer/explorer_logic.h"
#include "app/explorer/frame_window.h"
#include "app/explorer/transfer_progress.h"
#include "client/retry.h"

namespace zavel::app {

// One folder to create or file to copy.
struct TransferItem {
  QString name;  // relative to the batch's folders, as messages show it
  uint64_t size = 0;
  bool folder = false;
  QString remote;  // the remote path or club key
  QString local;   // the local path as the dialog shows it (device form inside My Device)
  QString host;    // the local path on the host
};

// How a batch that ran ended: what a notice of it says.
struct BatchOutcome {
  bool download = true;
  int files = 0;      // the batch's files (folders are not counted)
  int filesDone = 0;  // the files that arrived whole
  bool failed = false;
  bool cancelled = false;  // the user cancelled or closed the progress dialog
  QString folder;          // where the files went: a download's host folder, an upload's disk path
};

// The free bytes of the volume holding a host folder; none when it cannot be told.
class FreeSpace {
 public:
  virtual ~FreeSpace() = default;
  virtual std::optional<uint64_t> bytesFree(const QString& hostFolder) = 0;
};

// The device's answer: the volume's bytes available to this user.
class VolumeFreeSpace : public FreeSpace {
 public:
  std::optional<uint64_t> bytesFree(const QString& hostFolder) override;
};

// The dialogs of a batch, as the logic sees them.
class TransferUi {
 public:
  enum class Question { kResume, kOverwrite };
  enum class Answer { kResume, kOverwrite, kSkip };
  struct Choice {
    Answer answer = Answer::kSkip;
    bool applyToAll = false;
  };

  virtual ~TransferUi() = default;
  // The conflict dialog; closing it is kSkip.
  virtual Choice ask(Question question, const QString& text) = 0;
  // The conflict dialog's no-space form; true when the user asked to see the capacity.
  virtual bool showNoSpace(const QString& text) = 0;
  // Opens the progress dialog on the batch's state; its cancel calls `cancel`.
  virtual void openProgress(ProgressState& state, std::function<void()> cancel) = 0;
  // False once the user has closed the dialog (which also ends the batch).
  virtual bool progressOpen() const = 0;
  // The state changed. With `now` the dialog shows it at once; otherwise it may wait, so
  // that it repaints no more than about 10 times a second.
  virtual void showProgress(bool now) = 0;
  virtual void closeProgress() = 0;
  // Handles the events that are waiting (the dialog's buttons among them).
  virtual void letEventsThrough() = 0;
};

class TransferManager : public QObject {
  Q_OBJECT

 public:
  static constexpr uint32_t kUploadMessage = 2074;
  static constexpr uint32_t kDownloadMessage = 2075;
  // The transfer record's path buffers hold 511 bytes and a NUL.
  static constexpr qsizetype kMaxPathBytes = 511;

  TransferManager(ExplorerLogic& explorer, Document& document, Prompter& prompter, TransferUi& ui,
                  FreeSpace& space);

  // The selected remote rows into the local list's folder.
  void download(const QList<int>& rows);
  // The selected local rows, and files or folders of the host (dropped from the desktop),
  // into the remote list's folder.
  void upload(const QList<int>& rows, const QStringList& hostPaths = {});

  bool running() const { return running_; }
  // The download folder (device form): the stored one at first, then the folder each
  // download batch went to.
  const QString& downloadFolder() const { return download_folder_; }
  void setDownloadFolder(const QString& folder) { download_folder_ = folder; }
  const ProgressState& progress() const { return progress_; }
  // How a file whose connection drops is tried again.
  void setRetryPolicy(const client::RetryPolicy& policy) { retry_policy_ = policy; }
  // The current batch's list; empty between batches.
  const std::vector<TransferItem>& items() const { return items_; }
  // Where the library sends its progress reports.
  ZavelWindow* window() { return &window_; }
  // The progress dialog's cancel: asks while the batch runs, closes after it.
  void requestCancel();

 signals:
  void batchStarted();
  void batchFinished();
  // A batch that got as far as moving files has ended; before any message about a failure,
  // so that a notice of it goes out while the message waits for the user.
  void batchEnded(const BatchOutcome& outcome);
  // The no-space form's "용량보기".
  void capacityRequested();
  // A disk of 0 MB whose user did not apply for capacity.
  void disconnectRequested();

 private:
  enum class Direction { kDownload, kUpload };
  enum Result { kFailed = 0, kDone = 1, kSkipped = 2 };
  class Batch;

  intptr_t onProgress(uint32_t message, intptr_t lparam);
  QString displayPath() const;
  // The local folder a batch's levels are below: on the host, and in device form when it
  // is inside My Device.
  struct LocalBase {
    QString host;
    std::optional<QString> device;
  };

  void run(Direction direction);
  // Adds an item whose local path is `levels` below `base`, after checking every level and
  // both path lengths; false when it is left out (and noted for the message).
  bool add(TransferItem item, const LocalBase& base, const QStringList& levels);
  void leaveOut(const QString& name, const char* why);
  void tellLeftOut();
  void listRemote(const QString& listed, const LocalBase& base, const QStringList& levels,
                  bool club, int depth);
  void listLocal(const LocalBase& base, const QStringList& levels, const QString& remoteFolder,
                 int depth);
  bool reportFailure(Direction direction);
  QString clubFolderKey(const QString& parent, const QString& name);
  std::optional<uint64_t> startOf(int64_t sourceSize, int64_t targetSize, const QString& name);
  Result transferOne(Direction direction, ZavelSession* session, const TransferItem& item);
  void noSpace();

  ExplorerLogic& explorer_;
  Document& document_;
  Prompter& prompter_;
  TransferUi& ui_;
  FreeSpace& space_;
  FrameWindow window_;
  ProgressState progress_;
  std::vector<TransferItem> items_;
  uint64_t total_ = 0;
  QString failure_;      // the last failed file's error text
  QString target_host_;  // a download's local folder on the host
  QStringList left_out_;
  // The remembered answers of the resume and overwrite questions, for one batch.
  std::array<std::optional<TransferUi::Answer>, 2> remembered_;
  QString download_folder_;
  client::RetryPolicy retry_policy_;
  QStringList restarted_;  // files of the batch sent again from their start
  bool running_ = false;
};

}  // namespace zavel::app
