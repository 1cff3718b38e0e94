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
// A change the member's rights on the disk do not allow.
inline constexpr const char* kNoRights =
    QT_TRANSLATE_NOOP("zavel", "이 ZAVEL에서 이 작업을 할 권한이 없습니다.");
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

namespace zavel::app::text {

inline constexpr const char* kNewFolder = QT_TRANSLATE_NOOP("zavel", "새 폴더");
inline constexpr const char* kNewFolderNumbered = QT_TRANSLATE_NOOP("zavel", "새 폴더 (%1)");
inline constexpr const char* kRemoteFolderFailed =
    QT_TRANSLATE_NOOP("zavel", "새 폴더를 만드는데 오류가 발생하였습니다");
inline constexpr const char* kLocalFolderFailed =
    QT_TRANSLATE_NOOP("zavel", "\"%1\" 에 디렉토리를 만들 수 없습니다.");
inline constexpr const char* kInvalidName =
    QT_TRANSLATE_NOOP("zavel", "파일이름에 다음 문자가 올 수 없습니다.\n\t\\ / : * ? \" < > |");
inline constexpr const char* kFolderExists =
    QT_TRANSLATE_NOOP("zavel", "지정한 이름을 가진 폴더가 존재합니다.");
inline constexpr const char* kFileExists =
    QT_TRANSLATE_NOOP("zavel", "지정한 이름을 가진 파일이 존재합니다.");
inline constexpr const char* kFolderDenied =
    QT_TRANSLATE_NOOP("zavel", "해당폴더에 접근할수 없습니다.");
inline constexpr const char* kFileDenied =
    QT_TRANSLATE_NOOP("zavel", "해당파일에 접근할수 없습니다.");
inline constexpr const char* kFolderChangeFailed =
    QT_TRANSLATE_NOOP("zavel", "해당폴더를 변경하는도중 문제가 발생했습니다.");
inline constexpr const char* kFileChangeFailed =
    QT_TRANSLATE_NOOP("zavel", "해당파일를 변경하는도중 문제가 발생했습니다.");
inline constexpr const char* kDeleteFolder =
    QT_TRANSLATE_NOOP("zavel", "해당 폴더와 폴더 내의 모든 파일을 삭제하시겠습니까?");
inline constexpr const char* kDeleteFile =
    QT_TRANSLATE_NOOP("zavel", "해당 파일을 삭제하시겠습니까?");
inline constexpr const char* kDeleteAll =
    QT_TRANSLATE_NOOP("zavel", "선택된 모든 항목을 삭제하시겠습니까?");

}  // namespace zavel::app::text

namespace zavel::app::text {

inline constexpr const char* kMenuRefresh = QT_TRANSLATE_NOOP("zavel", "새로고침");
inline constexpr const char* kMenuNewFolder = QT_TRANSLATE_NOOP("zavel", "새폴더 만들기");
inline constexpr const char* kMenuSelectAll = QT_TRANSLATE_NOOP("zavel", "모두 선택하기");
inline constexpr const char* kMenuDelete = QT_TRANSLATE_NOOP("zavel", "삭제하기");
inline constexpr const char* kMenuRename = QT_TRANSLATE_NOOP("zavel", "이름 바꾸기");

}  // namespace zavel::app::text

namespace zavel::app::text {

inline constexpr const char* kDisconnectQuestion =
    QT_TRANSLATE_NOOP("zavel", "현재 선택되어 있는 ZAVEL의 연결을 끊으시겠습니까?");
inline constexpr const char* kSelectOneToDisconnect =
    QT_TRANSLATE_NOOP("zavel", "하나의 ZAVEL를 선택 후 연결을 끊어주십시오");

}  // namespace zavel::app::text

namespace zavel::app::text {

// The progress dialog's value lines; printf formats.
inline constexpr const char* kSizeLine = QT_TRANSLATE_NOOP("zavel", "%s / %s byte");
inline constexpr const char* kSpeedLine = QT_TRANSLATE_NOOP("zavel", "%5.2f k/s");
inline constexpr const char* kSeconds = QT_TRANSLATE_NOOP("zavel", "%d초");
inline constexpr const char* kMinutes = QT_TRANSLATE_NOOP("zavel", "%d분 %d초");
inline constexpr const char* kHours = QT_TRANSLATE_NOOP("zavel", "%d시간 %d분 %d초");
inline constexpr const char* kPercent = QT_TRANSLATE_NOOP("zavel", "%3.0f %%");
inline constexpr const char* kCounter = QT_TRANSLATE_NOOP("zavel", "%s / %s");
inline constexpr const char* kCancelUpload =
    QT_TRANSLATE_NOOP("zavel", "파일을 업로드하는 중 입니다. 업로드 작업을 취소하시겠습니까?");
inline constexpr const char* kCancelDownload =
    QT_TRANSLATE_NOOP("zavel", "파일을 다운로드하는 중 입니다. 다운로드 작업을 취소하시겠습니까?");

// The batches.
inline constexpr const char* kNothingToDownload =
    QT_TRANSLATE_NOOP("zavel", "선택된 파일이 없습니다. 먼저 다운로드 할 파일을 선택 하십시오");
inline constexpr const char* kNothingToUpload =
    QT_TRANSLATE_NOOP("zavel", "선택된 파일이 없습니다. 먼저 업로드 할 파일을 선택 하십시오");
inline constexpr const char* kDeviceInfoFailed =
    QT_TRANSLATE_NOOP("zavel", "PDA정보 가져오기를 실패하였습니다.");
inline constexpr const char* kNoRoom =
    QT_TRANSLATE_NOOP("zavel", "선택하신 디스크의 충분한 공간이 없습니다.");
inline constexpr const char* kNoRoomContinue = QT_TRANSLATE_NOOP(
    "zavel", "선택하신 디스크의 충분한 공간이 없습니다. 그래도 계속 진행하겠습니까?");
inline constexpr const char* kDiskFull = QT_TRANSLATE_NOOP(
    "zavel", "선택하신 디스크에 공간이 부족합니다.불필요한 파일을 정리해 주십시오.");
// The name of the file that exists, between the quotes.
inline constexpr const char* kOverwriteQuestion =
    QT_TRANSLATE_NOOP("zavel", "\n\"%1\" 이 이미 존재합니다.\n덮어 쓰시겠습니까?\"");
inline constexpr const char* kResumeQuestion =
    QT_TRANSLATE_NOOP("zavel", "\n\"%1\" 이 이미 존재합니다.\n이어서 전송 하시겠습니까?\"");
// Items a batch leaves out: names that would leave the target folder, paths too long.
inline constexpr const char* kItemsLeftOut =
    QT_TRANSLATE_NOOP("zavel", "다음 항목은 전송할 수 없어 제외합니다:\n%1");
inline constexpr const char* kUnsafeName = QT_TRANSLATE_NOOP("zavel", "%1 (사용할 수 없는 이름)");
inline constexpr const char* kPathTooLong = QT_TRANSLATE_NOOP("zavel", "%1 (경로가 너무 깁니다)");
inline constexpr const char* kMoreItems = QT_TRANSLATE_NOOP("zavel", "외 %1개");
inline constexpr const char* kLocalFileMissing =
    QT_TRANSLATE_NOOP("zavel", "\"%1\" 파일을 읽을 수 없습니다.");

// The progress and conflict dialogs.
inline constexpr const char* kConnectedDisk = QT_TRANSLATE_NOOP("zavel", "연결된 ZAVEL :");
inline constexpr const char* kUploadName = QT_TRANSLATE_NOOP("zavel", "업로드 파일명: ");
inline constexpr const char* kDownloadName = QT_TRANSLATE_NOOP("zavel", "다운로드 파일명: ");
inline constexpr const char* kFileSize = QT_TRANSLATE_NOOP("zavel", "파일 크기:");
inline constexpr const char* kSpeed = QT_TRANSLATE_NOOP("zavel", "전송 속도:");
inline constexpr const char* kTimeLeft = QT_TRANSLATE_NOOP("zavel", "남은 시간:");
inline constexpr const char* kProgress = QT_TRANSLATE_NOOP("zavel", "진행 상태:");
// The state line while a lost connection is made again: the retry and how many there are.
inline constexpr const char* kReconnecting =
    QT_TRANSLATE_NOOP("zavel", "연결이 끊겨 다시 연결하는 중입니다 (%1/%2)");
// After a batch: files whose part at the target was not the start of the source.
inline constexpr const char* kSentAgainFromStart = QT_TRANSLATE_NOOP(
    "zavel", "이어쓸 부분이 원본과 달라 처음부터 다시 전송한 파일이 있습니다.\n%1");
inline constexpr const char* kCancel = QT_TRANSLATE_NOOP("zavel", "취소");
inline constexpr const char* kDone = QT_TRANSLATE_NOOP("zavel", "완료");
inline constexpr const char* kClose = QT_TRANSLATE_NOOP("zavel", "닫기");
inline constexpr const char* kOpenFolder = QT_TRANSLATE_NOOP("zavel", "폴더 열기");
inline constexpr const char* kResume = QT_TRANSLATE_NOOP("zavel", "이어쓰기");
inline constexpr const char* kOverwrite = QT_TRANSLATE_NOOP("zavel", "덮어쓰기");
inline constexpr const char* kApplyToAll = QT_TRANSLATE_NOOP("zavel", "모든파일에 적용");
inline constexpr const char* kViewCapacity = QT_TRANSLATE_NOOP("zavel", "용량보기");

}  // namespace zavel::app::text
