#include "app/print.h"

#include "platform/console.h"

void Print(std::u16string_view format, std::initializer_list<FormatArg> args) {
  platform::WriteStandardOutput(Format(format, args));
}
