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

}  // namespace zavel::app::text
