// GoogleTest's own customisation point, found before its empty stub in the
// cross trees that build GoogleTest from source. Its Notification needs
// std::mutex, which the win32-thread-model mingw runtime does not have; this
// one waits on an atomic flag instead (the Windows trees only).
#pragma once
#if defined(__cplusplus) && defined(_WIN32)
#define GTEST_HAS_NOTIFICATION_ 1
#include <atomic>
namespace testing {
namespace internal {
class Notification {
 public:
  Notification() : notified_(false) {}
  void Notify() { notified_.store(true); }
  void WaitForNotification() {
    while (!notified_.load()) {
    }
  }

 private:
  std::atomic<bool> notified_;
};
}  // namespace internal
}  // namespace testing
#endif
