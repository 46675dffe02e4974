// Force-included into GoogleTest and the Windows tests. This mingw uses the
// win32 threads model, whose libstdc++ has no std::mutex, yet GoogleTest's
// Notification (a helper for its own tests) is written with one. This one
// takes its place; GoogleTest's Windows mutexes do the rest.
#pragma once
#ifdef __cplusplus
#include <atomic>

#define GTEST_HAS_NOTIFICATION_ 1
namespace testing {
namespace internal {
class Notification {
 public:
  Notification() = default;
  Notification(const Notification&) = delete;
  Notification& operator=(const Notification&) = delete;
  void Notify() { notified.store(true); }
  void WaitForNotification() {
    while (!notified.load()) {
    }
  }

 private:
  std::atomic<bool> notified{false};
};
}  // namespace internal
}  // namespace testing
#endif
