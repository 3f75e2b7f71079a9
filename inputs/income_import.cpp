// "Importar Desde Hoja De Calculo" on the month's entries screen: the file asked
// for, read and checked whole, the preview, and the write of every row or none.
#include <memory>

#include "inputs/common.h"
#include "inputs/income_entries.h"
#include "inputs/sheet_import.h"
#include "masters/maintenance.h"
#include "session/list_table.h"
#include "store/value.h"
#include "ui/dialogs.h"
#include "ui/messages.h"

namespace planilla::inputs {

namespace {

constexpr const char* kTitle = "Importar Desde Hoja De Calculo";

// The preview's list: every problem by line when there is any (nothing can be
// written then), else what each row will write.
Result<std::unique_ptr<ListTable>> previewList(Session& s, const ImportPlan& plan, Table& entries) {
  auto made = ListTable::create(s.fs(), {{"linea", 6}, {"codigo", 10}, {"nombre", 40}, {"detalle", 200}});
  if (!made) return made.status();
  ListTable& list = *made.value();
  if (!plan.problems.empty()) {
    for (const ImportProblem& p : plan.problems)
      PLANILLA_RETURN_IF_ERROR(list.add({p.line > 0 ? std::to_string(p.line) : "", p.code, "", p.text}));
  } else {
    for (const ImportRow& r : plan.rows)
      PLANILLA_RETURN_IF_ERROR(list.add({std::to_string(r.line), r.code, r.name, describeRow(plan, r, entries)}));
  }
  PLANILLA_RETURN_IF_ERROR(list.table().goTop());
  return made;
}

std::string summary(const ImportPlan& plan) {
  if (!plan.problems.empty())
    return std::to_string(plan.problems.size()) +
           (plan.problems.size() == 1 ? " Problema" : " Problemas") + ": Corrija La Hoja; No Se Grabara Nada";
  return std::to_string(plan.rows.size()) + " Trabajador(es) Sin Problemas: \"Grabar\" Los Graba Todos";
}

}  // namespace

void IMPORTHOR(Session& s, ui::Toolkit& tk, ui::Browse& br) {
  Table& t = br.table();
  const uint32_t rec = t.recno();
  std::string file(200, ' ');
  if (!ui::MSGGET(tk, kTitle, "Archivo (.csv o .xlsx) :", file, "lupa.bmp")) return;
  file = trimRight(file);
  if (file.empty()) return;
  auto rows = readSheet(file);
  if (!rows) {
    ui::MSGSTOP(s.messages(), rows.status().message(), kTitle);
    return;
  }
  const ImportPlan plan = checkIncomeImport(s, rows.value());
  auto list = previewList(s, plan, t);
  if (!list) {
    ui::MSGSTOP(s.messages(), list.status().message(), kTitle);
    return;
  }
  bool accepted = false;
  {
    ui::Dialog dlg(tk, "ImportHoja", kTitle);
    dlg.label(101).text("Archivo: " + file);
    using A = ui::Browse::Align;
    Table& lt = list.value()->table();
    dlg.browse(102, lt)
        .headers({"LINEA", "CODIGO", "N O M B R E", plan.problems.empty() ? "SE GRABARA" : "PROBLEMA"})
        .widths({50, 80, 220, 560})
        .aligns({A::Right, A::Left, A::Left, A::Left})
        .columnMoving(false)
        .wholeRowCursor(true)
        .line([&lt] {
          return std::vector<std::string>{trimRight(lt.str("linea")), trimRight(lt.str("codigo")),
                                          trimRight(lt.str("nombre")), trimRight(lt.str("detalle"))};
        });
    dlg.label(103).text(summary(plan));
    dlg.bitmapButton(201, "SAVE32.BMP", [&] {
         accepted = true;
         dlg.end();
       }).enable(plan.writable());
    dlg.bitmapButton(202, "exit1.bmp", [&] { dlg.end(); }).cancel();
    dlg.activate();
  }
  if (accepted) {
    auto written = applyIncomeImport(s, t, plan);
    if (written)
      ui::MSGINFO(s.messages(), "Se Grabaron Los Ingresos De " + std::to_string(written.value()) + " Trabajador(es)",
                  kTitle);
    else
      ui::MSGSTOP(s.messages(), written.status().message(), kTitle);
  }
  masters::selectTable(s, t);
  masters::returnTo(t, br, rec);
}

}  // namespace planilla::inputs
