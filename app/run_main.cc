#include "app/run_main.h"

#include "app/options.h"
#include "app/print.h"
#include "app/run_collect.h"
#include "app/run_detect.h"
#include "app/usage.h"
#include "platform/console.h"

int RunMain(std::span<const std::u16string> arguments) {
  Options options;
  platform::SetConsoleInputToUtf16();
  if (arguments.size() < 2) {
    PrintUsage();
    return 0;
  }
  if (!ParseOptions(arguments.subspan(1), options)) {
    Print(u"UTF-8, UTF-16 or UTF-32 character sets are not supported.\n");
    return -1;
  }
  switch (options.Mode) {
    case RunMode::Collect:
      return RunCollect(options.InputPath, options.IgnorePath, options.ThresholdFraction,
                        options.Language, options.CharsetId);
    case RunMode::Detect:
      return RunDetect(options.InputPath, options.Weights);
    case RunMode::None:
      break;
  }
  PrintUsage();
  return 0;
}
