// The explorer's user-visible texts, marked for translation (shown through text::tr()).
#pragma once

#include "app/signin/texts.h"

namespace zavel::app::text {

inline constexpr const char* kMyDevice = QT_TRANSLATE_NOOP("zavel", "My Device");
inline constexpr const char* kAllDisks = QT_TRANSLATE_NOOP("zavel", "전체 ZAVEL 보기");

inline constexpr const char* kColumnName = QT_TRANSLATE_NOOP("zavel", "파일명");
inline constexpr const char* kColumnSize = QT_TRANSLATE_NOOP("zavel", "크기(byte)");
inline constexpr const char* kColumnType = QT_TRANSLATE_NOOP("zavel", "종류");
inline constexpr const char* kColumnDate = QT_TRANSLATE_NOOP("zavel", "날짜");
inline constexpr const char* kColumnIndex = QT_TRANSLATE_NOOP("zavel", "index");
inline constexpr const char* kFolder = QT_TRANSLATE_NOOP("zavel", "폴더");
inline constexpr const char* kFileType = QT_TRANSLATE_NOOP("zavel", "파일");
// The upper-cased extension, then " 파일".
inline constexpr const char* kFileTypeOf = QT_TRANSLATE_NOOP("zavel", "%1 파일");
inline constexpr const char* kConnected = QT_TRANSLATE_NOOP("zavel", "연결됨");
inline constexpr const char* kDisconnected = QT_TRANSLATE_NOOP("zavel", "끊김");

}  // namespace zavel::app::text

namespace zavel::app::text {

inline constexpr const char* kSelectOneClub =
    QT_TRANSLATE_NOOP("zavel", "하나의 클럽을 선택 후 연결해주십시오!");
inline constexpr const char* kNoDiskRights =
    QT_TRANSLATE_NOOP("zavel", "연결할 수 없습니다.\n디스크 권한을 가져오지 못하여습니다.");
inline constexpr const char* kZeroCapacity =
    QT_TRANSLATE_NOOP("zavel", "현재 용량이 0MB 입니다.\n용량을 신청하시겠습니까?");
// The library's error text and number: "%s(%d)".
inline constexpr const char* kListingFailed = QT_TRANSLATE_NOOP("zavel", "%1(%2)");

}  // namespace zavel::app::text

namespace zavel::app::text {

inline constexpr const char* kSortCaption = QT_TRANSLATE_NOOP("zavel", "정렬");
inline constexpr const char* kSortName = QT_TRANSLATE_NOOP("zavel", "이름");
inline constexpr const char* kSortDate = QT_TRANSLATE_NOOP("zavel", "마지막 수정일자");
inline constexpr const char* kSortSize = QT_TRANSLATE_NOOP("zavel", "크기");
inline constexpr const char* kSortType = QT_TRANSLATE_NOOP("zavel", "종류");
inline constexpr const char* kConnectButton = QT_TRANSLATE_NOOP("zavel", "연결하기");
inline constexpr const char* kDisconnectButton = QT_TRANSLATE_NOOP("zavel", "연결끊기");
inline constexpr const char* kUploadButton = QT_TRANSLATE_NOOP("zavel", "업로드 하기");
inline constexpr const char* kDownloadButton = QT_TRANSLATE_NOOP("zavel", "다운로드 하기");

}  // namespace zavel::app::text
