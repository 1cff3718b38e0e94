/* Lists a folder of a personal disk: name, size and date of every entry.
 *
 *   list_folder host port user [password] [folder]
 *
 * Without a folder it lists the one the server gives at sign-on. */
#include <stdio.h>
#include <stdlib.h>
#include <zavelsdk.h>

int main(int argc, char** argv) {
  if (argc < 4) {
    fprintf(stderr, "usage: %s host port user [password] [folder]\n", argv[0]);
    return 2;
  }
  const char* password = argc > 4 ? argv[4] : NULL;
  ZavelSession* session =
      zavel_CreateSession(argv[1], (uint32_t)strtoul(argv[2], NULL, 10), argv[3], password, 10000);
  if (session == NULL) {
    fprintf(stderr, "sign-on failed: %d %s\n", zavel_GetLastError(), zavel_GetLastErrStr());
    return 1;
  }
  const char* folder = argc > 5 ? argv[5] : zavel_GetSessionPath(session);

  int32_t count = 0;
  ZavelFileInfoList* list = zavel_OpenFileInfo(folder, ZAVEL_INFO_ALL, 1, &count, session);
  if (list == NULL) {
    fprintf(stderr, "listing failed: %d %s\n", zavel_GetLastError(), zavel_GetLastErrStr());
    zavel_DestroySession(session);
    return 1;
  }
  for (int32_t i = 0; i < count; ++i) {
    const ZavelFileInfo* entry = zavel_ReadFileInfo(list, i);
    printf("%-32s %14lld  %s%s\n", entry->name, (long long)entry->size, entry->date,
           entry->type == ZAVEL_TYPE_FOLDER ? "  (folder)" : "");
  }
  zavel_CloseFileInfo(list);
  zavel_DestroySession(session);
  return 0;
}
