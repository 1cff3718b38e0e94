// The widgets' own texts: titles, labels and buttons.
#pragma once

#include "app/explorer/texts.h"

namespace zavel::app::text {

inline constexpr const char* kMessageTitle = QT_TRANSLATE_NOOP("zavel", "ZAVEL");
inline constexpr const char* kExplorerTitle = QT_TRANSLATE_NOOP("zavel", "ZAVEL 탐색기");

// The sign-in dialog.
inline constexpr const char* kIdLabel = QT_TRANSLATE_NOOP("zavel", "아이디");
inline constexpr const char* kAtLabel = QT_TRANSLATE_NOOP("zavel", "@");
inline constexpr const char* kDomainLabel = QT_TRANSLATE_NOOP("zavel", "도메인명");
inline constexpr const char* kPasswordLabel = QT_TRANSLATE_NOOP("zavel", "비밀번호");
inline constexpr const char* kSavePassword = QT_TRANSLATE_NOOP("zavel", "비밀번호 저장");
inline constexpr const char* kAutoConnect = QT_TRANSLATE_NOOP("zavel", "자동 접속");
inline constexpr const char* kDeleteInfo = QT_TRANSLATE_NOOP("zavel", "접속정보 삭제");
inline constexpr const char* kSignInButton = QT_TRANSLATE_NOOP("zavel", "로그인");
inline constexpr const char* kCancelButton = QT_TRANSLATE_NOOP("zavel", "취소");

// The desktop notice of a batch that ended while the window was not in front.
inline constexpr const char* kNoticeDownloadDone = QT_TRANSLATE_NOOP("zavel", "다운로드 완료");
inline constexpr const char* kNoticeUploadDone = QT_TRANSLATE_NOOP("zavel", "업로드 완료");
inline constexpr const char* kNoticeDownloadFailed = QT_TRANSLATE_NOOP("zavel", "다운로드 실패");
inline constexpr const char* kNoticeUploadFailed = QT_TRANSLATE_NOOP("zavel", "업로드 실패");
// The number of files.
inline constexpr const char* kNoticeDownloaded =
    QT_TRANSLATE_NOOP("zavel", "%1개 파일을 다운로드했습니다");
inline constexpr const char* kNoticeUploaded =
    QT_TRANSLATE_NOOP("zavel", "%1개 파일을 업로드했습니다");
// The files that arrived whole, and the batch's files.
inline constexpr const char* kNoticeDownloadStopped =
    QT_TRANSLATE_NOOP("zavel", "오류로 멈췄습니다. %2개 파일 중 %1개를 다운로드했습니다");
inline constexpr const char* kNoticeUploadStopped =
    QT_TRANSLATE_NOOP("zavel", "오류로 멈췄습니다. %2개 파일 중 %1개를 업로드했습니다");
// Where the files went.
inline constexpr const char* kNoticeFolder = QT_TRANSLATE_NOOP("zavel", "폴더: %1");

}  // namespace zavel::app::text
