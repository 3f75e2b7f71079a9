// What the report screens read before showing their dialog: the institution record
// of the working company and the signature choice of the parameters table.
#pragma once

#include <string>

#include "session/session.h"

namespace planilla::reports {

// The institution record of YCIA in pmae0001 (fields as stored, blank padded).
struct InstitutionData {
  std::string patro;    // employer registration number
  std::string direc;    // address
  std::string ruc;      // tax number
  std::string nombres;  // signatory's name
  std::string cargo;    // signatory's position
  std::string dni;      // signatory's identity number
  double lineanom = 0;  // offsets under the signature line
  double lineacar = 0;
  double repite = 0;
};

enum class Lookup { Found, TableMissing, RecordMissing, Failed };

// Reads the record of s.YCIA from the institution table and closes the table again.
// `error` receives the reason when the table exists but cannot be read (Failed).
Lookup readInstitution(Session& s, InstitutionData& out, Status* error = nullptr);

// `Firma` of the first record of the parameters table pmae05<cia> (as stored).
// TableMissing when the table does not exist; an empty table gives a blank choice.
Lookup readSignatureChoice(Session& s, std::string& firma, Status* error = nullptr);

// The signature picture a choice selects: "firjpg2.jpg" for "2...", "firRov2.jpg"
// for "1...", "" otherwise.
std::string signaturePicture(const std::string& firma);

}  // namespace planilla::reports
