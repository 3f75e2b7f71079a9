// Where a payslip goes: the employee's e-mail address (the employee's second record)
// and the document number that opens a protected payslip.
#pragma once

#include <string>

#include "session/session.h"
#include "store/status.h"

namespace planilla::delivery {

struct Contact {
  std::string email;     // empty: none recorded
  std::string document;  // document number, empty when none
};

// Reads the contact of `code`. An employee without second record has no e-mail; the
// document number falls back to the DNI of the employee master. A table that
// cannot be read is an error.
Status readContact(Session& s, const std::string& code, Contact* out);

}  // namespace planilla::delivery
