#pragma once

namespace planilla {
// Name shown in window titles and the About box.
inline constexpr const char* kSystemName = "Sistema De Planilla (Varmond)";
const char* programVersion();
}  // namespace planilla
