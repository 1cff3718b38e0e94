// Window handles and window messages: what a progress receiver is for C++ callers.
#pragma once

#include <cstdint>

// A window as the library sees it. Messages are delivered on the window's own thread.
struct ZavelWindow {
  virtual ~ZavelWindow() = default;

  // Delivers the message and returns the handler's result. Synchronous: called from another
  // thread, the message is handled on the window's thread while the caller waits.
  virtual intptr_t send(uint32_t message, uintptr_t wparam, intptr_t lparam) = 0;
  // Queues the message for the window's thread and returns at once; false when the window
  // takes no more messages.
  virtual bool post(uint32_t message, uintptr_t wparam, intptr_t lparam) = 0;
};
