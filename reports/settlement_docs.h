// The three documents of a termination settlement, written through the report writer
// from the settlement as it was saved (calc/settlement_store.h): the settlement itself
// ("LIQUIDACION DE BENEFICIOS SOCIALES"), the certificate of employment ("CERTIFICADO
// DE TRABAJO") and the letter to the CTS bank releasing the deposits.
#pragma once

#include <string>

#include "calc/settlement_store.h"
#include "reports/institution.h"
#include "session/session.h"

namespace planilla::reports {

enum class SettlementDoc { Settlement, Certificate, CtsLetter };

// The document's name on the command line ("liquidacion", "certificado-trabajo",
// "carta-cts").
const char* settlementDocName(SettlementDoc d);

// Reads the employee's stored settlement and the institution record, writes the
// document and, when `startViewer`, shows it. False after a message: no working
// period, no institution record, no stored settlement; for the letter, an employee
// without CTS bank or account in the master.
bool printSettlementDoc(Session& s, SettlementDoc doc, const std::string& code, bool startViewer = true);

// The writers, from values already read (for the screen, which holds them).
bool PREPLIQ(Session& s, const calc::SettlementCase& c, const InstitutionData& in, bool startViewer);
bool PREPCERTRAB(Session& s, const calc::SettlementCase& c, const InstitutionData& in, bool startViewer);
bool PREPCARTACTS(Session& s, const calc::SettlementCase& c, const InstitutionData& in, const std::string& bankName,
                  bool startViewer);

}  // namespace planilla::reports
