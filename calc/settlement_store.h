// The termination settlement on the tables: what computeSettlement() needs, read from
// the employee master, the rates record, the pension funds, the results of the
// monthly and gratification runs, the vacation rolls and the year's earnings and
// withholdings; saving it into the settlements table lq<cia><ano> (one row per
// settlement, the year of the termination date) with the termination date written
// into the employee master; marking it paid; reading it back for the documents.
//
// Every refusal is shown as a message ("Mensaje") and leaves the tables untouched.
#pragma once

#include <string>
#include <vector>

#include "calc/settlement.h"
#include "session/session.h"

namespace planilla::calc {

// What the documents print about the worker (from the employee master).
struct SettlementEmployee {
  std::string code;  // 10 characters, as stored
  std::string name, dni, cargo, direccion, banco, ctacte, codafp, nroafp, dolar;
  Date hire;
};

struct SettlementCase {
  SettlementEmployee emp;
  SettlementInput in;
  Settlement result;
  std::string estado;  // the stored row: "" none yet, "C" calculated, "P" paid
  Date paidOn;
  Date computedOn;     // the working date it was computed on
};

// The status letters of a stored settlement.
inline constexpr const char* kCalculated = "C";
inline constexpr const char* kPaid = "P";

// Reads the inputs and computes. `exchangeCode` (the exchange-rate record, as the
// monthly run takes it) is needed only for pay in dollars or euros. Refused with a
// message: no working period, a missing reason or one the table lacks, an empty or
// impossible termination date, an unknown employee, a termination date before the
// hire date or after the working month, no pay in the master, an employee paid as a
// plain fee, a fund without rates for the termination month, an exchange rate
// missing or zero, a settlement already paid.
bool prepareSettlement(Session& s, const std::string& code, const Date& cese, const std::string& reason,
                       const std::string& exchangeCode, SettlementCase* out);

// Saves the settlement (a new row, or the calculated row of the same employment
// replaced whole) and writes the termination date into the employee master (`fcese`,
// and `baja` "1" so the next months' active employees leave the worker out). Refused
// when the stored settlement is paid or a record is locked by another station.
bool saveSettlement(Session& s, const SettlementCase& c);

// Marks the stored settlement of `code` paid on `paidOn`; it can no longer change.
bool markSettlementPaid(Session& s, const std::string& code, const Date& paidOn);

// The employee's last stored settlement (the working year's table, then the year
// before), with the worker's data from the master; "Trabajador Sin Liquidacion
// Grabada" when there is none.
bool readStoredSettlement(Session& s, const std::string& code, SettlementCase* out);

}  // namespace planilla::calc
