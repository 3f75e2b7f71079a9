// Starting the report viewer. The viewer runs as a process of its own, detached from
// the caller: RUNRPV returns as soon as the viewer program has been started and never
// waits for it to end.
#pragma once

#include <string>
#include <vector>

#include "store/status.h"

namespace planilla::reports {

// Environment variable naming another viewer command, e.g. "okular" or "true". Its
// words (separated by blanks) form the command; the report path is added as the last
// argument. No shell is involved.
inline constexpr const char* kViewerEnv = "PLANILLA_VISOR";

// The argument list that shows `reportPath`: the command of PLANILLA_VISOR when set
// and not blank, else this program in viewer mode ("<self> ver <reportPath>", then
// `pdfPath` when given: the file its "Guardar PDF" proposes).
std::vector<std::string> viewerCommand(const std::string& reportPath, const std::string& pdfPath = "");

// Starts argv[0] (searched in PATH when it has no "/") with the given arguments as a
// detached process (new session, standard input from /dev/null) and returns without
// waiting for it. Fails when the program cannot be executed; a viewer that starts
// and later fails is not this function's concern.
[[nodiscard]] Status startDetached(const std::vector<std::string>& argv);

// RUNRPV: shows the report file `fileName` of `dataDir` in the viewer, without waiting.
// `pdfName` (e.g. "boleta_E0001_2026-12.pdf"): what the viewer proposes, in `dataDir`,
// when the report is saved as PDF.
[[nodiscard]] Status RUNRPV(const std::string& dataDir, const std::string& fileName, const std::string& pdfName = "");

// Path of the running executable (from /proc/self/exe); empty when unknown.
std::string selfExecutable();

}  // namespace planilla::reports
