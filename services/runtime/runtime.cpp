// The stub's small runtime: the installer never throws, so the C++ library's
// throw helpers and the verbose terminate handler (which pulls in a symbol
// demangler) are replaced by an immediate, silent end of the process. This
// keeps the exception machinery out of Install.exe.
#include <windows.h>

#include <new>

namespace {
[[noreturn]] void Fail() { ExitProcess(3); }
}  // namespace

namespace std {
[[noreturn]] void __throw_bad_alloc() { Fail(); }
[[noreturn]] void __throw_bad_array_new_length() { Fail(); }
[[noreturn]] void __throw_length_error(const char*) { Fail(); }
[[noreturn]] void __throw_logic_error(const char*) { Fail(); }
[[noreturn]] void __throw_out_of_range(const char*) { Fail(); }
[[noreturn]] void __throw_out_of_range_fmt(const char*, ...) { Fail(); }
[[noreturn]] void __throw_invalid_argument(const char*) { Fail(); }
[[noreturn]] void __throw_bad_function_call() { Fail(); }
}  // namespace std

namespace __gnu_cxx {
[[noreturn]] void __verbose_terminate_handler() { Fail(); }
}  // namespace __gnu_cxx

// Allocation straight from the process heap; running out of memory ends the
// process like any other throw would.
void* operator new(std::size_t size) {
  void* block = HeapAlloc(GetProcessHeap(), 0, size != 0 ? size : 1);
  if (block == nullptr) Fail();
  return block;
}
void* operator new[](std::size_t size) { return operator new(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
  return HeapAlloc(GetProcessHeap(), 0, size != 0 ? size : 1);
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
  return HeapAlloc(GetProcessHeap(), 0, size != 0 ? size : 1);
}
void operator delete(void* block) noexcept {
  if (block != nullptr) HeapFree(GetProcessHeap(), 0, block);
}
void operator delete[](void* block) noexcept { operator delete(block); }
void operator delete(void* block, std::size_t) noexcept { operator delete(block); }
void operator delete[](void* block, std::size_t) noexcept { operator delete(block); }
