// The employee's second record (pmae11<cia>): what the state's worker registration
// (T-Registro), the bank transfer files and the payslip delivery need and the general
// master cannot hold: the full identity document, contact data, the address in the
// state's structure with its UBIGEO, the regime codes, the salary account and the end
// reason. One record per employee code, made on first edit: an employee without one
// reads as blank everywhere, so installations that never kept these data go on working.
//
// Codes are SUNAT's, as the registration files write them; the table a code comes from
// is named beside each member. The bank code is Tabla 36's without its leading zero
// ("02" BCP, "03" Interbank, "09" Scotiabank, "11" BBVA, "38" BanBif): the registration
// file writes it with three digits.
#pragma once

#include <memory>
#include <string>

#include "session/session.h"
#include "store/status.h"
#include "store/table.h"
#include "ui/toolkit.h"

namespace planilla::masters {

// Every member is the field's text without trailing blanks ("" when blank).
struct EmployeeExtra {
  std::string codigo;     // CODIGO: the master's code
  std::string email;      // EMAIL C60
  std::string celular;    // CELULAR C9: mobile, 9 digits
  std::string tipdoc;     // TIPDOC C2: document type (Tabla 3: 01 DNI, 04 CE, 07 passport ...)
  std::string numdoc;     // NUMDOC C15
  std::string bancosun;   // BANCOSUN C2: bank of the salary account (Tabla 36 without its leading 0)
  std::string ctanum;     // CTANUM C20: account number as the bank writes it, digits only
  std::string ctacci;     // CTACCI C20: interbank account code (CCI)
  std::string ctamon;     // CTAMON C1: "S" soles, "D" dollars
  std::string paisemi;    // PAISEMI C3: country that issued the document (Tabla 26)
  std::string nacional;   // NACIONAL C4: nationality (Tabla 4; 9589 Peru)
  // Address in the state's structure.
  std::string tipvia, nomvia, numvia;        // street type (Tabla 5), name, number
  std::string depto, interior, manzana, lote, kilometro, block, etapa;
  std::string tipzona, nomzona, referen;     // zone type (Tabla 6), zone name, reference
  std::string ubigeo;                        // UBIGEO C6 (Tabla 28)
  std::string asiste;     // ASISTE: EsSalud health centre by this address "1" yes, "2" no
  // Worker data (the registration's .tra) and periods (.per).
  std::string reglab;     // labour regime (Tabla 33: 01 private, 16 micro, 17 small ...)
  std::string sitedu;     // education (Tabla 9)
  std::string ocupacion;  // occupation (Tabla 30, 6 digits)
  std::string discapac;   // disability "1"/"0"
  std::string sctrpen;    // SCTR pension "0" none, "1" ONP, "2" private insurer
  std::string tipcont;    // contract type (Tabla 12)
  std::string jornalt, jormax, nocturno, sindicato;  // "1"/"0" flags
  std::string periodic;   // pay periodicity (Tabla 13)
  std::string exon5ta;    // exempt from 5th-category tax "1"/"0"
  std::string sitesp;     // special situation (Tabla 35)
  std::string tippago;    // payment type (Tabla 16: 1 cash, 2 deposit, 3 other)
  std::string catocup;    // occupational category (Tabla 24)
  std::string convenio;   // double-taxation treaty (Tabla 25)
  std::string regsal;     // health regime (Tabla 32)
  std::string eps;        // EPS / own services (Tabla 14)
  std::string sctrsal;    // SCTR health "" none, "1" EsSalud, "2" EPS
  std::string regpen;     // pension regime (Tabla 11); blank: taken from the pension fund
  std::string estab;      // workplace: establishment code in the RUC register
  // Completed studies (the registration's .edu).
  std::string edutipo, eduperu, eduinst, educarr, eduano;
  std::string motbaja;    // MOTBAJA: end reason (Tabla 17)
};

// Opens the company's second records (alias "EmpAdic", ordered by code) in `mode`,
// creating the table on first use.
Result<std::unique_ptr<Table>> openEmployeeExtra(Session& s, OpenMode mode);

// The employee's second record. False (and `out` blank but for its code) when the
// employee has none yet. Leaves the table on the record found.
bool readEmployeeExtra(Table& t, const std::string& codigo, EmployeeExtra* out);

// Writes the record of `e.codigo`: replaces the one there under its record lock, or
// appends it whole. Nothing is written when a value does not fit or the lock is
// refused (Locked). The record locks are released either way.
Status writeEmployeeExtra(Table& t, const EmployeeExtra& e);

// The interbank account code (CCI): 20 digits, bank (3) + office (3) + account (12) +
// two check digits, the first over bank and office, the second over the account. Each
// check digit: weights 1, 2, 1, 2 ... from the left, the digits of every product
// added, then (10 - sum mod 10) mod 10.
bool cciValid(const std::string& cci);

// The checks of the screen and of the registration files:
// an e-mail as the state's registration takes it (at most 50 characters, one "@"
// between a name and a domain with a dot, no blanks, no "|", ASCII only);
bool emailValid(const std::string& email);
// a Peruvian mobile number: 9 digits, the first a 9;
bool mobileValid(const std::string& mobile);
// a DNI: 8 digits;
bool dniValid(const std::string& dni);
// a document number of the form its SUNAT type takes, letters and digits only: DNI (01)
// 8 digits, carne de extranjeria (04) and passport (07) up to 12, any other up to 15.
bool documentNumberValid(const std::string& tipdoc, const std::string& numdoc);
// digits only, none of them missing: "" is not.
bool allDigits(const std::string& s);

// The screen "Datos Adicionales" (template EditAdic) of the employee `codigo`, from the
// general master's bar and its employee form: every field of the second record, the
// coded ones as lists of tablas_sunat.txt, the checks above when a field is left and
// again on "&Aceptar". The record is created blank (with the usual defaults: private
// regime, monthly pay, EsSalud, no flags) on the first edit. True when saved.
bool EDITADIC(Session& s, ui::Toolkit& tk, const std::string& codigo, const std::string& name);

}  // namespace planilla::masters
