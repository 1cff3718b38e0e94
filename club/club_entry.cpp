#include "club/club_entry.h"

#include <utility>

namespace zavel {

namespace {

// Built in place and never copied: the view points into the entry's own texts.
struct ClubEntryDetail {
  explicit ClubEntryDetail(ClubEntry e) : entry(std::move(e)) {
    view.itype = entry.itype;
    view.jidx = entry.jidx;
    view.jpidx = entry.jpidx;
    view.sname = entry.sname.c_str();
    view.stime = entry.stime.c_str();
    view.jsize = entry.jsize;
    view.jfilenum = entry.jfilenum;
    view.jdirnum = entry.jdirnum;
    view.setime = entry.setime.c_str();
    view.sdes = entry.sdes.c_str();
    view.jtsize = entry.jtsize;
    view.jdown = entry.jdown;
    view.icopy = entry.icopy;
  }
  ClubEntryDetail(const ClubEntryDetail&) = delete;
  ClubEntryDetail& operator=(const ClubEntryDetail&) = delete;

  ZavelClubEntry view{};
  const ClubEntry entry;
};

}  // namespace

std::shared_ptr<void> makeClubEntryDetail(ClubEntry entry) {
  auto detail = std::make_shared<ClubEntryDetail>(std::move(entry));
  // Owns the whole record, points at its public view.
  return std::shared_ptr<void>(detail, &detail->view);
}

}  // namespace zavel
