#pragma once

namespace planilla {
// Name shown in window titles and the About box.
inline constexpr const char* kSystemName = "Sistema De Planilla (Varmond)";
// The maker's banner: the main window's message bar, "&Acerca De" and the message bar
// of the accounting parameters.
inline constexpr const char* kMakerBanner = "Varmond Sistemas  -  Planillas Y Remuneraciones";
const char* programVersion();
}  // namespace planilla
