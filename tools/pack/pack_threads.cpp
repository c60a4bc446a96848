// Threads of the builder where the standard library has them.
#include <thread>
#include <vector>

#include "tools/pack/pack_compress.h"

namespace brindorel::pack {

unsigned ProcessorCount() {
  const unsigned n = std::thread::hardware_concurrency();
  return n == 0 ? 1 : n;
}

void RunOnThreads(unsigned count, void (*work)(void*), void* context) {
  std::vector<std::thread> others;
  for (unsigned i = 1; i < count; ++i) others.emplace_back(work, context);
  work(context);
  for (std::thread& t : others) t.join();
}

}  // namespace brindorel::pack
