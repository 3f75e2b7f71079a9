// The main window's command table: the menu bar (CREARMENU) and the button bar. Each
// entry names the screen function it calls; screenAction() turns the name into the
// call. Entries without a function stay inert; a named screen this build lacks says
// so when chosen ("Opcion En Desarrollo").
#include "app/shell/shell.h"
#include "app/shell/month_status.h"
#include "calc/screens.h"
#include "reports/payslip_screen.h"
#include "reports/report_screens.h"
#include "ui/messages.h"
#include "ui/text1252.h"

#ifdef PLANILLA_HAVE_MASTERS
#include "masters/screens.h"
#endif
#ifdef PLANILLA_HAVE_INPUTS
#include "inputs/screens.h"
#endif
#ifdef PLANILLA_HAVE_EXPORTS
#include "exports/screens.h"
#endif
#ifdef PLANILLA_HAVE_ADMIN
#include "admin/screens.h"
#endif
#ifdef PLANILLA_HAVE_DELIVERY
#include "delivery/screens.h"
#endif

namespace planilla::shell {

namespace {

using K = MenuRow::Kind;
constexpr const char* kEdit = "Permite Adicionar,Modificar,Borrar Registro Del Archivo";

// The function code (users table, FUNCION) of each top-level group of the menu, in the
// order of functionCodes(); "A&cerca De" and "&Salir" belong to none and always open.
const char* groupCode(const std::string& topCaption) {
  static const std::pair<const char*, const char*> k[] = {
      {"&Fecha", "FECHA"},       {"&Maestros", "MAESTROS"}, {"Ingreso De &Datos", "DATOS"},
      {"&Procesos", "PROCESOS"}, {"&Reportes", "REPORTES"}, {"&AFPnet", "AFPNET"},
      {"S&ueldo Detallados", "SUELDOS"}, {"&Herramientas", "HERRAMIENT"}};
  for (const auto& [caption, code] : k)
    if (topCaption == caption) return code;
  return "";
}

// Choosing the working date opens for every password: each screen needs one.
bool alwaysOpen(const std::string& function) { return function == "F_I00001"; }

bool opens(const Session& s, const std::string& group, const std::string& function) {
  return group.empty() || alwaysOpen(function) || s.allows(group);
}

// The group of a screen function: that of the first menu entry that calls it.
std::string groupOfFunction(const std::string& function) {
  std::string group;
  for (const MenuRow& r : menuRows()) {
    if (r.depth == 0) group = groupCode(r.caption);
    if (r.kind == MenuRow::Kind::Entry && function == r.function) return group;
  }
  return "";
}

}  // namespace

const std::vector<MenuRow>& menuRows() {
  static const std::vector<MenuRow> rows = {
      {0, K::Submenu, "&Fecha", "Permite Elegir Fecha De Trabajo", "", ""},
      {1, K::Entry, "&Elegir Fecha De Trabajo", "Permite Elegir La Fecha De Trabajo", "F14.bmp", "F_I00001"},
      {1, K::Entry, "&Institucion", kEdit, "I14.bmp", "F_I00002"},

      {0, K::Submenu, "&Maestros", "Permite Crear, Dar Mantenimiento  A Las Tablas Del Sistema", "", ""},
      {1, K::Entry, "Empleados &Activos      ", kEdit, "A14.bmp", "F_PJLG02"},
      {1, K::Entry, "&Centro De Costos", kEdit, "C14.bmp", "F_PJLG04(1)"},
      {1, K::Entry, "&Situacion", kEdit, "S14.ico", "F_PJLG04(7)"},
      {1, K::Entry, "&Porcentajes", kEdit, "P14.bmp", "F_PJLG05"},
      {1, K::Entry, "&Bancos", kEdit, "B14.bmp", "F_BJLG01"},
      {1, K::Entry, "&Tipo De Cambios", kEdit, "T14.bmp", "F_PJLG11"},
      {1, K::Entry, "Maestro De A.&F.P.", kEdit, "folder", "F_PJLG06"},
      {1, K::Submenu, "&Tipos", kEdit, "forms", ""},
      {2, K::Entry, "&Tipo Trabajador", kEdit, "T14.bmp", "F_PJLG04(8)"},
      {2, K::Entry, "Ti&po Pensionista/Prestador Servicios", kEdit, "S14.ico", "F_PJLG04(3)"},
      {2, K::Entry, "Tipo Documento &Identidad", kEdit, "I14.bmp", "F_PJLG04(9)"},
      {2, K::Entry, "Tipo &Movimiento Personal", kEdit, "P14.bmp", "F_PJLG04(10)"},
      {1, K::Entry, "&Empleados General", kEdit, "peoplex.bmp", "F_PJLG01"},
      {1, K::Entry, "&Planilla Unica", kEdit, "U14.bmp", "F_PJLG04(2)"},
      {1, K::Submenu, "Tablas &Varias  ", kEdit, "forms", ""},
      {2, K::Entry, "Tabla Antes De &Planilla", "Permite Registrar Haberes Del Personal", "P14.bmp", "F_PJLG20"},
      {2, K::Entry, "Tabla De &Haberes", "Permite Registrar Haberes Del Personal", "H14.bmp", "F_PJLG21(1)"},
      {2, K::Entry, "Tabla De &Retenciones", "Permite Registrar Retenciones Del Personal", "R14.bmp", "F_PJLG21(2)"},
      {2, K::Entry, "Tabla De &Aportes", "Permite Registrar Retenciones Del Personal", "A14.bmp", "F_PJLG19"},

      {0, K::Submenu, "Ingreso De &Datos", "Permite Registrar Datos, Para Elaborar Las Boletas", "", ""},
      {1, K::Entry, "&Ingresos De Trabajador  ", "Datos Para Planillas Ingresos/Descuentos/Horas Extras", "I14.bmp",
       "F_PFMR201"},
      {1, K::Entry, "Rol De &Vacaciones       ", "Ingreso De Datos Para Vacaciones", "V141.bmp", "F_PFMR202"},
      {1, K::Entry, "Rol De &Gratificaciones  ", "Ingreso De Datos Para Gratificaciones", "G14.bmp", "F_PFMR203"},
      {1, K::Entry, "Datos De &Liquidacion CTS", "Ingreso De Datos Para Liquidacion de CTS", "CTS14.bmp", "F_CTS"},

      {0, K::Submenu, "&Procesos", "Realiza Calculos de Planilla Mensual/Anual", "", ""},
      {1, K::Entry, "Calculo De Planilla        ", "Permite Calcular la Planilla", "wait14.bmp", "F_P301"},
      {1, K::Entry, "Calculo De Gratificacion", "Permite Calcular Las Gratificaciones", "", "F_P305"},
      {1, K::Entry, "Liquidacion De Beneficios Sociales", "Permite Liquidar Los Beneficios De Un Trabajador Que Cesa",
       "", "F_LIQBEN"},
      {1, K::Entry, "Estado Del Mes", "Lo Hecho Y Lo Pendiente Del Mes: Datos, Calculos, Archivos Y Boletas", "",
       "F_ESTMES"},

      {0, K::Submenu, "&Reportes", "Permite Imprimir Boletas/Resumenes", "", ""},
      {1, K::Entry, "Boletas De Pagos", "Permite Imprimir Boletas Pagos", "", "F_P401"},
      {1, K::Entry, "Boletas De Gratificaciones ", "Permite Imprimir Boletas Gratificaciones", "", "F_P403"},
      {1, K::Entry, "Record Vacacional", "Permite Imprimir el Record Vacacional del Año - Un Trabajador", "",
       "F_P429"},
      {1, K::Entry, "Boletas Del Mes", "Todas Las Boletas Del Mes En Un PDF, Un PDF Por Trabajador O A La Impresora",
       "", "F_BOLMES"},
      {1, K::Entry, "Envio De Boletas Electronicas", "Permite Firmar y Enviar Por Correo Las Boletas Del Mes", "",
       "F_PENVIO01"},
      {1, K::Submenu, "Resumenes De Planilla", "Permite Imprimir Reportes Varios", "", ""},
      {2, K::Entry, "Resumen Planilla Mensual (&Soles)    ", "Permite Imprimir Libro Planilla Mensual en SOLES", "",
       "F_P406"},
      {2, K::Entry, "Resumen &PDT-Sunat Del Mes       ", "Permite Imprimir Resumen PDT-Sunat Mensual", "",
       "F_XXP404"},
      {2, K::Entry, "Archivos P&LAME Del Mes", "Permite Generar Los Archivos De Importacion Del PDT-PLAME Del Mes", "",
       "F_PLAME01"},
      {2, K::Entry, "Resumen Planilla Gratificacion (&Soles)",
       "Permite Imprimir Planilla de Gratificaciones en SOLES", "", "F_P402"},
      {2, K::Entry, "Resumen &Aportes Previsionales   ", "Permite Imprimir Resumen Aportes Previsionales ", "",
       "F_XXP405"},
      {2, K::Entry, "Resumen Pagos Netos (S&oles)   ",
       "Permite Imprimir Resumen Pagos Netos Mensual Soles  (426-3)  ", "", "F_P426(3)"},
      {1, K::Submenu, "&Liquidacion Semestral De CTS", "Permite Imprimir Relacion Deposito CTS, Certificado CTS", "",
       ""},
      {2, K::Entry, "&Certificado De CTS", "Permite Imprimir Liquidacion CTS Semestral", "", "F_P430"},
      {2, K::Entry, "Depositos CTS Netos (&Soles)", "Permite Imprimir Depositos CTS  Netos", "", "F_P431(3)"},
      {2, K::Entry, "Depositos CTS Netos (&Dolares)", "Permite Imprimir Depositos CTS  Netos", "", "F_P431(2)"},
      {1, K::Submenu, "Resumen De Certi&ficado/Aportes  ",
       "Permite Imprimir Resumen de Certificado 5ta. - Aportes Previsionales", "", ""},
      {2, K::Entry, "Resumen Retencion de &Quinta Categ. ",
       "Permite Imprimir Resumen de Retenciones de Quinta Categoria del Trabajador  (424)  ", "", "F_P424"},
      {2, K::Entry, "Resumen Aportes &Previsionales      ",
       "Permite Imprimir Resumen de Aportes Previsionales Anual del Trabajador  (425)  ", "", "F_P425"},
      {2, K::Entry, "&Certificado Quinta Categoria ",
       "Permite Imprimir Certificado de Retenciones de Quinta Categoria del Trabajador  (419)  ", "", "F_P419"},
      {2, K::Entry, "Resumen Retencion x &Aportes ",
       "Permite Imprimir Certificado de Retencion por Aportes al Sistemas de Pensiones del Trabajador  (414)  ", "",
       "F_P414"},
      {2, K::Entry, "Comprobante &Retencion x Aportes ",
       "Permite Imprimir Comprobante de Retencion por Aportes al Sistemas de Pensiones del Trabajador  (420)  ", "",
       "F_P420"},
      {2, K::Entry, "&Liquidacion Anual Aportes/Retenciones AFP",
       "Permite Exportar la  Liquidacion Anual de Aportes y Retenciones Previsionales  AFP  (428)", "", "F_P428"},
      {2, K::Entry, "Liquidacion &Anual Aportes/Retenciones EsSalud",
       "Permite Imprimir LIquidacion Anual Aportes y Retenciones de la Seguridad Social", "", "F_PESSALUD"},
      {2, K::Entry, "Costo de Planilla Mensual x Proyecto  ", "Permite saber el Costo de la Planilla Mensual x Proyecto",
       "", "F_PCOSTOCC"},

      {0, K::Submenu, "&AFPnet", "Declaracion y Pago de Aportes AFPs", "", ""},
      {1, K::Entry, "Consulta CUSPP &Masiva", "Permite Consultar los Cuspp en Bloque", "", ""},
      {1, K::Entry, "Generacion &Planilla Unica", "Permite Generar la PLANILLA UNICA Mensual a Pagar", "", "F_AFPNET01"},
      {1, K::Entry, "&Resumen De AFPNet", "Permite Generar Resumen de AFPNet Del Mes", "", "F_AFPNET02"},
      {1, K::Entry, "&Empleados No Afiliados", "Permite Listar Empleados No Afiliados a AFPs", "", "F_AFPNET03"},
      {1, K::Entry, "Exportar Planilla Mensual", "Permite Exportar  PLANILLA Mensual a Excel", "", "F_AFPNET04"},
      {1, K::Entry, "Archivos De &Pago Al Banco", "Permite Generar Los Archivos De Abono De Haberes Para El Banco", "",
       "F_BANCO01"},
      {1, K::Entry, "Cuentas De &Cargo Bancarias", "Permite Registrar Las Cuentas De Cargo De La Empresa", "",
       "F_BJLG02"},
      {1, K::Entry, "Archivos &T-Registro", "Permite Generar los Archivos de Altas y Bajas del T-Registro", "",
       "F_TREG01"},

      // Menu-bar accelerators are one letter each (an Alt+letter shared by two entries
      // only selects): the daily entries keep their first letter, the rarer ones
      // take another of their caption.
      {0, K::Entry, "S&ueldo Detallados", "Consulta Detallada de Sueldos", "", "F_SUELDOS"},

      {0, K::Submenu, "&Herramientas", "Permite Reindexar Las Tablas", "", ""},
      {1, K::Submenu, "Reindexamiento De Maestros   ", "Reindexa Los Archivos Maestro Del Sistema", "", ""},
      {2, K::Entry, "Empleados &Activos", kEdit, "A14.bmp", "F_102PLAREIN(11)"},
      {2, K::Entry, "&Centro De Costos", kEdit, "C14.bmp", "F_102PLAREIN(12)"},
      {2, K::Entry, "&Situacion", kEdit, "S14.ico", "F_102PLAREIN(13)"},
      {2, K::Entry, "&Porcentajes", kEdit, "P14.bmp", "F_102PLAREIN(14)"},
      {2, K::Entry, "&Bancos", kEdit, "B14.bmp", "F_102PLAREIN(15)"},
      {2, K::Entry, "&Tipo De Cambios", kEdit, "T14.bmp", "F_102PLAREIN(16)"},
      {2, K::Entry, "Maestro De A.&F.P.", kEdit, "folder", "F_102PLAREIN(17)"},
      {2, K::Submenu, "&Tipos", kEdit, "forms", ""},
      {3, K::Entry, "&Tipo Trabajador", kEdit, "T14.bmp", "F_102PLAREIN(1)"},
      {3, K::Entry, "Ti&po Pensionista/Prestador Servicios", kEdit, "S14.ico", "F_102PLAREIN(1)"},
      {3, K::Entry, "Tipo Documento &Identidad", kEdit, "I14.bmp", "F_102PLAREIN(1)"},
      {3, K::Entry, "Tipo &Movimiento Personal", kEdit, "P14.bmp", "F_102PLAREIN(1)"},
      {2, K::Entry, "&Empleados General", kEdit, "peoplex.bmp", "F_102PLAREIN(1)"},
      {2, K::Entry, "&Planilla Unica", kEdit, "u14.bmp", "F_102PLAREIN(1)"},
      {2, K::Submenu, "Tablas &Varias  ", kEdit, "forms", ""},
      {3, K::Entry, "Tabla Antes De &Planilla", "Permite Registrar Haberes Del Personal", "P14.bmp", "F_102PLAREIN(1)"},
      {3, K::Entry, "Tabla De &Haberes", "Permite Registrar Haberes Del Personal", "H14.bmp", "F_102PLAREIN(1)"},
      {3, K::Entry, "Tabla De &Retenciones", "Permite Registrar Retenciones Del Personal", "R14.bmp",
       "F_102PLAREIN(1)"},
      {3, K::Entry, "Tabla De &Aportes", "Permite Registrar Retenciones Del Personal", "A14.bmp", "F_102PLAREIN(1)"},
      {2, K::Separator, "", "", "", ""},
      {2, K::Entry, "Maestro De &Institucion  ", "Reindexa Maestro De Companias", "I14.bmp", "F_102PLAREIN(5)"},
      {1, K::Entry, "&Ingresos De Trabajador  ", "Datos Para Planillas Ingresos/Descuentos/Horas Extras", "I14.bmp",
       "F_102PLAREIN(6)"},
      {1, K::Entry, "Rol De &Vacaciones       ", "Ingreso De Datos Para Vacaciones", "V141.bmp", "F_102PLAREIN(7)"},
      {1, K::Entry, "Rol De &Gratificaciones  ", "Ingreso De Datos Para Gratificaciones", "G14.bmp",
       "F_102PLAREIN(8)"},
      {1, K::Entry, "Datos De &Liquidacion CTS", "Ingreso De Datos Para Liquidacion de CTS", "CTS14.bmp",
       "F_102PLAREIN(9)"},
      {1, K::Separator, "", "", "", ""},
      {1, K::Submenu, "Parame&tros", "Parametros Del Sistema", "", ""},
      {2, K::Submenu, "&Sueldos Detallados", "Informacion de Sueldos", "", ""},
      {3, K::Entry, "&Sueldo Detallados", "Consulta Detallada de Sueldos", "", "F_SUELDOS"},
      {3, K::Entry, "&Reindexa Sueldos", "Reindexa El Archivo Sueldos Calculados", "", "F_102PLAREIN(18)"},
      {2, K::Submenu, "&Gratificacion", "Informacion de Gratificaciones", "", ""},
      {3, K::Entry, "&Gratificacion Calculada", kEdit, "", "F_GRATIFI"},
      {3, K::Entry, "&Reindexa Gratificaciones", "Reindexa El Archivo Sueldos Calculados", "", "F_102PLAREIN(19)"},
      {2, K::Entry, "Parame&tros Contables", "Parametros Contables Del Sistema", "", "F_VJLG99"},
      {2, K::Entry, "P&arametros Contables", "Reindexa El Archivo Parametros Contables", "", "F_109REIN(1)"},
      {1, K::Entry, "Blanquear Maestro Empleados Activos     ", "Blanquea el Maestro de Empleados Activos Mensual ",
       "movcaja4.bmp", "F_P888"},
      {1, K::Entry, "&Permisos de Usuarios", "Permiso de Usuarios", "", "F_CLAVE01"},
      {1, K::Entry, "Reindexa &Usuarios", "Reindexa EL Archivo de KylUsuarios", "", "F_105REIN(5)"},
      {1, K::Submenu, "&Migrar Data Del Sistema", "Permite Migrar la Data del Sistema", "", ""},
      {2, K::Entry, "Migrar Data Empleados", "Permite Migrar Data Maestro Empleados", "", "F_MAESEMPLEADATA"},
      {1, K::Separator, "", "", "", ""},
      {1, K::Entry, "Registro De Procesos", "Calculos Y Exportaciones: Quien, Cuando Y Con Que Totales", "",
       "F_REGPROC"},
      {1, K::Entry, "Bitacora De Cambios", "Cambios Hechos En Pantalla, Campo Por Campo", "", "F_BITACORA"},

      {0, K::Entry, "A&cerca De", kBanner, "", "XMAINXXX"},
      {0, K::Entry, "&Salir", "Salir Del Sistema", "", "XEXIT"},
  };
  return rows;
}

const std::vector<BarRow>& barRows() {
  static const std::vector<BarRow> rows = {
      {"insti01", "", "Permite Elegir Fecha De Trabajo", "Elegir Fecha De Trabajo", true, "F_I00001"},
      {"A1.bmp", "", kEdit, "Maestro Trabajadores Activos", true, "F_PJLG02"},
      {"peoplex.bmp", "", kEdit, "Maestro De Empleados General", true, "F_PJLG01"},
      {"I.bmp", "", kEdit, "Registra Horas Extras, Ingresos Varios", true, "F_PFMR201"},
      {"V.bmp", "", kEdit, "Registra Rol Vacaciones Del Personal", true, "F_PFMR202"},
      {"wait14.bmp", "", "Procesa Planilla Mensual", "Procesa Planilla Mensual", true, "F_P301"},
      {"cts.bmp", "", "Calcula CTS de Trabajadores", "Calcula CTS de Trabajadores", true, "F_CTS"},
      {"salir", "salir0", "Salir Del Sistema", "Salir Del Sistema", false, "XEXIT"},
  };
  return rows;
}

std::function<void()> screenAction(const std::string& function, Session& s, ui::Toolkit& tk, ui::MainWindow& w) {
  // The checklist's lines open their screens as the menu does: only those the
  // password may open.
  auto openStep = [&s, &tk, &w](const std::string& f) {
    if (!opens(s, groupOfFunction(f), f)) {
      ui::MSGSTOP(s.messages(), "Su Clave No Tiene Acceso A Esta Opcion", "Mensaje");
      return;
    }
    if (auto action = screenAction(f, s, tk, w)) action();
  };
  if (function == "F_I00001")
    return [&s, &tk, &w, openStep] {
      if (F_I00001(s, tk, &w) && s.monthStatusOnOpening && showMonthStatusOnOpening(s)) F_ESTMES(s, tk, openStep);
    };
  if (function == "F_ESTMES") return [&s, &tk, openStep] { F_ESTMES(s, tk, openStep); };
  if (function.empty()) return {};
  if (function == "F_P301") return [&s, &tk] { calc::F_P301(s, tk); };
  if (function == "F_P305") return [&s, &tk] { calc::F_P305(s, tk); };
  if (function == "F_P401") return [&s, &tk] { reports::F_P401(s, tk); };
  if (auto report = reports::findReportScreen(function)) return [report, &s, &tk] { report(s, tk); };
  if (function == "XMAINXXX") return [&s, &tk] { XMAINXXX(s, tk); };
  if (function == "XEXIT") return [&s, &w] { XEXIT(s, w); };
#ifdef PLANILLA_HAVE_MASTERS
  if (const masters::ScreenEntry* e = masters::findScreen(function)) {
    auto run = e->run;
    return [run, &s, &tk] { run(s, tk); };
  }
#endif
#ifdef PLANILLA_HAVE_INPUTS
  if (const inputs::ScreenEntry* e = inputs::findScreen(function)) {
    auto run = e->run;
    return [run, &s, &tk] { run(s, tk); };
  }
#endif
#ifdef PLANILLA_HAVE_EXPORTS
  if (const exports::ScreenEntry* e = exports::findScreen(function)) {
    auto run = e->run;
    return [run, &s, &tk] { run(s, tk); };
  }
#endif
#ifdef PLANILLA_HAVE_ADMIN
  if (const admin::ScreenEntry* e = admin::findScreen(function)) {
    auto run = e->run;
    return [run, &s, &tk] { run(s, tk); };
  }
#endif
#ifdef PLANILLA_HAVE_DELIVERY
  if (function == "F_PENVIO01")
    return [&s, &tk] { delivery::F_PENVIO01(s, tk, delivery::childProcessRenderer()); };
  if (function == "F_BOLMES") return [&s, &tk] { delivery::F_BOLMES(s, tk, delivery::childProcessRenderer()); };
#endif
  return [&s] { ui::MSGINFO(s.messages(), "Opcion En Desarrollo", "Mensaje"); };
}

void CREARMENU(ui::MainWindow& w, Session& s, ui::Toolkit& tk) {
  int open = 0;  // submenus begun and not yet ended
  std::string group;  // function code of the top-level group being built
  for (const MenuRow& r : menuRows()) {
    while (open > r.depth) {
      w.endMenu();
      --open;
    }
    if (r.depth == 0) group = groupCode(r.caption);
    switch (r.kind) {
      case MenuRow::Kind::Submenu:
        // A group the password may not open is greyed whole, but for the one that holds
        // the working date.
        w.beginMenu(ui::utf8To1252(r.caption), ui::utf8To1252(r.message), r.image,
                    opens(s, group, "") || (r.depth == 0 && groupOfFunction("F_I00001") == group));
        ++open;
        break;
      case MenuRow::Kind::Entry:
        w.add(ui::utf8To1252(r.caption), ui::utf8To1252(r.message), screenAction(r.function, s, tk, w), r.image,
              opens(s, group, r.function));
        break;
      case MenuRow::Kind::Separator:
        w.add();
        break;
    }
  }
  while (open-- > 0) w.endMenu();
}

void buildButtonBar(ui::MainWindow& w, Session& s, ui::Toolkit& tk) {
  for (const BarRow& r : barRows()) {
    ui::MainWindow::BarButton b;
    b.image = r.image;
    b.image2 = r.image2;
    b.message = ui::utf8To1252(r.message);
    b.tooltip = ui::utf8To1252(r.tooltip);
    b.group = r.group;
    b.action = screenAction(r.function, s, tk, w);
    b.enabled = opens(s, groupOfFunction(r.function), r.function);
    w.addBarButton(std::move(b));
  }
}

}  // namespace planilla::shell
