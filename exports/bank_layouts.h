// The salary-transfer file layouts of the banks ("pago de haberes"): fixed-width text
// records, one table of fields per bank and record kind, so that a correction from a
// bank is a change of a line here. No bank publishes its layout; each carries how sure
// we are of it (README, "Archivos de pago al banco").
//
// A record is built from its layout and a set of values by key: the layout says, per
// field, its width, how it is filled (text left-aligned, digits zero-padded, an amount
// with or without its point ...) and where the value comes from (a key, or a constant).
// Nothing is ever cut but text meant to be cut (names, references): an account, a
// count or an amount wider than its field is an error naming the field.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace planilla::exports::bank {

enum class Bank { Bcp, Bbva, Interbank, Banbif };

// What a field holds. The header keys and the detail keys share one list.
enum class Key {
  None,  // a constant (FieldDef::constant)
  // header
  Count, ProcessDate, Subtype, ChargeType, ChargeAccount, Total, Reference, Checksum, ProcessKind,
  Timestamp, TotalPen, TotalUsd,
  // detail
  Sequence, CreditType, Account, DocType, DocNumber, Name, Paterno, Materno, Nombres, BeneficiaryRef,
  CompanyRef, Amount, Currency, AccountCurrency, AccountType, PayMethod, NoticeKind, Notice, Address, Phone,
  BankCode, Motive,
  Count_  // number of keys
};

enum class Fill {
  Text,        // left-aligned, blanks; cut to the width (names, references)
  Code,        // left-aligned, blanks; wider than the field is an error (accounts, documents)
  RightText,   // right-aligned, blanks; wider is an error
  Zeros,       // digits right-aligned with zeros; wider is an error
  AmountPoint, // cents as digits, written with a point before the last two, zero-padded
  AmountZeros, // cents as digits, no point, zero-padded
  AmountBlank, // cents as digits, no point, right-aligned with blanks
};

struct FieldDef {
  const char* name;    // for messages ("importe", "cuenta de cargo" ...)
  int width;
  Fill fill;
  Key key;
  const char* constant = "";  // the text of a Key::None field (blank-padded to the width)
};

struct Layout {
  Bank bank;
  const char* name;        // "BCP", "BBVA", "INTERBANK", "BANBIF"
  const char* sunatCode;   // the bank's code in the state's table, as the second record keeps it
  const char* grade;       // how sure the layout is, for the summary report
  bool validated;          // checked against a file the bank accepted
  bool acceptsCci;         // pays other banks' accounts through their CCI
  const char* pen;         // currency codes of soles and dollars
  const char* usd;
  // Identity documents: the state's code (Tabla 3: "01" DNI, "04" carne de
  // extranjeria, "07" pasaporte) -> the bank's. A document not listed is refused.
  std::vector<std::pair<std::string, std::string>> documents;
  std::vector<FieldDef> header;  // empty: the file has no header record
  std::vector<FieldDef> detail;
};

const Layout& layout(Bank b);
// "BCP", "BBVA", "INTERBANK", "BANBIF" (any letter case); false for another name.
bool bankByName(const std::string& name, Bank* out);
// The bank of a second-record code ("02", "11", "03", "38"); false for another bank.
bool bankBySunat(const std::string& code, Bank* out);
// Total width of a record kind.
int recordWidth(const std::vector<FieldDef>& fields);

using Values = std::array<std::string, static_cast<size_t>(Key::Count_)>;
inline std::string& at(Values& v, Key k) { return v[static_cast<size_t>(k)]; }

// Appends the record of `fields` filled from `values`, without its line end. False
// (and `error` naming the field: "el importe (17 posiciones) no cabe: 123...") when a
// value does not fit or an amount or count holds anything but digits.
bool appendRecord(const std::vector<FieldDef>& fields, const Values& values, std::string& line, std::string* error);

// A text as the banks take names and references: upper case, the accented letters of
// Windows-1252 and the N with tilde folded to their plain letters, anything that is not
// a letter or digit a blank, runs of blanks as one, no blank at either end.
std::string foldName(std::string_view text1252);

// Cents of a two-decimal amount as digits ("1169.23" -> "116923"); a negative amount
// gives "-..." (which no amount field accepts).
std::string centsText(int64_t cents);

// Sums of account digits of any length (the BCP control sum): decimal digits, never
// a binary number that could overflow or lose digits.
class DigitSum {
 public:
  // Adds a text of digits (leading zeros allowed); false, adding nothing, for
  // anything else.
  bool add(std::string_view digits);
  std::string text() const;  // without leading zeros; "0" when nothing was added
 private:
  std::vector<uint8_t> digits_;  // least significant first
};

// BCP's control sum: the charge account without its first three digits, plus for each
// payment the BCP account without its first three digits, or the CCI without its first
// ten. `accounts` are the payments' accounts; `cci[i]` says which kind. False when an
// account is not digits or is too short.
bool bcpControlSum(const std::string& chargeAccount, const std::vector<std::string>& accounts,
                   const std::vector<bool>& cci, std::string* sum);

}  // namespace planilla::exports::bank
