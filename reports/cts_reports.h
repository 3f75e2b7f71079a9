// The half-yearly CTS documents, read from the CTS table of the semester (cts1<cia><ano>
// in May, cts2<cia><ano> in November): the certificate of one employee's deposit
// ("LIQUIDACION DE DEPOSITO SEMESTRAL DE CTS", F_P430 / PREP430) and the list of the
// deposits into one bank for the accounts in soles or in dollars ("DEPOSITO SEMESTRAL
// CTS", F_P431 / REP431). Both work only in the working months "05" and "11".
#pragma once

#include <string>

#include "reports/institution.h"
#include "session/session.h"

namespace planilla::reports {

// The amount to deposit in the account's currency.
struct CtsDeposit {
  double amount = 0;
  std::string label;        // "S/.", "USD", "Euros" ("" for an unknown currency)
  bool converted = false;   // the account's currency differs from the CTS amounts'
  std::string rateCaption;  // when converted: "Tipo Cambio ", "Cambio Euro/Soles " ...
  double rate = 0;
};

// The exchange rates of a CTS rate record.
struct CtsRates {
  double tipCam = 0;   // soles per dollar
  double tipCame = 0;  // soles per euro
  double tipEuro = 0;  // dollars per euro
};

// The deposit of `total` (CALCULO + DEPANTE) computed in `dolar` for an account in
// `moneda`, converted at `rates` and rounded to cents. An account currency left blank
// is taken as the pay currency (nothing to convert).
CtsDeposit ctsDeposit(const std::string& dolar, const std::string& moneda, double total, const CtsRates& rates);

// What F_P430 keeps for the writer.
struct CtsCertificateValues {
  InstitutionData institution;
  std::string firma;
};

// The employee chosen in the certificate dialog (CODPERQUINTA).
struct CtsEmployee {
  std::string code = std::string(10, ' ');
  std::string name = " ";
  std::string costCentre = std::string(6, ' ');
  std::string electoral, direccion, cargo, ctacte, banco;
};

// F_P430 up to its dialog (refusals titled "Mensaje"); leaves the employee master open
// as RepEmplea.
bool checkCtsCertificate(Session& s, CtsCertificateValues& out);
// CODPERQUINTA: the code validation of the certificate dialog. Found: fills `e` and
// accepts; not found: "Codigo Empleado  " + code + " No Existe" ("Error En Ingreso De
// Dato"). Either way the employee master is left ordered by name.
bool CODPERQUINTA(Session& s, const std::string& code, CtsEmployee& e);
// PREP430: the certificate of `e`, dated `certificate`.
bool PREP430(Session& s, const CtsEmployee& e, const CtsCertificateValues& values, const Date& certificate,
             bool startViewer = true);

// F_P431 up to its dialog (refusals titled "Mensaje", an empty bank table "Stop").
bool checkCtsDeposits(Session& s);
// REP431: the deposits into bank `bank` (4 characters) of the accounts in soles
// (`selector` 3) or dollars (2).
bool REP431(Session& s, const std::string& bank, int selector, bool startViewer = true);

}  // namespace planilla::reports
