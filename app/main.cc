// kestoanalyzer: guesses the language and single-byte charset of a text.
#include <string>
#include <vector>

#include "app/run_main.h"
#include "platform/native_string.h"

int main(int argc, char** argv) {
  std::vector<std::u16string> arguments;
  arguments.reserve(static_cast<size_t>(argc));
  for (int i = 0; i < argc; ++i) {
    arguments.push_back(platform::FromNativeString(argv[i]));
  }
  return RunMain(arguments);
}
