#include "admin/users.h"

#include <map>

#include "admin/form.h"
#include "masters/maintenance.h"
#include "session/startup.h"
#include "session/tables.h"
#include "ui/messages.h"

namespace planilla::admin {

namespace {

using namespace masters;

const char* kTitle = "Mensaje";
const char* kToolsGroup = "HERRAMIENT";

// The users table as the login reads it: every live record with its password.
struct UserRow {
  uint32_t recno;
  std::string inicia;
  AccessRecord access;
};

std::vector<UserRow> userRows(Table& t) {
  const uint32_t rec = t.recno();
  const int order = t.order();
  (void)t.setOrder(0);
  std::vector<UserRow> rows;
  for (Status st = t.goTop(); st && !t.eof(); st = t.skip(1))
    rows.push_back({t.recno(), t.str("INICIA"), {t.str("FUNCION"), t.str("ACCESO")}});
  (void)t.setOrder(order);
  backTo(t, rec);
  return rows;
}

bool someoneOpensTools(const std::vector<UserRow>& rows) {
  std::map<std::string, std::vector<AccessRecord>> byPassword;
  for (const UserRow& r : rows) byPassword[r.inicia].push_back(r.access);
  for (const auto& [password, records] : byPassword)
    if (accessOf(records).opens(kToolsGroup)) return true;
  return false;
}

// This screen lives under "&Herramientas": a change that leaves no password able to
// open it could not be undone from inside the program. False after the message when
// `change`, applied to the table's records, would take the last such password away.
bool keepsTools(Session& s, Table& t, const std::function<void(std::vector<UserRow>&)>& change) {
  std::vector<UserRow> rows = userRows(t);
  if (!someoneOpensTools(rows)) return true;
  change(rows);
  if (someoneOpensTools(rows)) return true;
  ui::MSGSTOP(s.messages(),
              "Debe Quedar Una Clave Que Abra Herramientas (Permisos De Usuarios): Cambio No Grabado", kTitle);
  return false;
}

// The function codes a users record may hold: the menu groups and "FUN001", the code
// that names no group (a password whose records are all FUN001 opens every group).
struct FunctionCode {
  const char* code;
  const char* what;
};
const std::vector<FunctionCode>& validFunctions() {
  static const std::vector<FunctionCode> k = [] {
    static const std::map<std::string, const char*> kWhat = {
        {"FECHA", "Fecha De Trabajo"}, {"MAESTROS", "Maestros"},       {"DATOS", "Datos Del Mes"},
        {"PROCESOS", "Procesos"},      {"REPORTES", "Reportes"},       {"AFPNET", "AFPnet Y Bancos"},
        {"SUELDOS", "Sueldos"},        {"HERRAMIENT", "Herramientas"}};
    std::vector<FunctionCode> v;
    for (const std::string& c : functionCodes()) {
      auto it = kWhat.find(c);
      v.push_back({c.c_str(), it == kWhat.end() ? "" : it->second});
    }
    v.push_back({"FUN001", "Ningun Grupo Propio"});
    return v;
  }();
  return k;
}

bool isValidFunction(const std::string& code) {
  const std::string c = trimRight(code);
  for (const auto& f : validFunctions())
    if (c == f.code) return true;
  return false;
}

// The list of valid function codes (F4 on the field): one button per code; the one
// pressed is copied into `code`.
void chooseFunction(ui::Toolkit& tk, std::string& code) {
  const auto& codes = validFunctions();
  ui::Dialog dlg(tk, 2, 10, 4 + static_cast<double>(codes.size()) + 2, 52, "Funciones Validas");
  dlg.labelAt(0.5, 1, "Elija La Funcion:", 100, 10);
  for (size_t i = 0; i < codes.size(); ++i) {
    const std::string chosen = codes[i].code;
    const std::string caption = padTo(chosen, 11) + codes[i].what;
    dlg.buttonAt(1.5 + static_cast<double>(i), 1, caption, 150, 12, [&dlg, &code, chosen] {
      code = padTo(chosen, code.size());
      dlg.end();
    });
  }
  dlg.buttonAt(2 + static_cast<double>(codes.size()), 1, "&Cancelar", 50, 12, [&dlg] { dlg.end(); });
  dlg.activate();
}

void userDialog(Session& s, ui::Toolkit& tk, ui::Browse& br, bool add) {
  Table& t = br.table();
  Form form(t, {{102, "CODIGO", "@!", ""}, {104, "NOMBRE", "@!", ""}, {106, "FUNCION", "@!", ""},
                {114, "INICIA", "@!", ""}});
  int permiso = 1;  // 1 "Si", 2 "No"
  if (add) form.text("FUNCION") = padTo("FUN001", 10);
  uint32_t rec = 0;
  if (!form.start(s, t, add, &rec, [&] { permiso = t.str("ACCESO") == "T" ? 1 : 2; })) return;

  bool saved = false;
  {
    ui::Dialog dlg(tk, "CLAVEEDIT", add ? "Adicionar Registro" : "Modificar Registro");
    // The frame 161 "Permiso:" stays as the template draws it: bound as a label it would
    // be painted over its radio buttons.
    for (int id : {101, 103, 105, 113}) dlg.label(id).colors(ui::color::kBlue, ui::color::kScreen);
    form.bind(dlg, t, ui::color::kBlack, ui::color::kSilver);
    form.control(dlg, "INICIA").password();
    ui::Field& funcion = form.control(dlg, "FUNCION");
    funcion.tooltip("F4: Funciones Validas")
        .lookup([&] {
          if (!funcion.store()) return;
          chooseFunction(tk, form.text("FUNCION"));
          funcion.refresh();
        })
        .valid([&] {
          if (isValidFunction(form.text("FUNCION"))) return true;
          ui::MSGSTOP(s.messages(), "Funcion No Valida: Elija Una De La Lista (F4)", kTitle);
          return false;
        });
    dlg.radio({107, 108}, ui::ref(permiso));
    dlg.bitmapButton(109, "SAVE32.BMP", [&] {
      saved = true;
      dlg.end();
    });
    dlg.bitmapButton(110, "BitMap_91", [&] { dlg.end(); }).cancel();
    dlg.activate();
  }
  selectTable(s, t);
  if (!saved) return returnTo(t, br, rec);
  if (isBlank(form.text("INICIA"))) {
    ui::MSGSTOP(s.messages(), "Error En Ingreso De Datos - Registro NO Grabado", kTitle);
    return returnTo(t, br, rec);
  }
  const std::string acceso = permiso == 1 ? "T" : "F";
  const UserRow edited{add ? 0 : rec, form.text("INICIA"), {form.text("FUNCION"), acceso}};
  if (!keepsTools(s, t, [&](std::vector<UserRow>& rows) {
        if (add) rows.push_back(edited);
        for (UserRow& r : rows)
          if (!add && r.recno == rec) r = edited;
      }))
    return returnTo(t, br, rec);
  saveRecord(s, t, br, rec, add, [&](RecordEdit& e) {
    form.fill(e);
    e.text("ACCESO", permiso == 1 ? "T" : "F");
  });
}

}  // namespace

void F_CLAVE01(Session& s, ui::Toolkit& tk) {
  Table* opened = openInstalled(s, catalog::TableId::Users, "MaeAcce", "Archivo De Accesos-1 No Existe",
                                "Archivo De Accesos-2 No Existe");
  if (!opened) return;
  Table& t = *opened;
  {
    ui::Dialog dlg(tk, "MANTECLAVE", "Mantenimiento Clave/Acceso De Usuarios");
    dlg.setColors(ui::color::kWhite, ui::color::kScreen);
    ui::Browse& br = dlg.browse(101, t);
    br.columnMoving(false).wholeRowCursor(true);
    br.headers({"Codigo", "Proces", "Usuario", "Permiso"}).widths({70, 100, 350, 100}).line([&t] {
      return std::vector<std::string>{t.str("CODIGO"), t.str("FUNCION"), t.str("NOMBRE"),
                                      t.str("ACCESO") == "T" ? "Con Acceso" : "Sin Acceso"};
    });
    struct Entry {
      int id;
      const char* image;
      const char* tooltip;
      std::function<void()> action;
    };
    const Entry entries[] = {
        {102, "adic16", "Adiciona Acceso de Usuarios", [&] { EDITCLAVE(s, tk, br, true); }},
        {103, "edit", "Modifica Acceso de Usuarios", [&] { MODICLAVE(s, tk, br); }},
        {104, "del", "Elimina Acceso de Usuarios",
         [&] {
           const uint32_t rec = t.recno();
           if (!onRecord(t) || keepsTools(s, t, [rec](std::vector<UserRow>& rows) {
                 std::erase_if(rows, [rec](const UserRow& r) { return r.recno == rec; });
               }))
             DELBANCOS(s, tk, br);
         }},
        {105, "b_inv", "Activa/Desactiva Acceso de Usuarios", [&] { PERMI(s, br); }},
        {168, "salir0", "Salir", [&] { dlg.end(); }},
    };
    for (const Entry& e : entries) dlg.bitmapButton(e.id, e.image, e.action).tooltip(e.tooltip);
    dlg.activate();
  }
  s.closeAll();
}

void EDITCLAVE(Session& s, ui::Toolkit& tk, ui::Browse& br, bool add) { userDialog(s, tk, br, add); }
void MODICLAVE(Session& s, ui::Toolkit& tk, ui::Browse& br) { userDialog(s, tk, br, false); }

void PERMI(Session& s, ui::Browse& br) {
  Table& t = br.table();
  selectTable(s, t);
  if (!onRecord(t)) return;
  // Asked first, with "No" as the default: one key too many must not take a password's
  // access away. The flag asked about is the one written.
  const uint32_t rec = t.recno();
  const std::string to = t.str("ACCESO") == "T" ? "F" : "T";
  const std::string question = "Cambia El Permiso De " + trimRight(t.str("NOMBRE")) + " (" +
                               trimRight(t.str("FUNCION")) + ") A " + (to == "T" ? "Con Acceso" : "Sin Acceso") + " ?";
  if (!ui::MSGNOYES(s.messages(), question, kTitle)) return;
  if (keepsTools(s, t, [&](std::vector<UserRow>& rows) {
        for (UserRow& r : rows)
          if (r.recno == rec) r.access.acceso = to;
      }))
    (void)changeRecord(s, t, rec, [&](RecordEdit& e) { e.text("ACCESO", to); });
  settle(br);
}

}  // namespace planilla::admin
