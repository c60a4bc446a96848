#include <iostream>
#include <new>

#include "tools/pack/pack_commands.h"

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  try {
    return brindorel::RunPackCommand(args, argc > 0 ? argv[0] : "", std::cout, std::cerr);
  } catch (const std::bad_alloc&) {
    std::cerr << "error: out of memory\n";
    return 1;
  }
}
