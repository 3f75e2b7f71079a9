// The main window's menu tree, button bar and About box.
#include <cctype>
#include <set>

#include "app/shell/shell.h"
#include "session/startup.h"
#include "shell_test_util.h"

namespace planilla::shell {
namespace {

using testing::DemoFixture;
using ui::MainWindow;
using ui::MsgKind;

const MainWindow::MenuItem* find(const std::vector<MainWindow::MenuItem>& items, const std::string& caption) {
  for (const auto& m : items) {
    if (!m.separator && m.caption == caption) return &m;
  }
  return nullptr;
}

const MainWindow::MenuItem* at(const MainWindow& w, const std::vector<std::string>& path) {
  const std::vector<MainWindow::MenuItem>* list = &w.menu();
  const MainWindow::MenuItem* hit = nullptr;
  for (const auto& c : path) {
    hit = find(*list, c);
    if (!hit) return nullptr;
    list = &hit->children;
  }
  return hit;
}

std::vector<std::string> captions(const std::vector<MainWindow::MenuItem>& items) {
  std::vector<std::string> out;
  for (const auto& m : items) out.push_back(m.separator ? "-" : m.caption);
  return out;
}

class MenuTest : public DemoFixture {
 protected:
  void SetUp() override {
    DemoFixture::SetUp();
    w = std::make_unique<MainWindow>(tk);
    CREARMENU(*w, s(), tk);
    buildButtonBar(*w, s(), tk);
  }
  std::unique_ptr<MainWindow> w;
};

TEST_F(MenuTest, TopLevelInOrderWithTheirSubmenus) {
  EXPECT_EQ(captions(w->menu()),
            (std::vector<std::string>{"&Fecha", "&Maestros", "Ingreso De &Datos", "&Procesos", "&Reportes", "&AFPnet",
                                      "S&ueldo Detallados", "&Herramientas", "A&cerca De", "&Salir"}));
  for (const char* sub : {"&Fecha", "&Maestros", "Ingreso De &Datos", "&Procesos", "&Reportes", "&AFPnet",
                          "&Herramientas"}) {
    EXPECT_TRUE(at(*w, {sub})->submenu) << sub;
  }
  for (const char* leaf : {"S&ueldo Detallados", "A&cerca De", "&Salir"}) EXPECT_FALSE(at(*w, {leaf})->submenu) << leaf;
}

TEST_F(MenuTest, MenuBarLettersAreUnique) {
  // Alt+letter opens or runs one entry of the bar at once: no letter is shared (a
  // shared one only selects, so "Acerca De" could not be reached past "AFPnet").
  std::set<char> seen;
  for (const auto& m : w->menu()) {
    const size_t amp = m.caption.find('&');
    ASSERT_NE(amp, std::string::npos) << m.caption;
    EXPECT_TRUE(seen.insert(static_cast<char>(std::toupper(static_cast<unsigned char>(m.caption[amp + 1])))).second)
        << m.caption;
  }
}

TEST_F(MenuTest, NestingFollowsTheDepthsOfTheTable) {
  // Third level under the masters, fourth under the reindexing tools.
  const auto* tipos = at(*w, {"&Maestros", "&Tipos"});
  ASSERT_NE(tipos, nullptr);
  EXPECT_EQ(tipos->image, "forms");
  EXPECT_EQ(captions(tipos->children),
            (std::vector<std::string>{"&Tipo Trabajador", "Ti&po Pensionista/Prestador Servicios",
                                      "Tipo Documento &Identidad", "Tipo &Movimiento Personal"}));
  // After the submenu the masters list goes on at its own level.
  const auto& maestros = at(*w, {"&Maestros"})->children;
  EXPECT_EQ(maestros.size(), 11u);
  EXPECT_EQ(maestros[8].caption, "&Empleados General");
  EXPECT_EQ(maestros[8].image, "peoplex.bmp");

  const auto* rein = at(*w, {"&Herramientas", "Reindexamiento De Maestros   "});
  ASSERT_NE(rein, nullptr);
  const auto c = captions(rein->children);
  ASSERT_EQ(c.size(), 13u);
  EXPECT_EQ(c[10], "Tablas &Varias  ");
  EXPECT_EQ(c[11], "-");
  EXPECT_EQ(c[12], "Maestro De &Institucion  ");
  EXPECT_EQ(at(*w, {"&Herramientas", "Reindexamiento De Maestros   ", "Tablas &Varias  "})->children.size(), 4u);

  const auto& tools = captions(at(*w, {"&Herramientas"})->children);
  EXPECT_EQ(tools, (std::vector<std::string>{"Reindexamiento De Maestros   ", "&Ingresos De Trabajador  ",
                                             "Rol De &Vacaciones       ", "Rol De &Gratificaciones  ",
                                             "Datos De &Liquidacion CTS", "-", "Parame&tros",
                                             "Blanquear Maestro Empleados Activos     ", "&Permisos de Usuarios",
                                             "Reindexa &Usuarios", "&Migrar Data Del Sistema", "-",
                                             "Registro De Procesos", "Bitacora De Cambios"}));
  EXPECT_EQ(at(*w, {"&Herramientas", "Parame&tros", "&Sueldos Detallados", "&Sueldo Detallados"})->message,
            "Consulta Detallada de Sueldos");
}

TEST_F(MenuTest, TextsReachTheWindowInTheProgramsCodePage) {
  const auto* rec = at(*w, {"&Reportes", "Record Vacacional"});
  ASSERT_NE(rec, nullptr);
  EXPECT_EQ(rec->message, "Permite Imprimir el Record Vacacional del A\xF1o - Un Trabajador");
  EXPECT_EQ(at(*w, {"A&cerca De"})->message, kBanner);
  EXPECT_EQ(at(*w, {"&Maestros", "Maestro De A.&F.P."})->image, "folder");
}

TEST_F(MenuTest, YearDocumentsAskForTheCompanyAndTheCusppQueryStaysInert) {
  const auto* cert = at(*w, {"&Reportes", "Resumen De Certi&ficado/Aportes  "});
  const auto* afp = at(*w, {"&AFPnet"});
  ASSERT_NE(cert, nullptr);
  ASSERT_NE(afp, nullptr);
  ASSERT_EQ(cert->children.size(), 8u);
  ASSERT_EQ(afp->children.size(), 8u);
  // Every document of the group acts; without a working company each refuses first.
  for (const auto& e : cert->children) {
    EXPECT_TRUE(e.action) << e.caption;
    tk.expectMessage(MsgKind::Stop, "Primero, Elija La Compania Con Que Va a Trabajar (cia)", "Mensaje");
    EXPECT_TRUE(w->choose({"&Reportes", "Resumen De Certi&ficado/Aportes  ", e.caption})) << e.caption;
  }
  // Of the AFPnet entries only the bulk CUSPP query stays inert.
  EXPECT_FALSE(afp->children[0].action);
  EXPECT_TRUE(w->choose({"&AFPnet", afp->children[0].caption}));
  EXPECT_TRUE(tk.dialogs().empty());
  EXPECT_TRUE(tk.ok()) << tk.report();
}

#ifdef PLANILLA_HAVE_EXPORTS
TEST_F(MenuTest, ExportEntriesRunTheirExports) {
  // Without a working company each export refuses at its first check.
  for (int i = 0; i < 8; ++i)
    tk.expectMessage(MsgKind::Stop, "Primero, Elija La Compania Con Que Va a Trabajar (cia)", "Mensaje");
  for (const char* entry : {"Generacion &Planilla Unica", "&Resumen De AFPNet", "&Empleados No Afiliados",
                            "Exportar Planilla Mensual", "Archivos De &Pago Al Banco", "Cuentas De &Cargo Bancarias",
                            "Archivos &T-Registro"})
    EXPECT_TRUE(w->choose({"&AFPnet", entry})) << entry;
  EXPECT_TRUE(w->choose({"&Reportes", "Resumenes De Planilla", "Archivos P&LAME Del Mes"}));
  EXPECT_TRUE(tk.ok()) << tk.report();
}
#endif

TEST_F(MenuTest, BothSueldoDetalladosEntriesCallTheSameScreen) {
  std::vector<std::string> fns;
  for (const auto& r : menuRows()) {
    const std::string c = r.caption;
    if (c == "S&ueldo Detallados" || c == "&Sueldo Detallados") fns.push_back(r.function);
  }
  ASSERT_EQ(fns.size(), 2u);
  EXPECT_EQ(fns[0], "F_SUELDOS");
  EXPECT_EQ(fns[1], "F_SUELDOS");
}

TEST_F(MenuTest, ReindexTypeEntriesAllRunSelectorOne) {
  std::set<std::string> seen;
  bool inTypes = false;
  for (const auto& r : menuRows()) {
    if (r.depth == 2 && std::string(r.caption) == "&Tipos" && r.kind == MenuRow::Kind::Submenu) inTypes = true;
    else if (r.depth <= 2) inTypes = false;
    if (inTypes && r.depth == 3) seen.insert(r.function);
  }
  EXPECT_EQ(seen, (std::set<std::string>{"F_102PLAREIN(1)"}));
}

TEST_F(MenuTest, ButtonBarHasEightButtonsInGroupsWithTheirTexts) {
  const auto& bar = w->bar();
  ASSERT_EQ(bar.size(), 8u);
  for (size_t i = 0; i < 7; ++i) EXPECT_TRUE(bar[i].group) << i;
  EXPECT_FALSE(bar[7].group);
  EXPECT_EQ(bar[0].image, "insti01");
  EXPECT_EQ(bar[0].tooltip, "Elegir Fecha De Trabajo");
  EXPECT_EQ(bar[5].message, "Procesa Planilla Mensual");
  EXPECT_EQ(bar[7].image, "salir");
  EXPECT_EQ(bar[7].image2, "salir0");
  EXPECT_EQ(bar[7].tooltip, "Salir Del Sistema");
  // Built screens are wired; the others stay inert.
  EXPECT_TRUE(bar[0].action);
  EXPECT_TRUE(bar[5].action);
  EXPECT_TRUE(bar[7].action);
}

TEST_F(MenuTest, WiredEntriesOpenTheirScreens) {
  tk.expectDialog("ELEGIRCIA")
      .close()
      .expectMessage(MsgKind::Stop, "Ingrese Fecha Del Sistema", "Mensaje")
      .expectDialog("ELEGIRCIA")
      .close()
      .expectMessage(MsgKind::Stop, "Ingrese Fecha Del Sistema", "Mensaje");
  EXPECT_TRUE(w->choose({"&Fecha", "&Elegir Fecha De Trabajo"}));
  EXPECT_TRUE(w->pressBar(0));
  EXPECT_TRUE(tk.ok()) << tk.report();

  // Without a working date the screens refuse with their own messages.
  tk.reset();
  tk.expectMessage(MsgKind::Stop, "Maestro Tipo De Cambio No Existe  ", "Stop")
      .expectMessage(MsgKind::Stop, "Maestro Tipo De Cambio No Existe  ", "Stop")
      .expectMessage(MsgKind::Stop, "Primero, Elija La Compania Con Que Va a Trabajar (cia)", "Stop");
  EXPECT_TRUE(w->choose({"&Procesos", "Calculo De Planilla        "}));
  EXPECT_TRUE(w->choose({"&Procesos", "Calculo De Gratificacion"}));
  EXPECT_TRUE(w->choose({"&Reportes", "Boletas De Pagos"}));
  EXPECT_TRUE(tk.ok()) << tk.report();
}

#ifdef PLANILLA_HAVE_MASTERS
TEST_F(MenuTest, MasterEntriesReachTheMaintenanceScreens) {
  EXPECT_TRUE(at(*w, {"&Maestros", "&Bancos"})->action);
  EXPECT_TRUE(at(*w, {"&Maestros", "&Situacion"})->action);
  EXPECT_TRUE(at(*w, {"&Maestros", "&Tipos", "Ti&po Pensionista/Prestador Servicios"})->action);
  // The reindexing entry of the same caption is not the maintenance screen but its
  // utility, which asks for a working date first.
  tk.expectMessage(MsgKind::Stop, "Primero, Ingrese Fecha", "Mensaje");
  EXPECT_TRUE(w->choose({"&Herramientas", "Reindexamiento De Maestros   ", "&Bancos"}));
  EXPECT_TRUE(tk.ok()) << tk.report();
  // Entries that have no function at all stay inert.
  EXPECT_FALSE(at(*w, {"&AFPnet", "Consulta CUSPP &Masiva"})->action);
}

TEST_F(MenuTest, AnnualTablesOpenTheirScreens) {
  // Without a working company each screen refuses at its first check, which proves the
  // entry runs the screen and not the "in development" notice.
  for (const char* entry : {"Tabla Antes De &Planilla", "Tabla De &Haberes", "Tabla De &Retenciones", "Tabla De &Aportes"}) {
    tk.expectMessage(MsgKind::Stop, "Primero, Elija La Compania Con Que Va a Trabajar (cia)", "Mensaje");
    EXPECT_TRUE(w->choose({"&Maestros", "Tablas &Varias  ", entry})) << entry;
  }
  EXPECT_TRUE(tk.ok()) << tk.report();
}
#endif

#ifdef PLANILLA_HAVE_INPUTS
TEST_F(MenuTest, InputEntriesAndButtonsOpenTheirScreens) {
  // Without a working company each screen refuses with its own first message.
  const std::string ask = "Primero, Elija La Compania Con Que Va a Trabajar";
  struct Entry {
    std::vector<std::string> path;
    MsgKind kind;
    std::string text, title;
  };
  const std::vector<Entry> entries = {
      {{"Ingreso De &Datos", "&Ingresos De Trabajador  "}, MsgKind::Stop, ask, "Mensaje"},
      {{"Ingreso De &Datos", "Rol De &Vacaciones       "}, MsgKind::Stop, ask + " (cia)", "Stop"},
      {{"Ingreso De &Datos", "Rol De &Gratificaciones  "}, MsgKind::Stop, ask + " (cia)", "Stop"},
      {{"Ingreso De &Datos", "Datos De &Liquidacion CTS"}, MsgKind::Stop, ask + " (cia)", "Mensaje"},
      {{"S&ueldo Detallados"}, MsgKind::Stop, ask, "Mensaje"},
      {{"&Herramientas", "Parame&tros", "&Gratificacion", "&Gratificacion Calculada"}, MsgKind::Stop, ask, "Mensaje"},
  };
  for (const auto& e : entries) {
    tk.expectMessage(e.kind, e.text, e.title);
    EXPECT_TRUE(w->choose(e.path)) << e.path.back();
  }
  // The bar's overtime, vacation and CTS buttons.
  tk.expectMessage(MsgKind::Stop, ask, "Mensaje")
      .expectMessage(MsgKind::Stop, ask + " (cia)", "Stop")
      .expectMessage(MsgKind::Stop, ask + " (cia)", "Mensaje");
  EXPECT_TRUE(w->pressBar(3));
  EXPECT_TRUE(w->pressBar(4));
  EXPECT_TRUE(w->pressBar(6));
  EXPECT_TRUE(tk.ok()) << tk.report();
}
#endif

// A password limited to the reports (its only record names REPORTES): every other group
// is greyed and cannot be chosen, but for the working date, which every screen needs.
TEST_F(MenuTest, APasswordLimitedToReportsSeesTheOtherGroupsDisabled) {
  {
    auto t = catalog::openTable(platformFileSystem(), dir.path(), s().def(catalog::TableId::Users), OpenMode::Exclusive);
    ASSERT_TRUE(t.isOk());
    // The processes' record says "F": that group stays closed like those without one.
    for (auto [function, access] : {std::pair{"REPORTES", "T"}, std::pair{"PROCESOS", "F"}}) {
      ASSERT_TRUE((*t)->appendBlank().isOk());
      ASSERT_TRUE((*t)->replace("FUNCION", function).isOk());
      ASSERT_TRUE((*t)->replace("ACCESO", access).isOk());
      ASSERT_TRUE((*t)->replace("INICIA", "REP1").isOk());
    }
    (*t)->close();
  }
  VALACEPTAR(s(), "REP1", kLoginUser);
  ASSERT_TRUE(s().LACCESO);
  MainWindow m(tk);
  CREARMENU(m, s(), tk);
  buildButtonBar(m, s(), tk);
  for (const auto& item : m.menu()) {
    const bool open = item.caption == "&Reportes" || item.caption == "&Fecha" || item.caption == "A&cerca De" ||
                      item.caption == "&Salir";
    EXPECT_EQ(item.enabled, open) << item.caption;
  }
  EXPECT_TRUE(at(m, {"&Fecha", "&Elegir Fecha De Trabajo"})->enabled);
  EXPECT_FALSE(at(m, {"&Fecha", "&Institucion"})->enabled);
  EXPECT_TRUE(at(m, {"&Reportes", "Resumenes De Planilla", "Resumen &PDT-Sunat Del Mes       "})->enabled);
  EXPECT_FALSE(m.choose({"&Procesos", "Calculo De Planilla        "}));
  EXPECT_FALSE(m.choose({"&Herramientas", "&Permisos de Usuarios"}));
  // The bar: the working date and exit open; masters, inputs and the run greyed.
  std::vector<bool> enabled;
  for (const auto& b : m.bar()) enabled.push_back(b.enabled);
  EXPECT_EQ(enabled, (std::vector<bool>{true, false, false, false, false, false, false, true}));
  EXPECT_FALSE(m.pressBar(5));
  EXPECT_TRUE(tk.ok()) << tk.report();
}

TEST_F(MenuTest, AboutShowsTheContactDataReadOnly) {
  tk.expectDialog("ACERCATHKYL", kBanner)
      .inspect([](ui::Dialog& d) {
        for (int id : {102, 104, 106, 108, 110}) {
          ui::Field* f = d.fieldById(id);
          ASSERT_NE(f, nullptr) << id;
          EXPECT_TRUE(f->isReadOnly()) << id;
          EXPECT_NE(f->text().find_first_not_of(' '), std::string::npos) << id;
        }
        EXPECT_FALSE(d.centered());
      })
      .expectText(101, "Correo :")
      .expectText(109, "Telefono :")
      .press(301);
  EXPECT_TRUE(w->choose({"A&cerca De"}));
  EXPECT_TRUE(tk.ok()) << tk.report();
}

TEST_F(MenuTest, SalirClosesTheWindow) {
  EXPECT_FALSE(w->closed());
  EXPECT_TRUE(w->choose({"&Salir"}));
  EXPECT_TRUE(w->closed());
}

}  // namespace
}  // namespace planilla::shell
