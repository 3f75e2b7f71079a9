#include "delivery/contact.h"

#include "masters/employee_extra.h"
#include "store/catalog.h"
#include "store/value.h"

namespace planilla::delivery {

Status readContact(Session& s, const std::string& code, Contact* out) {
  *out = Contact();
  const catalog::TableDef master = s.def(catalog::TableId::EmployeeMaster);
  auto t = Table::openReadOnly(s.fs(), catalog::joinPath(s.dataDir(), master.dbf()));
  if (!t) return t.status();
  // The master is read in record order: the code is unique in it.
  for (Status st = (*t)->goTop(); !(*t)->eof(); st = (*t)->skip()) {
    if (!st) return st;
    if ((*t)->str("CODIGO") == padTo(code, 10)) {
      out->document = trimRight((*t)->str("ELECTORAL"));
      break;
    }
  }
  (*t)->close();
  auto extra = masters::openEmployeeExtra(s, OpenMode::Shared);
  if (!extra) return extra.status();
  masters::EmployeeExtra e;
  if (masters::readEmployeeExtra(**extra, trimRight(code), &e)) {
    out->email = e.email;
    if (!e.numdoc.empty()) out->document = e.numdoc;
  }
  (*extra)->close();
  return Status::ok();
}

}  // namespace planilla::delivery
