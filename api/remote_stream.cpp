// The R family's stdio-like streams: the server keeps the stream, the handle keeps the
// position the client believes in and sends it along.
#include <limits>
#include <memory>

#include "api/remote_dispatch.h"

namespace zavel {
namespace {

void advance(RStreamHandle& stream, int64_t count) {
  if (__builtin_add_overflow(stream.position, count, &stream.position))
    stream.position = std::numeric_limits<int64_t>::max();
}

// The server's position of the stream, asked on the call's session.
bool askPosition(RStreamHandle& stream, RemoteCall& call, int64_t* position) {
  setStreamParams(call.begin("llf_ftell"), stream);
  if (!call.transact()) return false;
  call.reply().getInt64("size", position);
  return true;
}

}  // namespace
}  // namespace zavel

using zavel::ParamRecord;
using zavel::RemoteCall;

extern "C" {

RStreamHandle* RFopen(const char* filename, const char* mode, ZavelSession* session) {
  return zavel::onSession(session, static_cast<RStreamHandle*>(nullptr),
                          [&](RemoteCall& call) -> RStreamHandle* {
                            ParamRecord& request = call.begin("llf_fopen");
                            request.setString("filename", filename);
                            request.setString("mode", mode);
                            if (!call.transact()) return nullptr;
                            auto stream = std::make_unique<RStreamHandle>();
                            stream->fp = -1;
                            call.reply().getInt32("fp", &stream->fp);
                            stream->filename = filename;
                            stream->mode = mode;
                            stream->position = 0;
                            stream->session = session;
                            return zavel::openStreams().add(std::move(stream));
                          });
}

int32_t RFwrite(RStreamHandle* stream, const void* buffer, int32_t size) {
  return zavel::onHandle(zavel::openStreams(), stream, -1, [&](RStreamHandle& s, RemoteCall& call) {
    if (size < 0 || (buffer == nullptr && size > 0)) {
      zavel::setLastError(zavel::kErrWrongParameter);
      return -1;
    }
    ParamRecord& request = call.begin("llf_fwrite");
    zavel::setStreamParams(request, s);
    request.setInt32("size", size);
    request.setBinary("data", buffer, static_cast<uint32_t>(size));
    if (!call.transact()) return -1;
    int32_t written = -1;
    call.reply().getInt32("size", &written);
    if (written < 0 || written > size) return -1;
    zavel::advance(s, written);
    return written;
  });
}

int32_t RFread(RStreamHandle* stream, void* buffer, uint32_t size) {
  return zavel::onHandle(zavel::openStreams(), stream, -1, [&](RStreamHandle& s, RemoteCall& call) {
    if (buffer == nullptr && size > 0) {
      zavel::setLastError(zavel::kErrWrongParameter);
      return -1;
    }
    ParamRecord& request = call.begin("llf_fread");
    zavel::setStreamParams(request, s);
    request.setInt64("offset", s.position);
    request.setUInt32("size", size);
    if (!call.transact()) return -1;
    const int32_t count = zavel::copyData(call.reply(), buffer, size);
    if (count > 0) zavel::advance(s, count);
    return count;
  });
}

int32_t RFseek(RStreamHandle* stream, int64_t offset, int32_t whence) {
  return zavel::onHandle(zavel::openStreams(), stream, -1, [&](RStreamHandle& s, RemoteCall& call) {
    ParamRecord& request = call.begin("llf_fseek");
    zavel::setStreamParams(request, s);
    request.setInt64("offsetex", s.position);
    request.setInt64("offset", offset);
    request.setInt32("whence", whence);
    if (!call.transact()) return -1;
    int32_t answer = -1;
    call.reply().getInt32("size", &answer);
    if (answer != 0) return answer;
    if (whence == 0) {
      s.position = offset;
      return 0;
    }
    // Relative to where the server stands or to the end: only the server knows the result.
    int64_t position = s.position;
    if (!zavel::askPosition(s, call, &position)) return -1;
    s.position = position;
    return 0;
  });
}

int32_t RRewind(RStreamHandle* stream) {
  return RFseek(stream, 0, 0) == 0 ? 1 : 0;
}

int32_t RFtell(RStreamHandle* stream, int64_t* position) {
  return zavel::onHandle(zavel::openStreams(), stream, 0, [&](RStreamHandle& s, RemoteCall& call) {
    int64_t at = position != nullptr ? *position : 0;
    if (!zavel::askPosition(s, call, &at)) return 0;
    if (position != nullptr) *position = at;
    return 1;
  });
}

int32_t RFclose(RStreamHandle* stream) {
  return zavel::closeHandle(
      zavel::openStreams(), stream, "llf_fclose",
      [](ParamRecord& request, const RStreamHandle& s) { zavel::setStreamParams(request, s); });
}

}  // extern "C"
