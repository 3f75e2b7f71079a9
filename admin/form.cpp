#include "admin/form.h"

#include "session/tables.h"
#include "ui/messages.h"

namespace planilla::admin {

Table* openInstalled(Session& s, catalog::TableId id, const std::string& alias, const std::string& noTable,
                     const std::string& noIndex) {
  const catalog::TableDef def = s.def(id);
  if (!s.fileExists(def.dbf())) {
    ui::MSGSTOP(s.messages(), noTable, "Mensaje");
    return nullptr;
  }
  if (!s.fileExists(def.base + ".cdx")) {
    ui::MSGSTOP(s.messages(), noIndex, "Mensaje");
    return nullptr;
  }
  Table* t = openExisting(s, def, 1, noTable, alias);
  if (t) (void)t->goTop();
  return t;
}

Form::Form(const Table& t, std::vector<FormField> fields) {
  for (auto& f : fields) {
    Value v;
    const int i = t.fieldIndex(f.field);
    v.numeric = i >= 0 && t.field(i).type == 'N';
    if (!v.numeric) v.text.assign(i >= 0 ? static_cast<size_t>(t.field(i).width) : 0, ' ');
    v.f = std::move(f);
    values_.push_back(std::move(v));
  }
}

void Form::read(const Table& t) {
  for (auto& v : values_) {
    if (v.numeric)
      v.number = t.num(v.f.field);
    else
      v.text = padTo(t.str(v.f.field), v.text.size());
  }
}

bool Form::start(Session& s, Table& t, bool add, uint32_t* rec, const std::function<void()>& alsoRead) {
  masters::selectTable(s, t);
  *rec = t.recno();
  if (add) return true;
  if (!masters::onRecord(t)) return false;
  return masters::readLocked(s, t, [&] {
    read(t);
    if (alsoRead) alsoRead();
  });
}

void Form::bind(ui::Dialog& dlg, const Table& t, ui::Color fg, ui::Color bg) {
  for (auto& v : values_) {
    ui::Field& c = v.numeric ? dlg.field(v.f.id, ui::ref(v.number)) : dlg.field(v.f.id, ui::ref(v.text));
    c.picture(v.f.picture).column(t, v.f.field).colors(fg, bg);
    if (!v.f.tooltip.empty()) c.tooltip(v.f.tooltip);
  }
}

void Form::fill(masters::RecordEdit& e) const {
  for (const auto& v : values_) {
    if (v.numeric)
      e.number(v.f.field, v.number);
    else
      e.text(v.f.field, v.text);
  }
}

Form::Value& Form::find(const std::string& field) {
  for (auto& v : values_)
    if (v.f.field == field) return v;
  return values_.front();  // every caller names a field of its own form
}

std::string& Form::text(const std::string& field) { return find(field).text; }
double& Form::number(const std::string& field) { return find(field).number; }

ui::Field& Form::control(ui::Dialog& dlg, const std::string& field) const {
  for (const auto& v : values_)
    if (v.f.field == field) return *dlg.fieldById(v.f.id);
  return *dlg.fieldById(values_.front().f.id);
}

}  // namespace planilla::admin
