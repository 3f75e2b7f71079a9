// The commands a build leaves out (PLANILLA_WITH_QT, PLANILLA_WITH_XLSX and
// PLANILLA_WITH_DELIVERY off, as in the Windows command-line build): they stay in the
// command list and answer, exit 1, that they are not part of this build and why,
// rather than "comando desconocido". Without Qt the other commands' --pdf option
// answers the same way.
#include <ostream>
#include <string>

#include "app/cli/render_pdf.h"
#include "app/commands.h"

namespace planilla {
namespace {

[[maybe_unused]] CommandFn notBuilt(std::string name, std::string missing) {
  return [name, missing](const std::vector<std::string>&, std::ostream&, std::ostream& err) {
    err << "planilla " << name << ": no es parte de esta compilacion (" << missing << ")\n";
    return 1;
  };
}

#ifndef PLANILLA_HAVE_QT
constexpr const char* kNoQt = "se compilo sin Qt: sin pantalla ni PDF";
const CommandRegistration kPdf("pdf", "pdf ENTRADA.rpv SALIDA.pdf   (no es parte de esta compilacion)",
                               notBuilt("pdf", kNoQt));
const CommandRegistration kVer("ver", "ver ARCHIVO.rpv              (no es parte de esta compilacion)",
                               notBuilt("ver", kNoQt));
#endif

#if !defined(PLANILLA_HAVE_QT) || !defined(PLANILLA_HAVE_DELIVERY)
const CommandRegistration kBoletas("boletas", "boletas ...   (no es parte de esta compilacion)",
                                   notBuilt("boletas",
#ifndef PLANILLA_HAVE_QT
                                            kNoQt
#else
                                            "se compilo sin la firma ni el envio de boletas"
#endif
                                            ));
#endif

#ifndef PLANILLA_HAVE_EXPORTS
constexpr const char* kNoXlsx = "se compilo sin los archivos para SUNAT, AFP y bancos ni la hoja de calculo";
const CommandRegistration kExportar("exportar", "exportar ...  (no es parte de esta compilacion)",
                                    notBuilt("exportar", kNoXlsx));
const CommandRegistration kBitacora("bitacora", "bitacora ...  (no es parte de esta compilacion)",
                                    notBuilt("bitacora", kNoXlsx));
#endif

}  // namespace

#ifndef PLANILLA_HAVE_QT
int renderPdf(const std::string&, const std::string&, const std::string& command, std::ostream&, std::ostream& err) {
  err << "planilla " << command << ": la salida en PDF no es parte de esta compilacion (" << kNoQt
      << "); sin --pdf el reporte queda en Test.rpv\n";
  return 1;
}
#endif

}  // namespace planilla
