// The large-file mail's behaviour (command 32836): the selected remote files, the dialog's
// fields, and the mailto: URL that hands the mail to the desktop's mail program.
#pragma once

#include <QList>
#include <QString>
#include <QUrl>
#include <cstdint>
#include <vector>

#include "app/explorer/file_list_model.h"
#include "app/signin/login_info.h"
#include "app/signin/prompter.h"

namespace zavel::app {

struct MailFile {
  QString name;
  uint64_t size = 0;
};

class MailLogic {
 public:
  // The signed-in user, the connected disk (none: no disk details) and the remote folder
  // the files are in, as the explorer names it.
  MailLogic(const LoginInfo& login, const DiskEntry* disk, const QString& remoteFolder);

  // Takes the selected rows of the remote list (in file-list mode) that are files, and
  // fills the body with them. Folders are left out with a message; false, after telling
  // the user, when no file remains.
  bool collect(const FileListModel& remote, const QList<int>& selectedRows, Prompter& prompter);

  const std::vector<MailFile>& files() const { return files_; }
  uint64_t totalSize() const { return total_; }
  const QString& diskId() const { return disk_id_; }
  const QString& diskHost() const { return disk_host_; }
  const QString& diskName() const { return disk_name_; }
  const QString& remoteFolder() const { return folder_; }

  // The dialog's fields. The sender's name and address start as the user's address.
  const QString& recipient() const { return recipient_; }
  const QString& senderName() const { return sender_name_; }
  const QString& sender() const { return sender_; }
  const QString& subject() const { return subject_; }
  // Starts as the file list, the total size and the disk with its folder, one per line.
  const QString& body() const { return body_; }
  void setRecipient(const QString& text) { recipient_ = text; }
  void setSenderName(const QString& text) { sender_name_ = text; }
  void setSender(const QString& text) { sender_ = text; }
  void setSubject(const QString& text) { subject_ = text; }
  void setBody(const QString& text) { body_ = text; }

  // A single address: one "@" with text either side, no spaces, control characters or
  // characters that would end the address in a URL ("?", "&", "#", ",", ";").
  static bool plausibleAddress(const QString& address);
  // mailto: the recipient, with the subject and the body (lines ending in CR LF), every component
  // percent-encoded. Invalid when the recipient is not a plausible address. The sender's
  // fields are not in it: the mail program sends from its own account.
  QUrl mailtoUrl() const;

 private:
  QString defaultBody() const;

  QString disk_id_;
  QString disk_host_;
  QString disk_name_;
  QString folder_;
  std::vector<MailFile> files_;
  uint64_t total_ = 0;
  QString recipient_;
  QString sender_name_;
  QString sender_;
  QString subject_;
  QString body_;
};

}  // namespace zavel::app
