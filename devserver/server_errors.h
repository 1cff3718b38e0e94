// Error numbers and texts the file server puts in its replies.
#pragma once

#include <cstdint>

#include "protocol/error_numbers.h"
#include "protocol/param_record.h"

namespace zavel::devserver {

// The English text clients show for an error number the server sends; "" for others.
const char* serverErrorText(int32_t error);

// Maps a failed system call's errno to the error number of a reply.
int32_t errorFromErrno(int err);

// Fills a reply's "error" and "errstr"; error 0 marks success.
void setReplyError(ParamRecord& reply, int32_t error);

}  // namespace zavel::devserver
