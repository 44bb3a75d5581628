#include "platform/data_folder.h"

#include "platform/native_string.h"

#ifndef KESTO_APPDATA_DIR
#error "KESTO_APPDATA_DIR must name the shared data directory chosen at build time"
#endif

namespace platform {

std::u16string GetCommonAppDataFolder() { return FromNativeString(KESTO_APPDATA_DIR); }

}  // namespace platform
