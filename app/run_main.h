// The program's entry point, free of the process's own argument encoding.
#pragma once

#include <span>
#include <string>

/// Reads every option, then runs the collect or the detect command, or prints
/// the usage text. `arguments[0]` is the program's name and is not examined.
/// Returns the exit status: 0, or -1 (a refused charset, or a failed command).
int RunMain(std::span<const std::u16string> arguments);
