<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en" sourcelanguage="ko">
<context>
    <name>zavel</name>
    <message>
        <source>ZAVEL - 환경설정</source>
        <translation>ZAVEL - Settings</translation>
    </message>
    <message>
        <source>다운로드</source>
        <translation>Download</translation>
    </message>
    <message>
        <source>▣ 파일 다운로드 폴더 :</source>
        <translation>▣ Download folder:</translation>
    </message>
    <message>
        <source>폴더선택</source>
        <translation>Choose folder</translation>
    </message>
    <message>
        <source>저장</source>
        <translation>Save</translation>
    </message>
    <message>
        <source>적용</source>
        <translation>Apply</translation>
    </message>
    <message>
        <source>위로</source>
        <translation>Up</translation>
    </message>
    <message>
        <source>확인</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>대용량메일로 보내기</source>
        <translation>Send as large-file mail</translation>
    </message>
    <message>
        <source>받을 주소:</source>
        <translation>To:</translation>
    </message>
    <message>
        <source>보내는 사람이름 :</source>
        <translation>Sender&apos;s name:</translation>
    </message>
    <message>
        <source>보는 사람 :</source>
        <translation>From:</translation>
    </message>
    <message>
        <source>제목 :</source>
        <translation>Subject:</translation>
    </message>
    <message>
        <source>본문</source>
        <translation>Message</translation>
    </message>
    <message>
        <source>전송</source>
        <translation>Send</translation>
    </message>
    <message>
        <source>폴더는 메일로 보낼수 없으므로 목록에서 제외됩니다.</source>
        <translation>Folders cannot be sent by mail, so they are left out of the list.</translation>
    </message>
    <message>
        <source>메일은 파일만 보낼수 있습니다.<byte value="xd"/>
파일을 선택하신 후 다시 시도 해 주세요!</source>
        <translation>Only files can be sent by mail.<byte value="xd"/>
Please select files and try again.</translation>
    </message>
    <message>
        <source>받는 사람의 메일 주소를 입력해 주십시오.</source>
        <translation>Please enter the recipient&apos;s mail address.</translation>
    </message>
    <message>
        <source>메일 프로그램을 열 수 없습니다.</source>
        <translation>The mail program could not be opened.</translation>
    </message>
    <message>
        <source>%1 (%2 byte)</source>
        <translation>%1 (%2 bytes)</translation>
    </message>
    <message>
        <source>파일 크기: %1 byte</source>
        <translation>File size: %1 bytes</translation>
    </message>
    <message>
        <source>연결된 ZAVEL : %1 %2</source>
        <translation>Connected ZAVEL: %1 %2</translation>
    </message>
    <message>
        <source>연결</source>
        <translation>Connection</translation>
    </message>
    <message>
        <source>파일</source>
        <translation>File</translation>
    </message>
    <message>
        <source>로그인</source>
        <translation>Log in</translation>
    </message>
    <message>
        <source>다른 이름으로 로그인</source>
        <translation>Log in as another user</translation>
    </message>
    <message>
        <source>로그아웃</source>
        <translation>Log out</translation>
    </message>
    <message>
        <source>연결끊기</source>
        <translation>Disconnect</translation>
    </message>
    <message>
        <source>종료</source>
        <translation>Exit</translation>
    </message>
    <message>
        <source>용량보기</source>
        <translation>Disk usage</translation>
    </message>
    <message>
        <source>새 폴더 만들기</source>
        <translation>New folder</translation>
    </message>
    <message>
        <source>모두 선택 하기</source>
        <translation>Select all</translation>
    </message>
    <message>
        <source>버전 보기</source>
        <translation>Version</translation>
    </message>
    <message>
        <source>환경설정</source>
        <translation>Settings</translation>
    </message>
    <message>
        <source>다운로드 폴더 열기</source>
        <translation>Open download folder</translation>
    </message>
    <message>
        <source>새로고침</source>
        <translation>Refresh</translation>
    </message>
    <message>
        <source>새폴더</source>
        <translation>New folder</translation>
    </message>
    <message>
        <source>삭제</source>
        <translation>Delete</translation>
    </message>
    <message>
        <source>ZAVEL 열기</source>
        <translation>Open ZAVEL</translation>
    </message>
    <message>
        <source>ZAVEL 종료</source>
        <translation>Exit ZAVEL</translation>
    </message>
    <message>
        <source>ZAVEL</source>
        <translation>ZAVEL</translation>
    </message>
    <message>
        <source>로그아웃 하시겠습니까?</source>
        <translation>Do you want to log out?</translation>
    </message>
    <message>
        <source>로그아웃 후에 다른 이름으로 로그인 하시겠습니까?</source>
        <translation>Do you want to log out and log in as another user?</translation>
    </message>
    <message>
        <source>%1
총용량: %2
사용량: %3
남은 용량:%4</source>
        <translation>%1
Total: %2
Used: %3
Free: %4</translation>
    </message>
    <message>
        <source>버전 정보</source>
        <translation>Version information</translation>
    </message>
    <message>
        <source>ZAVEL Version 3.3.0</source>
        <translation>ZAVEL Version 3.3.0</translation>
    </message>
    <message>
        <source>My Device</source>
        <translation>My Device</translation>
    </message>
    <message>
        <source>전체 ZAVEL 보기</source>
        <translation>All ZAVEL disks</translation>
    </message>
    <message>
        <source>파일명</source>
        <translation>Name</translation>
    </message>
    <message>
        <source>크기(byte)</source>
        <translation>Size (bytes)</translation>
    </message>
    <message>
        <source>종류</source>
        <translation>Type</translation>
    </message>
    <message>
        <source>날짜</source>
        <translation>Date</translation>
    </message>
    <message>
        <source>index</source>
        <translation>index</translation>
    </message>
    <message>
        <source>폴더</source>
        <translation>Folder</translation>
    </message>
    <message>
        <source>%1 파일</source>
        <translation>%1 file</translation>
    </message>
    <message>
        <source>연결됨</source>
        <translation>Connected</translation>
    </message>
    <message>
        <source>끊김</source>
        <translation>Disconnected</translation>
    </message>
    <message>
        <source>하나의 클럽을 선택 후 연결해주십시오!</source>
        <translation>Please select one club, then connect.</translation>
    </message>
    <message>
        <source>연결할 수 없습니다.
디스크 권한을 가져오지 못하여습니다.</source>
        <translation>Cannot connect.
Your rights on the disk could not be read.</translation>
    </message>
    <message>
        <source>현재 용량이 0MB 입니다.
용량을 신청하시겠습니까?</source>
        <translation>Your disk space is 0 MB.
Do you want to apply for space?</translation>
    </message>
    <message>
        <source>이 ZAVEL에서 이 작업을 할 권한이 없습니다.</source>
        <translation>You do not have permission to do this on this ZAVEL.</translation>
    </message>
    <message>
        <source>%1(%2)</source>
        <translation>%1(%2)</translation>
    </message>
    <message>
        <source>정렬</source>
        <translation>Sort</translation>
    </message>
    <message>
        <source>이름</source>
        <translation>Name</translation>
    </message>
    <message>
        <source>마지막 수정일자</source>
        <translation>Date modified</translation>
    </message>
    <message>
        <source>크기</source>
        <translation>Size</translation>
    </message>
    <message>
        <source>연결하기</source>
        <translation>Connect</translation>
    </message>
    <message>
        <source>업로드 하기</source>
        <translation>Upload</translation>
    </message>
    <message>
        <source>다운로드 하기</source>
        <translation>Download</translation>
    </message>
    <message>
        <source>새 폴더</source>
        <translation>New folder</translation>
    </message>
    <message>
        <source>새 폴더 (%1)</source>
        <translation>New folder (%1)</translation>
    </message>
    <message>
        <source>새 폴더를 만드는데 오류가 발생하였습니다</source>
        <translation>An error occurred while creating the new folder.</translation>
    </message>
    <message>
        <source>&quot;%1&quot; 에 디렉토리를 만들 수 없습니다.</source>
        <translation>Cannot create a folder in &quot;%1&quot;.</translation>
    </message>
    <message>
        <source>파일이름에 다음 문자가 올 수 없습니다.
	\ / : * ? &quot; &lt; &gt; |</source>
        <translation>A file name cannot contain any of these characters:
	\ / : * ? &quot; &lt; &gt; |</translation>
    </message>
    <message>
        <source>지정한 이름을 가진 폴더가 존재합니다.</source>
        <translation>A folder with that name already exists.</translation>
    </message>
    <message>
        <source>지정한 이름을 가진 파일이 존재합니다.</source>
        <translation>A file with that name already exists.</translation>
    </message>
    <message>
        <source>해당폴더에 접근할수 없습니다.</source>
        <translation>The folder cannot be accessed.</translation>
    </message>
    <message>
        <source>해당파일에 접근할수 없습니다.</source>
        <translation>The file cannot be accessed.</translation>
    </message>
    <message>
        <source>해당폴더를 변경하는도중 문제가 발생했습니다.</source>
        <translation>A problem occurred while changing the folder.</translation>
    </message>
    <message>
        <source>해당파일를 변경하는도중 문제가 발생했습니다.</source>
        <translation>A problem occurred while changing the file.</translation>
    </message>
    <message>
        <source>해당 폴더와 폴더 내의 모든 파일을 삭제하시겠습니까?</source>
        <translation>Do you want to delete this folder and all the files in it?</translation>
    </message>
    <message>
        <source>해당 파일을 삭제하시겠습니까?</source>
        <translation>Do you want to delete this file?</translation>
    </message>
    <message>
        <source>선택된 모든 항목을 삭제하시겠습니까?</source>
        <translation>Do you want to delete all the selected items?</translation>
    </message>
    <message>
        <source>새폴더 만들기</source>
        <translation>New folder</translation>
    </message>
    <message>
        <source>모두 선택하기</source>
        <translation>Select all</translation>
    </message>
    <message>
        <source>삭제하기</source>
        <translation>Delete</translation>
    </message>
    <message>
        <source>이름 바꾸기</source>
        <translation>Rename</translation>
    </message>
    <message>
        <source>현재 선택되어 있는 ZAVEL의 연결을 끊으시겠습니까?</source>
        <translation>Do you want to disconnect the selected ZAVEL?</translation>
    </message>
    <message>
        <source>하나의 ZAVEL를 선택 후 연결을 끊어주십시오</source>
        <translation>Please select one ZAVEL, then disconnect.</translation>
    </message>
    <message>
        <source>%s / %s byte</source>
        <translation>%s / %s bytes</translation>
    </message>
    <message>
        <source>%5.2f k/s</source>
        <translation>%5.2f KB/s</translation>
    </message>
    <message>
        <source>%d초</source>
        <translation>%d s</translation>
    </message>
    <message>
        <source>%d분 %d초</source>
        <translation>%d min %d s</translation>
    </message>
    <message>
        <source>%d시간 %d분 %d초</source>
        <translation>%d h %d min %d s</translation>
    </message>
    <message>
        <source>%3.0f %%</source>
        <translation>%3.0f %%</translation>
    </message>
    <message>
        <source>%s / %s</source>
        <translation>%s / %s</translation>
    </message>
    <message>
        <source>파일을 업로드하는 중 입니다. 업로드 작업을 취소하시겠습니까?</source>
        <translation>Files are being uploaded. Do you want to cancel the upload?</translation>
    </message>
    <message>
        <source>파일을 다운로드하는 중 입니다. 다운로드 작업을 취소하시겠습니까?</source>
        <translation>Files are being downloaded. Do you want to cancel the download?</translation>
    </message>
    <message>
        <source>선택된 파일이 없습니다. 먼저 다운로드 할 파일을 선택 하십시오</source>
        <translation>No files are selected. Please select the files to download first.</translation>
    </message>
    <message>
        <source>선택된 파일이 없습니다. 먼저 업로드 할 파일을 선택 하십시오</source>
        <translation>No files are selected. Please select the files to upload first.</translation>
    </message>
    <message>
        <source>PDA정보 가져오기를 실패하였습니다.</source>
        <translation>The device&apos;s information could not be read.</translation>
    </message>
    <message>
        <source>선택하신 디스크의 충분한 공간이 없습니다.</source>
        <translation>There is not enough space on the selected disk.</translation>
    </message>
    <message>
        <source>선택하신 디스크의 충분한 공간이 없습니다. 그래도 계속 진행하겠습니까?</source>
        <translation>There is not enough space on the selected disk. Do you want to continue anyway?</translation>
    </message>
    <message>
        <source>선택하신 디스크에 공간이 부족합니다.불필요한 파일을 정리해 주십시오.</source>
        <translation>The selected disk is out of space. Please delete files you no longer need.</translation>
    </message>
    <message>
        <source>
&quot;%1&quot; 이 이미 존재합니다.
덮어 쓰시겠습니까?&quot;</source>
        <translation>
&quot;%1&quot; already exists.
Do you want to overwrite it?</translation>
    </message>
    <message>
        <source>
&quot;%1&quot; 이 이미 존재합니다.
이어서 전송 하시겠습니까?&quot;</source>
        <translation>
&quot;%1&quot; already exists.
Do you want to resume the transfer?</translation>
    </message>
    <message>
        <source>다음 항목은 전송할 수 없어 제외합니다:
%1</source>
        <translation>These items cannot be transferred and are left out:
%1</translation>
    </message>
    <message>
        <source>%1 (사용할 수 없는 이름)</source>
        <translation>%1 (name not allowed)</translation>
    </message>
    <message>
        <source>%1 (경로가 너무 깁니다)</source>
        <translation>%1 (path too long)</translation>
    </message>
    <message>
        <source>외 %1개</source>
        <translation>and %1 more</translation>
    </message>
    <message>
        <source>&quot;%1&quot; 파일을 읽을 수 없습니다.</source>
        <translation>The file &quot;%1&quot; cannot be read.</translation>
    </message>
    <message>
        <source>연결된 ZAVEL :</source>
        <translation>Connected ZAVEL:</translation>
    </message>
    <message>
        <source>업로드 파일명: </source>
        <translation>Uploading: </translation>
    </message>
    <message>
        <source>다운로드 파일명: </source>
        <translation>Downloading: </translation>
    </message>
    <message>
        <source>파일 크기:</source>
        <translation>File size:</translation>
    </message>
    <message>
        <source>전송 속도:</source>
        <translation>Speed:</translation>
    </message>
    <message>
        <source>남은 시간:</source>
        <translation>Time left:</translation>
    </message>
    <message>
        <source>진행 상태:</source>
        <translation>Progress:</translation>
    </message>
    <message>
        <source>연결이 끊겨 다시 연결하는 중입니다 (%1/%2)</source>
        <translation>Connection lost, reconnecting (%1/%2)</translation>
    </message>
    <message>
        <source>이어쓸 부분이 원본과 달라 처음부터 다시 전송한 파일이 있습니다.
%1</source>
        <translation>Some files were sent again from the start, because the part already there differed from the original:
%1</translation>
    </message>
    <message>
        <source>취소</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>완료</source>
        <translation>Done</translation>
    </message>
    <message>
        <source>닫기</source>
        <translation>Close</translation>
    </message>
    <message>
        <source>폴더 열기</source>
        <translation>Open folder</translation>
    </message>
    <message>
        <source>이어쓰기</source>
        <translation>Resume</translation>
    </message>
    <message>
        <source>덮어쓰기</source>
        <translation>Overwrite</translation>
    </message>
    <message>
        <source>모든파일에 적용</source>
        <translation>Apply to all files</translation>
    </message>
    <message>
        <source>연결 실패!</source>
        <translation>Connection failed.</translation>
    </message>
    <message>
        <source>잘못된 인증정보가 내려왔습니다</source>
        <translation>The server sent invalid authentication information.</translation>
    </message>
    <message>
        <source>서버에 접속할수 없습니다.</source>
        <translation>Cannot connect to the server.</translation>
    </message>
    <message>
        <source>서버와 통신도중 오류가 발생하였습니다.</source>
        <translation>An error occurred while communicating with the server.</translation>
    </message>
    <message>
        <source>잘못된 정보가 내려왔습니다.</source>
        <translation>The server sent invalid information.</translation>
    </message>
    <message>
        <source>본 서비스는 이용할 수 없는 사용자입니다.</source>
        <translation>This user cannot use this service.</translation>
    </message>
    <message>
        <source>SockHandler Initialize 실패.</source>
        <translation>SockHandler initialization failed.</translation>
    </message>
    <message>
        <source>유저정보 가져오기를 실패하였습니다.</source>
        <translation>The user information could not be retrieved.</translation>
    </message>
    <message>
        <source>현재 네트워크 상태를 체크하신 후 다시 접속해주십시오!(인증오류)</source>
        <translation>Please check your network connection and connect again. (authentication error)</translation>
    </message>
    <message>
        <source>현재 네트워크 상태를 체크하신 후 다시 접속해주십시오!</source>
        <translation>Please check your network connection and connect again.</translation>
    </message>
    <message>
        <source>ZAVEL 탐색기를 종료 하시겠습니까?</source>
        <translation>Do you want to exit ZAVEL Explorer?</translation>
    </message>
    <message>
        <source>ZAVEL 업데이트</source>
        <translation>ZAVEL Update</translation>
    </message>
    <message>
        <source>업데이트 될 항목이 있습니다.<byte value="xd"/>
[확인]을 선택하시면 ZAVEL가 종료되며<byte value="xd"/>
 업데이트를 시작합니다.</source>
        <translation>An update is available.<byte value="xd"/>
When you choose [OK], ZAVEL closes<byte value="xd"/>
and the update starts.</translation>
    </message>
    <message>
        <source>인증 처리중...</source>
        <translation>Authenticating...</translation>
    </message>
    <message>
        <source>정보 가져오는 중...</source>
        <translation>Getting information...</translation>
    </message>
    <message>
        <source>인증 처리 중...</source>
        <translation>Authenticating...</translation>
    </message>
    <message>
        <source>디스크 정보 가져오기</source>
        <translation>Getting disk information</translation>
    </message>
    <message>
        <source>인증 처리 완료</source>
        <translation>Authentication complete</translation>
    </message>
    <message>
        <source>디스크 정보 가져오기...</source>
        <translation>Getting disk information...</translation>
    </message>
    <message>
        <source>디스크 정보 가져오기 완료</source>
        <translation>Disk information received</translation>
    </message>
    <message>
        <source>ZAVEL 탐색기</source>
        <translation>ZAVEL Explorer</translation>
    </message>
    <message>
        <source>아이디</source>
        <translation>ID</translation>
    </message>
    <message>
        <source>@</source>
        <translation>@</translation>
    </message>
    <message>
        <source>도메인명</source>
        <translation>Domain</translation>
    </message>
    <message>
        <source>비밀번호</source>
        <translation>Password</translation>
    </message>
    <message>
        <source>비밀번호 저장</source>
        <translation>Save password</translation>
    </message>
    <message>
        <source>자동 접속</source>
        <translation>Log in automatically</translation>
    </message>
    <message>
        <source>접속정보 삭제</source>
        <translation>Forget this account</translation>
    </message>
    <message>
        <source>다운로드 완료</source>
        <translation>Download complete</translation>
    </message>
    <message>
        <source>업로드 완료</source>
        <translation>Upload complete</translation>
    </message>
    <message>
        <source>다운로드 실패</source>
        <translation>Download failed</translation>
    </message>
    <message>
        <source>업로드 실패</source>
        <translation>Upload failed</translation>
    </message>
    <message>
        <source>%1개 파일을 다운로드했습니다</source>
        <translation>Downloaded %1 file(s)</translation>
    </message>
    <message>
        <source>%1개 파일을 업로드했습니다</source>
        <translation>Uploaded %1 file(s)</translation>
    </message>
    <message>
        <source>오류로 멈췄습니다. %2개 파일 중 %1개를 다운로드했습니다</source>
        <translation>Stopped by an error. Downloaded %1 of %2 files</translation>
    </message>
    <message>
        <source>오류로 멈췄습니다. %2개 파일 중 %1개를 업로드했습니다</source>
        <translation>Stopped by an error. Uploaded %1 of %2 files</translation>
    </message>
    <message>
        <source>폴더: %1</source>
        <translation>Folder: %1</translation>
    </message>
</context>
</TS>
