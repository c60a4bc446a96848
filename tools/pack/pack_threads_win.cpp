// Threads of the builder on Windows (the win32 thread model of this
// toolchain has no std::thread).
#include <windows.h>

#include <vector>

#include "tools/pack/pack_compress.h"

namespace brindorel::pack {
namespace {

struct Start {
  void (*work)(void*);
  void* context;
};

DWORD WINAPI ThreadMain(LPVOID parameter) {
  const Start* start = static_cast<const Start*>(parameter);
  start->work(start->context);
  return 0;
}

}  // namespace

unsigned ProcessorCount() {
  SYSTEM_INFO info;
  GetSystemInfo(&info);
  return info.dwNumberOfProcessors == 0 ? 1 : unsigned(info.dwNumberOfProcessors);
}

void RunOnThreads(unsigned count, void (*work)(void*), void* context) {
  Start start{work, context};
  std::vector<HANDLE> others;
  for (unsigned i = 1; i < count; ++i) {
    HANDLE h = CreateThread(nullptr, 0, ThreadMain, &start, 0, nullptr);
    if (h != nullptr) others.push_back(h);  // without it, the other threads take its share
  }
  work(context);
  for (HANDLE h : others) {
    WaitForSingleObject(h, INFINITE);
    CloseHandle(h);
  }
}

}  // namespace brindorel::pack
