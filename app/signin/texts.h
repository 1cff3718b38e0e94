// The sign-in's user-visible texts. Each is marked for translation and shown through
// text::tr(), so a translation file can be added without touching the code.
#pragma once

#include <QCoreApplication>
#include <QString>

namespace zavel::app::text {

inline constexpr const char* kContext = "zavel";

inline QString tr(const char* source) {
  return QCoreApplication::translate(kContext, source);
}

// Transport and authentication.
inline constexpr const char* kConnectFailed = QT_TRANSLATE_NOOP("zavel", "연결 실패!");
inline constexpr const char* kBadAuthInfo =
    QT_TRANSLATE_NOOP("zavel", "잘못된 인증정보가 내려왔습니다");

// Portal lookups.
inline constexpr const char* kCannotConnect =
    QT_TRANSLATE_NOOP("zavel", "서버에 접속할수 없습니다.");
inline constexpr const char* kCommunicationError =
    QT_TRANSLATE_NOOP("zavel", "서버와 통신도중 오류가 발생하였습니다.");
inline constexpr const char* kWrongInformation =
    QT_TRANSLATE_NOOP("zavel", "잘못된 정보가 내려왔습니다.");

// Sign-in flow.
inline constexpr const char* kUnknownDomain =
    QT_TRANSLATE_NOOP("zavel", "본 서비스는 이용할 수 없는 사용자입니다.");
inline constexpr const char* kSockHandlerFailed =
    QT_TRANSLATE_NOOP("zavel", "SockHandler Initialize 실패.");
inline constexpr const char* kUserLookupFailed =
    QT_TRANSLATE_NOOP("zavel", "유저정보 가져오기를 실패하였습니다.");
inline constexpr const char* kWatchdogAuth =
    QT_TRANSLATE_NOOP("zavel", "현재 네트워크 상태를 체크하신 후 다시 접속해주십시오!(인증오류)");
inline constexpr const char* kWatchdogInfo =
    QT_TRANSLATE_NOOP("zavel", "현재 네트워크 상태를 체크하신 후 다시 접속해주십시오!");
inline constexpr const char* kQuitQuestion =
    QT_TRANSLATE_NOOP("zavel", "ZAVEL 탐색기를 종료 하시겠습니까?");
inline constexpr const char* kUpdateTitle = QT_TRANSLATE_NOOP("zavel", "ZAVEL 업데이트");
inline constexpr const char* kUpdateNotice =
    QT_TRANSLATE_NOOP("zavel",
                      "업데이트 될 항목이 있습니다.\r\n[확인]을 선택하시면 ZAVEL가 종료되며\r\n "
                      "업데이트를 시작합니다.");

// The dialog's status lines.
inline constexpr const char* kAuthStatusInitial = QT_TRANSLATE_NOOP("zavel", "인증 처리중...");
inline constexpr const char* kInfoStatusInitial = QT_TRANSLATE_NOOP("zavel", "정보 가져오는 중...");
inline constexpr const char* kAuthWorking = QT_TRANSLATE_NOOP("zavel", "인증 처리 중...");
inline constexpr const char* kInfoWorking = QT_TRANSLATE_NOOP("zavel", "디스크 정보 가져오기");
inline constexpr const char* kAuthDone = QT_TRANSLATE_NOOP("zavel", "인증 처리 완료");
inline constexpr const char* kInfoFetching = QT_TRANSLATE_NOOP("zavel", "디스크 정보 가져오기...");
inline constexpr const char* kInfoDone = QT_TRANSLATE_NOOP("zavel", "디스크 정보 가져오기 완료");

}  // namespace zavel::app::text
