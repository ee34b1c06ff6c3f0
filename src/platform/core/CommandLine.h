#pragma once
// The program's command line, split by the Windows rules on every platform so that the switch is read the
// same way wherever the program runs.

#include <string>
#include <string_view>
#include <vector>

namespace pardova::platform {

// Splits a raw command line (UTF-8): arguments are separated by white space, which is any character with a
// code of 32 or below; double quotes group characters, white space included, into one argument and are
// removed. The first element is the program itself, as in the raw line.
std::vector<std::string> SplitCommandLine(std::string_view commandLine);

// The process's arguments after the program itself. Windows: the raw command line (GetCommandLineW) split
// by SplitCommandLine; elsewhere the arguments the process was started with (argv[1..]).
std::vector<std::string> ProcessArguments(int argc, char** argv);

} // namespace pardova::platform
