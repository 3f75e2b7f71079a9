// The equivalences the statutory files need, kept as a text file in the data directory
// so that an accountant can change them without a new build: which result field of
// the month goes to which concept code of the declaration's .rem file, which day
// count goes to which suspension type of the .snl file, and how the company's
// identity-document codes translate into the declaration's and AFPnet's codes.
//
// The file (kConceptsFile) is Windows-1252 text, one equivalence per line, words
// separated by blanks; "#" starts a comment. Three kinds of line:
//
//   REM  MES|GRA|LIQ  FIELD  CODE  [description]  amount field of the payroll (MES),
//                                               of the gratification (GRA) or of the
//                                               month's termination settlement (LIQ)
//                                               -> 4 digits
//   SNL  FIELD  TYPE  [description]            day count of the payroll -> 2 digits
//   DOC  DOCIDEN  TYPE  AFPNET  [description]  document code -> 2 digits, 1 character
//
// When the file is missing it is created with the defaults below on first use.
#pragma once

#include <string>
#include <vector>

#include "session/session.h"
#include "store/status.h"

namespace planilla::exports {

inline constexpr const char* kConceptsFile = "conceptos_plame.txt";
// The largest file read: the defaults are under 3 KB; 1 MiB leaves room for any
// accountant's comments and refuses whatever else was put at the name.
inline constexpr long kConceptsLimit = 1 << 20;

enum class Source { Payroll, Gratification, Settlement };  // MES: e2, GRA: he, LIQ: lq

struct RemConcept {
  Source source = Source::Payroll;
  std::string field;  // upper case
  std::string code;   // 4 digits
};

struct SnlConcept {
  std::string field;  // upper case
  std::string type;   // 2 digits
};

struct DocConcept {
  std::string docIden;  // the company's code (1 character)
  std::string type;     // the declaration's code (2 digits)
  std::string afpnet;   // AFPnet's code (1 character)
};

struct Concepts {
  std::vector<RemConcept> rem;
  std::vector<SnlConcept> snl;
  std::vector<DocConcept> doc;
  const DocConcept* document(const std::string& docIden) const;
};

// The codes the declaration computes itself; the .rem file never carries them.
bool excludedCode(const std::string& code);

// The text of the file as first created.
std::string defaultConceptsText();

// Reads the text. A malformed line, an unknown field, a code of the wrong form, an
// excluded code or an equivalence given twice (the same origin and field, the same
// suspension field, the same document code) is an Invalid status naming the line(s).
Result<Concepts> parseConcepts(const std::string& text);

// Reads kConceptsFile of the data directory, creating it with the defaults when
// missing. Anything but a regular file of at most kConceptsLimit bytes is refused.
// Shows nothing; the status names the file.
Result<Concepts> loadConcepts(Session& s);

}  // namespace planilla::exports
