// The main frame as the library's progress receiver: a ZavelWindow served by Qt's event loop
// on the thread that made it.
#pragma once

#include <QMetaObject>
#include <QObject>
#include <QThread>
#include <functional>

#include "platform/window.h"

namespace zavel::app {

class FrameWindow : public QObject, public ZavelWindow {
 public:
  using Handler = std::function<intptr_t(uint32_t message, uintptr_t wparam, intptr_t lparam)>;

  explicit FrameWindow(Handler handler) : handler_(std::move(handler)) {}

  // On the frame's own thread the handler runs at once; another thread waits until the
  // frame's event loop has run it.
  intptr_t send(uint32_t message, uintptr_t wparam, intptr_t lparam) override {
    if (QThread::currentThread() == thread()) return handler_(message, wparam, lparam);
    intptr_t result = 0;
    QMetaObject::invokeMethod(
        this, [&] { result = handler_(message, wparam, lparam); }, Qt::BlockingQueuedConnection);
    return result;
  }

  bool post(uint32_t message, uintptr_t wparam, intptr_t lparam) override {
    return QMetaObject::invokeMethod(
        this, [this, message, wparam, lparam] { handler_(message, wparam, lparam); },
        Qt::QueuedConnection);
  }

 private:
  Handler handler_;
};

}  // namespace zavel::app
