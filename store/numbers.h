// The checked numeric read of the runs, the reports and the exports.
//
// A blank numeric field is 0, as dBase has it; a field that holds no number at all
// (asterisks left where a value did not fit, letters, a decimal comma, NUL bytes) is
// an error naming the table, the record and the field, never a silent 0. The screens
// read leniently through Table::num, which gives 0 for such a field.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "store/dbf_format.h"
#include "store/status.h"
#include "store/table.h"

namespace planilla {

// The format's view of a table field (name, type, width, decimals; no offset).
dbf::Field dbfField(const FieldSpec& s);

// The error for a numeric field that holds no number: "Dato No Numerico En
// p9031601.dbf, Registro 3, Campo BAS_MEN (*********)" (Corrupt). Control bytes of
// the value show as '?', so the message stays on one line.
Status unreadableNumber(const std::string& table, uint32_t recno, const std::string& field, std::string_view bytes);

// A numeric field of the current record of `t`, checked as above (0 when the table
// has no such field).
Result<double> checkedNum(const Table& t, std::string_view field);

// Every N and F field of the current record of `t`: the error for the first that
// holds no number, OK when all read. A reader of a whole row calls it once per record.
Status checkNumbers(const Table& t);

// checkNumbers over every live record of `t`, in record order, without moving the
// cursor: the check of a table copied whole before it is read (a copy would carry
// the damage under its own name and record numbers).
Status checkAllNumbers(Table& t);

}  // namespace planilla
