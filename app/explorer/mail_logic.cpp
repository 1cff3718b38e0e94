#include "app/explorer/mail_logic.h"

#include <QSet>

#include "app/explorer/list_rows.h"
#include "app/explorer/settings_texts.h"
#include "app/explorer/transfer_progress.h"

namespace zavel::app {

MailLogic::MailLogic(const LoginInfo& login, const DiskEntry* disk, const QString& remoteFolder)
    : folder_(remoteFolder), sender_name_(login.accountKey()), sender_(login.accountKey()) {
  if (disk != nullptr) {
    disk_id_ = disk->diskid;
    disk_host_ = disk->publicip;
    disk_name_ = disk->diskname;
  }
}

bool MailLogic::collect(const FileListModel& remote, const QList<int>& selectedRows,
                        Prompter& prompter) {
  files_.clear();
  total_ = 0;
  bool folders = false;
  QSet<int> seen;
  for (int row : selectedRows) {
    if (row < 0 || row >= remote.rowCount() || seen.contains(row)) continue;
    seen.insert(row);
    const ListRow& r = remote.rows()[static_cast<size_t>(row)];
    if (isFolderRow(r)) {
      folders = true;
      continue;
    }
    const uint64_t size = QString(r.cells[kColSize]).remove(u',').toULongLong();
    files_.push_back({r.cells[kColName], size});
    total_ += size;
  }
  if (files_.empty()) {
    prompter.inform(text::tr(text::kFilesOnly), PromptIcon::kInformation);
    return false;
  }
  if (folders) prompter.inform(text::tr(text::kFoldersLeftOut), PromptIcon::kInformation);
  body_ = defaultBody();
  return true;
}

QString MailLogic::defaultBody() const {
  QStringList lines;
  for (const MailFile& f : files_)
    lines << text::tr(text::kMailFileLine).arg(f.name, groupedNumber(f.size));
  lines << QString() << text::tr(text::kMailTotalLine).arg(groupedNumber(total_));
  lines << text::tr(text::kMailDiskLine).arg(disk_name_, folder_);
  return lines.join(u'\n');
}

bool MailLogic::plausibleAddress(const QString& address) {
  // One address only: a list ("a@x; b@y") would need each address checked and is easy to get
  // wrong in the URL, and the mail program lets the user add more.
  const qsizetype at = address.indexOf(u'@');
  if (at <= 0 || at == address.size() - 1 || address.indexOf(u'@', at + 1) >= 0) return false;
  for (QChar c : address) {
    if (c.isSpace() || c.category() == QChar::Other_Control) return false;
    if (c == u'?' || c == u'&' || c == u'#' || c == u',' || c == u';') return false;
  }
  return true;
}

QUrl MailLogic::mailtoUrl() const {
  const QString to = recipient_.trimmed();
  if (!plausibleAddress(to)) return {};
  // Every character but the unreserved ones is percent-encoded, so "&", "?", "#", "+",
  // "%" and non-ASCII text in the subject or body reach the mail program as typed.
  QByteArray url = "mailto:" + QUrl::toPercentEncoding(to, "@");
  QByteArray query;
  if (!subject_.isEmpty()) query += "subject=" + QUrl::toPercentEncoding(subject_);
  QString body = body_;
  body.replace(QLatin1String("\r\n"), QLatin1String("\n")).replace(u'\n', QLatin1String("\r\n"));
  if (!body.isEmpty())
    query += (query.isEmpty() ? "" : "&") + QByteArray("body=") + QUrl::toPercentEncoding(body);
  if (!query.isEmpty()) url += '?' + query;
  return QUrl::fromEncoded(url, QUrl::StrictMode);
}

}  // namespace zavel::app
