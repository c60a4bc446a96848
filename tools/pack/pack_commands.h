// The command line of brindorel-pack: build, list, verify. Exit codes:
// 0 ok, 1 package problem, 2 usage.
#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace brindorel {

// `args` without the program name; `selfPath` locates the default stub.
int RunPackCommand(const std::vector<std::string>& args, const std::string& selfPath, std::ostream& out,
                   std::ostream& err);

}  // namespace brindorel
