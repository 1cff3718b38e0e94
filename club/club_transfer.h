// Club-disk transfers: the list server says where the bytes are (or shall go), a file
// server of the standard kind moves them, and an upload keeps the list server informed.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>

#include "club/list_server.h"
#include "session/transfer.h"

namespace zavel {

// What the list server hears during a club-disk upload: its progress every notify interval,
// and its end (or that it never started).
class ClubUploadHooks : public UploadHooks {
 public:
  // No request goes out for a file index of 0 or less.
  ClubUploadHooks(ZavelListSvr& list, int64_t file_index, std::string checksum,
                  uint32_t notify_seconds);

  void requestFailed(const TransferSpec& spec) override;
  void stepped(uint64_t position) override;
  void finished(uint64_t position, int32_t status) override;
  bool pauseWhenBlocked() const override { return false; }

  // Whether the list server has heard how the upload ended.
  bool settled() const { return settled_; }
  // After finished: whether the closing report went through; when not, the error state it
  // left.
  bool endReported() const { return end_reported_; }
  int32_t endError() const { return end_error_; }
  const std::string& endErrorText() const { return end_error_text_; }

  // The size an upload that never started reports.
  static int64_t abandonedSize(const TransferSpec& spec);

 private:
  ZavelListSvr& list_;
  const int64_t file_index_;
  const std::string checksum_;
  const std::chrono::seconds interval_;
  std::chrono::steady_clock::time_point last_notice_ = std::chrono::steady_clock::now();
  bool settled_ = false;
  bool end_reported_ = true;
  int32_t end_error_ = 0;
  std::string end_error_text_;
};

// Lets copies from a personal disk to a club disk prepare their destination through a
// club-disk session. Called before the first session is made; calling it again is harmless.
void installClubDestination();

}  // namespace zavel
