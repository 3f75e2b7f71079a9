// What every statutory file of the month shares: the data that stops a file from
// being made, and the writing of a set of files all or nothing.
#pragma once

#include <string>
#include <vector>

#include "session/session.h"
#include "store/status.h"

namespace planilla::exports {

// Something the files need and the data lacks: an employee (code and name) or, with an
// empty code, the company.
struct Missing {
  std::string code, name, what;
};

// The stop message listing every gap, one line each:
// "No Se Generaron Los Archivos, Faltan Datos:" then "E0003 GARCIA LUNA, JOHN: ...".
std::string missingMessage(const std::vector<Missing>& missing);

struct OutFile {
  std::string name;   // file name inside the output folder
  std::string bytes;  // contents
};

// Writes every file into `dir` under a temporary name created exclusively, and only
// when all of them are complete renames each into place: a failure leaves no file
// half-written and replaces none. `written` receives the paths.
[[nodiscard]] Status writeFiles(const std::string& dir, const std::vector<OutFile>& files,
                                std::vector<std::string>* written);

// Shows why an export failed: the stop box of `missing` (title "Mensaje") when it is
// not empty, else the write error. True (and nothing shown) when neither failed.
bool reportFailure(Session& s, const std::vector<Missing>& missing, const Status& written);

// The screens' closing box: "Archivos Generados:" and the paths (title "Mensaje").
void announce(Session& s, const std::vector<std::string>& paths);

}  // namespace planilla::exports
