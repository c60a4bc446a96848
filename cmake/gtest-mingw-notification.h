// GoogleTest's Notification needs std::mutex, which the win32-thread-model
// mingw runtime does not have; this one waits on an atomic flag instead. It is
// force-included into GoogleTest and the Windows test programs only.
#pragma once
#ifdef __cplusplus
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
