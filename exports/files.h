// What every statutory file of the month shares: the data that stops a file from
// being made, and the writing of a set of files all or nothing.
#pragma once

#include <string>
#include <vector>

#include "session/session.h"
#include "store/platform.h"
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

// A set of files under fixed names in one folder (the PLAME files of a month, a
// spreadsheet) that takes the place of the previous set as a whole, the previous
// set's members that the new one lacks included.
//
// open() checks the folder and every name (checkOutputFile), takes the folder's lock
// (flock: one set changes at a time there), finishes a change a killed run left
// half-done, removes the temporary files killed runs left, and creates one temporary
// file per member beside its final name. The contents are appended with write().
// commit() syncs them, records the change in the journal "<set>.cambio" (written
// whole and synced), renames each new member into place, removes the members left
// out, and removes the journal. A run killed before the journal is complete changed
// nothing; one killed after it is finished by the next open() of the set, so the folder
// holds the old set or the new one. Without commit() nothing in the folder changes.
class FileSet {
 public:
  FileSet(std::string dir, std::string setName, std::vector<std::string> members);
  ~FileSet();
  FileSet(const FileSet&) = delete;
  FileSet& operator=(const FileSet&) = delete;

  [[nodiscard]] Status open();
  // Appends to member `i` (buffered).
  [[nodiscard]] Status write(size_t i, std::string_view bytes);
  // Puts the set in place: the members with `present[i]` true, the others removed.
  [[nodiscard]] Status commit(const std::vector<bool>& present);
  std::string path(size_t i) const;

 private:
  struct Temp;
  Status flush(Temp& t);
  Status recover();
  void discard();
  std::string dir_, set_;
  std::vector<std::string> members_;
  std::vector<Temp> temps_;
  platform::FolderLock lock_;
};

// Shows why an export failed: the stop box of `missing` (title "Mensaje") when it is
// not empty, else the write error. True (and nothing shown) when neither failed.
bool reportFailure(Session& s, const std::vector<Missing>& missing, const Status& written);

// The screens' closing box: "Archivos Generados:" and the paths (title "Mensaje").
void announce(Session& s, const std::vector<std::string>& paths);

}  // namespace planilla::exports
