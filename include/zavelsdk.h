/* zavelsdk: client library for the zavel network disk service.
 *
 * Conventions
 *  - Every function has C linkage. Operations return 1 for success and 0 for failure;
 *    functions that return a size return -1 (or 0xFFFFFFFF) on failure, functions that
 *    return a handle or a text return NULL.
 *  - The reason for a failure is left in the calling thread's error state: an error
 *    number (zavel_GetLastError) and an error text (zavel_GetLastErrStr). Numbers fall
 *    into families: 21xxx transport, 22xxx account and sign-on limits, 23xxx file
 *    operations, 24xxx misuse of this interface. zavel_FormatMessage gives the English
 *    message of a number ("" for numbers without one). The state is never cleared for
 *    you: set it to 0 and "" yourself when you want a clean slate. Operations that
 *    talk to a server store the server's number and text, also on success.
 *  - Texts are narrow multibyte texts (UTF-8 on Linux), NUL-terminated.
 *  - Texts and records returned by the library belong to the library and stay valid
 *    until the owning session, enumeration or handle is destroyed or closed (error texts:
 *    until the same thread's error text is written again). Never free them.
 *  - Any thread may call any function; the library starts no threads of its own and runs
 *    every operation on the caller's thread. One session serialises its own exchanges;
 *    for parallel work on one disk, duplicate the session.
 *  - Every export also has a fixed ordinal; zavel_GetExportByOrdinal returns the
 *    function for an ordinal, for callers that bind that way.
 */
#ifndef ZAVELSDK_H_
#define ZAVELSDK_H_

#include <stddef.h>
#include <stdint.h>

#if defined(ZAVELSDK_BUILD)
#define ZAVEL_EXPORT __attribute__((visibility("default")))
#else
#define ZAVEL_EXPORT
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* ---- Error state ------------------------------------------------------------------ */

/* The calling thread's error number (0 if never set). */
ZAVEL_EXPORT int32_t zavel_GetLastError(void);
/* Stores an error number for the calling thread; the error text stays as it is. */
ZAVEL_EXPORT void zavel_SetLastError(int32_t error);
/* The calling thread's error text ("" if never set). */
ZAVEL_EXPORT const char* zavel_GetLastErrStr(void);
/* Replaces the calling thread's error text with a copy of text (not NULL). */
ZAVEL_EXPORT void zavel_SetLastErrStr(const char* text);
/* The English message for an error number, "" when it has none. The text stays valid
 * until the calling thread calls zavel_FormatMessage again. */
ZAVEL_EXPORT const char* zavel_FormatMessage(int32_t error);

/* The remote file family's names for the same per-thread number. */
ZAVEL_EXPORT int32_t RGet_LastErrorNo(void);
ZAVEL_EXPORT void RSet_LastErrorNo(int32_t error);

/* ---- Binding by ordinal ----------------------------------------------------------- */

typedef void (*zavel_proc)(void);
/* The export with this ordinal, or NULL for an unused ordinal. Cast it to the export's
 * own type before calling. */
ZAVEL_EXPORT zavel_proc zavel_GetExportByOrdinal(int ordinal);

#ifdef __cplusplus
}
#endif

#endif /* ZAVELSDK_H_ */
