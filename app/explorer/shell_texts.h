// The shell's user-visible texts: menus, the command bar, the tray, the questions around
// logout and exit, the capacity message and the version dialog.
#pragma once

#include "app/signin/texts.h"

namespace zavel::app::text {

inline constexpr const char* kMenuConnection = QT_TRANSLATE_NOOP("zavel", "연결");
inline constexpr const char* kMenuFile = QT_TRANSLATE_NOOP("zavel", "파일");
inline constexpr const char* kLogin = QT_TRANSLATE_NOOP("zavel", "로그인");
inline constexpr const char* kLoginAsOther = QT_TRANSLATE_NOOP("zavel", "다른 이름으로 로그인");
inline constexpr const char* kLogout = QT_TRANSLATE_NOOP("zavel", "로그아웃");
inline constexpr const char* kMenuDisconnect = QT_TRANSLATE_NOOP("zavel", "연결끊기");
inline constexpr const char* kExit = QT_TRANSLATE_NOOP("zavel", "종료");
inline constexpr const char* kViewCapacityMenu = QT_TRANSLATE_NOOP("zavel", "용량보기");
inline constexpr const char* kMenuNewFolderItem = QT_TRANSLATE_NOOP("zavel", "새 폴더 만들기");
inline constexpr const char* kMenuSelectAllItem = QT_TRANSLATE_NOOP("zavel", "모두 선택 하기");
inline constexpr const char* kVersionMenu = QT_TRANSLATE_NOOP("zavel", "버전 보기");
inline constexpr const char* kSettingsMenu = QT_TRANSLATE_NOOP("zavel", "환경설정");
inline constexpr const char* kOpenDownloadFolder = QT_TRANSLATE_NOOP("zavel", "다운로드 폴더 열기");
inline constexpr const char* kMailMenu = QT_TRANSLATE_NOOP("zavel", "대용량메일로 보내기");

// Command bar tips.
inline constexpr const char* kTipRefresh = QT_TRANSLATE_NOOP("zavel", "새로고침");
inline constexpr const char* kTipNewFolder = QT_TRANSLATE_NOOP("zavel", "새폴더");
inline constexpr const char* kTipDelete = QT_TRANSLATE_NOOP("zavel", "삭제");

// The tray.
inline constexpr const char* kTrayOpen = QT_TRANSLATE_NOOP("zavel", "ZAVEL 열기");
inline constexpr const char* kTrayExit = QT_TRANSLATE_NOOP("zavel", "ZAVEL 종료");
inline constexpr const char* kTrayTip = QT_TRANSLATE_NOOP("zavel", "ZAVEL");

inline constexpr const char* kLogoutQuestion = QT_TRANSLATE_NOOP("zavel", "로그아웃 하시겠습니까?");
inline constexpr const char* kLogoutAsOtherQuestion =
    QT_TRANSLATE_NOOP("zavel", "로그아웃 후에 다른 이름으로 로그인 하시겠습니까?");
// Disk name, total, used, free.
inline constexpr const char* kCapacity =
    QT_TRANSLATE_NOOP("zavel", "%1\n총용량: %2\n사용량: %3\n남은 용량:%4");
inline constexpr const char* kVersionTitle = QT_TRANSLATE_NOOP("zavel", "버전 정보");
inline constexpr const char* kVersion = QT_TRANSLATE_NOOP("zavel", "ZAVEL Version 3.3.0");
inline constexpr const char* kVersionOk = QT_TRANSLATE_NOOP("zavel", "확인");

}  // namespace zavel::app::text
