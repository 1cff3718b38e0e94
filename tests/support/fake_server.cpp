#include "tests/support/fake_server.h"

#include <ace/ACE.h>
#include <ace/INET_Addr.h>

#include <chrono>
#include <stdexcept>

#include "protocol/framing.h"

namespace zavel::testing {

FakeServer::FakeServer() {
  ACE_INET_Addr any(static_cast<u_short>(0), "127.0.0.1");
  if (acceptor_.open(any, 1) != 0) throw std::runtime_error("fake server: cannot listen");
  ACE_INET_Addr bound;
  acceptor_.get_local_addr(bound);
  port_ = bound.get_port_number();
}

FakeServer::~FakeServer() {
  stop_ = true;
  cv_.notify_all();
  if (thread_.joinable()) thread_.join();
  conn_.close();
  acceptor_.close();
}

FakeServer& FakeServer::receive() {
  steps_.push_back([this] {
    if (!ensureConnection()) return false;
    ReceivedRequest r{accepted_.load() - 1, ParamRecord(), 0};
    r.result = conn_.receiveRecord(r.record, 10000);
    std::lock_guard lock(mutex_);
    requests_.push_back(std::move(r));
    return requests_.back().result > 0;
  });
  return *this;
}

FakeServer& FakeServer::reply(const ParamRecord& record) {
  steps_.push_back(
      [this, record] { return ensureConnection() && conn_.sendRecord(record, 10000) > 0; });
  return *this;
}

FakeServer& FakeServer::raw(std::vector<uint8_t> bytes) {
  steps_.push_back([this, bytes = std::move(bytes)] {
    if (!ensureConnection()) return false;
    size_t sent = 0;
    ACE::send_n(conn_.stream().get_handle(), bytes.data(), bytes.size(), MSG_NOSIGNAL, nullptr,
                &sent);
    return sent == bytes.size();
  });
  return *this;
}

FakeServer& FakeServer::receiveRaw(size_t count) {
  steps_.push_back([this, count] {
    if (!ensureConnection()) return false;
    std::vector<uint8_t> buffer(count);
    ACE_Time_Value tv(10);
    size_t got = 0;
    ACE::recv_n(conn_.stream().get_handle(), buffer.data(), count, &tv, &got);
    std::lock_guard lock(mutex_);
    raw_.insert(raw_.end(), buffer.begin(), buffer.begin() + static_cast<ptrdiff_t>(got));
    return got == count;
  });
  return *this;
}

FakeServer& FakeServer::stall(int milliseconds) {
  steps_.push_back([this, milliseconds] { return sleepFor(milliseconds); });
  return *this;
}

FakeServer& FakeServer::close() {
  steps_.push_back([this] {
    conn_.close();
    return true;
  });
  return *this;
}

FakeServer& FakeServer::accept() {
  steps_.push_back([this] {
    conn_.close();
    return ensureConnection();
  });
  return *this;
}

FakeServer& FakeServer::run(std::function<void(ACE_SOCK_Stream&)> step) {
  steps_.push_back([this, step = std::move(step)] {
    if (!ensureConnection()) return false;
    step(conn_.stream());
    return true;
  });
  return *this;
}

void FakeServer::start() {
  thread_ = std::thread([this] { loop(); });
}

bool FakeServer::waitDone(int milliseconds) {
  std::unique_lock lock(mutex_);
  return cv_.wait_for(lock, std::chrono::milliseconds(milliseconds), [this] { return done_; });
}

std::vector<ReceivedRequest> FakeServer::requests() const {
  std::lock_guard lock(mutex_);
  return requests_;
}

std::vector<uint8_t> FakeServer::rawReceived() const {
  std::lock_guard lock(mutex_);
  return raw_;
}

bool FakeServer::ensureConnection() {
  if (conn_.connected()) return true;
  while (!stop_) {
    ACE_Time_Value tv(0, 50000);
    ACE_SOCK_Stream stream;
    if (acceptor_.accept(stream, nullptr, &tv) == 0) {
      conn_.stream().set_handle(stream.get_handle());
      ++accepted_;
      return true;
    }
  }
  return false;
}

bool FakeServer::sleepFor(int milliseconds) {
  std::unique_lock lock(mutex_);
  return !cv_.wait_for(lock, std::chrono::milliseconds(milliseconds),
                       [this] { return stop_.load(); });
}

void FakeServer::loop() {
  for (const Step& step : steps_) {
    if (stop_ || !step()) break;
  }
  std::lock_guard lock(mutex_);
  done_ = true;
  cv_.notify_all();
}

ParamRecord okReply(int32_t error, const char* text) {
  ParamRecord r(kFlagScramble);
  r.setInt32("error", error);
  r.setString("errstr", text);
  return r;
}

std::vector<uint8_t> framedBytes(const ParamRecord& record) {
  std::vector<uint8_t> bytes(encodedSize(record));
  const int64_t n = encodeMessage(record, bytes.data(), bytes.size());
  bytes.resize(static_cast<size_t>(n > 0 ? n : 0));
  return bytes;
}

std::string entryTexts(const ParamRecord& record) {
  std::string out;
  for (const auto& [name, value] : record.entries()) {
    const char* text = nullptr;
    record.getString(name.c_str(), &text);
    out += (out.empty() ? "" : " ") + name + "=" + text;
  }
  return out;
}

std::vector<uint8_t> headerBytes(uint16_t format, uint32_t flags, uint32_t body_length, bool big) {
  std::vector<uint8_t> h(kHeaderSize, 0);
  auto put = [&](size_t at, uint64_t v, size_t n) {
    for (size_t i = 0; i < n; ++i)
      h[at + (big ? n - 1 - i : i)] = static_cast<uint8_t>(v >> (8 * i));
  };
  h[0] = 'z';
  h[1] = 'v';
  put(2, format, 2);
  put(4, flags, 4);
  put(8, body_length, 4);
  ParamRecord order;
  order.setBodyFormat(big ? kBodyTypedNetwork : kBodyTypedLittle);
  put(12, headerChecksum(order, h.data()), 4);
  return h;
}

}  // namespace zavel::testing
