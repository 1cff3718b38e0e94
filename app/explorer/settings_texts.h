// The texts of the settings dialog, the folder chooser and the large-file mail, marked for
// translation (shown through text::tr()).
#pragma once

#include "app/explorer/texts.h"

namespace zavel::app::text {

// The settings dialog.
inline constexpr const char* kSettingsTitle = QT_TRANSLATE_NOOP("zavel", "ZAVEL - 환경설정");
inline constexpr const char* kSettingsDownload = QT_TRANSLATE_NOOP("zavel", "다운로드");
inline constexpr const char* kDownloadFolderLabel =
    QT_TRANSLATE_NOOP("zavel", "▣ 파일 다운로드 폴더 :");
inline constexpr const char* kChooseFolder = QT_TRANSLATE_NOOP("zavel", "폴더선택");
inline constexpr const char* kSave = QT_TRANSLATE_NOOP("zavel", "저장");
inline constexpr const char* kApply = QT_TRANSLATE_NOOP("zavel", "적용");

// The folder chooser (titled as the settings dialog).
inline constexpr const char* kUp = QT_TRANSLATE_NOOP("zavel", "위로");
inline constexpr const char* kOk = QT_TRANSLATE_NOOP("zavel", "확인");

// The large-file mail.
inline constexpr const char* kMailTitle = QT_TRANSLATE_NOOP("zavel", "대용량메일로 보내기");
inline constexpr const char* kMailRecipient = QT_TRANSLATE_NOOP("zavel", "받을 주소:");
inline constexpr const char* kMailSenderName = QT_TRANSLATE_NOOP("zavel", "보내는 사람이름 :");
inline constexpr const char* kMailSender = QT_TRANSLATE_NOOP("zavel", "보는 사람 :");
inline constexpr const char* kMailSubject = QT_TRANSLATE_NOOP("zavel", "제목 :");
// The body field has no label; this names it for assistive technology.
inline constexpr const char* kMailBody = QT_TRANSLATE_NOOP("zavel", "본문");
inline constexpr const char* kMailSend = QT_TRANSLATE_NOOP("zavel", "전송");
inline constexpr const char* kFoldersLeftOut =
    QT_TRANSLATE_NOOP("zavel", "폴더는 메일로 보낼수 없으므로 목록에서 제외됩니다.");
inline constexpr const char* kFilesOnly = QT_TRANSLATE_NOOP(
    "zavel", "메일은 파일만 보낼수 있습니다.\r\n파일을 선택하신 후 다시 시도 해 주세요!");
inline constexpr const char* kEnterRecipient =
    QT_TRANSLATE_NOOP("zavel", "받는 사람의 메일 주소를 입력해 주십시오.");
inline constexpr const char* kMailProgramFailed =
    QT_TRANSLATE_NOOP("zavel", "메일 프로그램을 열 수 없습니다.");
// The body's lines: a file's name and grouped size; the total; the disk and its folder.
inline constexpr const char* kMailFileLine = QT_TRANSLATE_NOOP("zavel", "%1 (%2 byte)");
inline constexpr const char* kMailTotalLine = QT_TRANSLATE_NOOP("zavel", "파일 크기: %1 byte");
inline constexpr const char* kMailDiskLine = QT_TRANSLATE_NOOP("zavel", "연결된 ZAVEL : %1 %2");

}  // namespace zavel::app::text
