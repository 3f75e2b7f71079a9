#include "session/app_info.h"

namespace planilla {
const char* programVersion() { return "0.1"; }
}  // namespace planilla
