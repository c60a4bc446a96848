// Ends with the exit code given as its argument (decimal, unsigned).
#include <cstdlib>

int main(int argc, char** argv) {
  if (argc < 2) return 0;
  return static_cast<int>(std::strtoul(argv[1], nullptr, 10));
}
