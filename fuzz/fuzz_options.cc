// Fuzz target: the option loop on arbitrary argument vectors. The input is
// split at NUL bytes into arguments, decoded like real command-line bytes,
// and read with the option parser; the single-value readers get each argument.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "app/decimal.h"
#include "app/options.h"
#include "charset/charset_registry.h"
#include "platform/native_string.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  std::vector<std::u16string> arguments;
  size_t start = 0;
  while (start <= bytes.size()) {
    size_t end = bytes.find('\0', start);
    if (end == std::string_view::npos) {
      end = bytes.size();
    }
    const std::string_view argument = bytes.substr(start, end - start);
    arguments.push_back(platform::FromNativeString(argument));
    if (platform::ToNativeString(arguments.back()) != argument) {
      std::abort();  // argument bytes must survive the round trip
    }
    start = end + 1;
  }

  Options options;
  if (ParseOptions(arguments, options)) {
    if (static_cast<uint32_t>(options.CharsetId) >= kCharsetIdUtf8) {
      std::abort();  // a UTF or "auto" charset must have been refused
    }
  }
  for (const std::u16string& argument : arguments) {
    size_t consumed = 0;
    ReadDecimal(argument, consumed);
    if (consumed > argument.size()) {
      std::abort();
    }
    ParseWeights(argument);
    LanguageTag tag = kDefaultLanguageTag;
    SetLanguageTag(argument, tag);
    GetCharsetName(GetCharsetId(argument));
  }
  return 0;
}
