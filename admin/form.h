// Pieces the administration screens share: opening an installed table, and the record
// form of their edit dialogs.
//
// The edit dialogs of the administration screens hold one record's fields, each bound
// to a dialog control: a text as wide as its table field, or a number. Form keeps
// those values, reads them from the current record, binds them and writes them back
// through a RecordEdit, so each dialog lists its controls once.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "masters/maintenance.h"
#include "session/session.h"
#include "store/table.h"
#include "ui/toolkit.h"

namespace planilla::admin {

// Opens an installed table (institutions, users) in work area 1 under `alias`, at its
// first record, after checking that its file and its index file exist: `noTable` or
// `noIndex` ("Mensaje") otherwise. nullptr when the screen must not open.
Table* openInstalled(Session& s, catalog::TableId id, const std::string& alias, const std::string& noTable,
                     const std::string& noIndex);

struct FormField {
  int id;                // control of the template
  std::string field;     // table field
  std::string picture;   // "@!" for texts, a numeric mask for numbers
  std::string tooltip;   // may be empty
};

class Form {
 public:
  // Blank texts of each field's width and zero numbers.
  Form(const Table& t, std::vector<FormField> fields);
  // The values of the table's current record.
  void read(const Table& t);
  // The start of an add or modify dialog on `t`: makes its work area current and
  // remembers its record in *rec; to modify, reads the record (then `alsoRead`) under
  // a short record lock. False when there is no record to modify or the lock was
  // refused (LAN_REG said so): the dialog does not open.
  bool start(Session& s, Table& t, bool add, uint32_t* rec, const std::function<void()>& alsoRead = {});
  // Binds every field of the form to `dlg` in the colours given.
  void bind(ui::Dialog& dlg, const Table& t, ui::Color fg, ui::Color bg);
  // Writes every field into `e`.
  void fill(masters::RecordEdit& e) const;
  // The value of a field (a text keeps its width).
  std::string& text(const std::string& field);
  double& number(const std::string& field);
  ui::Field& control(ui::Dialog& dlg, const std::string& field) const;

 private:
  struct Value {
    FormField f;
    bool numeric = false;
    std::string text;
    double number = 0;
  };
  Value& find(const std::string& field);
  std::vector<Value> values_;
};

}  // namespace planilla::admin
