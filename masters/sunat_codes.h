// SUNAT's code tables that the worker registration (T-Registro) uses, kept as two text
// files of the data directory that the operator may update without a new build, as the
// PLAME equivalences are:
//
//   tablas_sunat.txt   TABLA CODIGO DESCRIPCION    one code a line ("3 01 DOCUMENTO ...")
//   ubigeo.txt         CODIGO NOMBRE               2 digits department, 4 province,
//                                                  6 district (RENIEC's UBIGEO, table 28)
//
// Both are Windows-1252 text; "#" starts a comment. A file that is missing is created
// with the codes shipped with the program on first use.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "session/session.h"
#include "store/status.h"

namespace planilla::masters {

inline constexpr const char* kSunatTablesFile = "tablas_sunat.txt";
inline constexpr const char* kUbigeoFile = "ubigeo.txt";
// The largest file read: the shipped UBIGEO list is about 40 KB.
inline constexpr long kCodeFileLimit = 1 << 20;

// SUNAT's table numbers the second record's fields take their codes from.
namespace tabla {
inline constexpr int kDocumento = 3, kNacionalidad = 4, kVia = 5, kZona = 6, kTipoTrabajador = 8,
                     kEducacion = 9, kPension = 11, kContrato = 12, kPeriodicidad = 13, kEps = 14,
                     kTipoPago = 16, kMotivoBaja = 17, kCategoria = 24, kConvenio = 25, kPaisEmisor = 26,
                     kOcupacion = 30, kSalud = 32, kRegimenLaboral = 33, kSituacionEspecial = 35,
                     kBanco = 36;
}

struct CodeEntry {
  std::string code, name;
};

struct SunatCodes {
  std::map<int, std::vector<CodeEntry>> tables;  // in file order
  std::map<std::string, std::string> places;     // UBIGEO code -> name

  // The table's codes (empty when the file lists none).
  const std::vector<CodeEntry>& table(int n) const;
  // The entry of `code` in table `n`, nullptr when not listed.
  const CodeEntry* find(int n, const std::string& code) const;
  // True for a district (6-digit) code of the UBIGEO list.
  bool district(const std::string& code) const;
  // "SAN ISIDRO - LIMA - LIMA" for a known district, "" otherwise.
  std::string placeName(const std::string& code) const;
};

// The shipped files, as written on first use (Windows-1252, CR LF).
std::string defaultSunatTablesText();
std::string defaultUbigeoText();

// Reads the two texts. A line that is not "table code description" (a table number of
// 1 to 99, a code of digits) or a UBIGEO code that is not of 2, 4 or 6 digits is an
// Invalid status naming the file and the line.
Result<SunatCodes> parseSunatCodes(const std::string& tablesText, const std::string& ubigeoText);

// Reads both files of the data directory, creating a missing one with the shipped
// codes. Anything but a regular file of at most kCodeFileLimit bytes is refused. Shows
// nothing; the status names the file.
Result<SunatCodes> loadSunatCodes(Session& s);

// Reads a small text file of the data directory without following what is not a
// regular file (a FIFO would hang the program) and without reading more than `limit`
// bytes. NotFound when there is no file at the name.
Result<std::string> readDataText(const std::string& path, long limit);

}  // namespace planilla::masters
