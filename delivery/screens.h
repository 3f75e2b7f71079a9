// "Envio De Boletas Electronicas" (menu "&Reportes"): the company's signing and e-mail
// settings, kept with "Guardar", and the batch of the working month's payslips,
// signed and sent with "Enviar", closing with what was sent and what failed.
#pragma once

#include "delivery/batch.h"
#include "session/session.h"
#include "ui/toolkit.h"

namespace planilla::delivery {

// The screen. `render` turns each payslip's report file into its PDF.
void F_PENVIO01(Session& s, ui::Toolkit& tk, const PdfRenderer& render);

// The renderer of the desktop: this program's own `pdf` command in a child process
// (the screens carry no Qt of their own).
PdfRenderer childProcessRenderer();

// "Boletas Del Mes" (menu "&Reportes", template BoletasMes): every payslip of the
// month, or of the gratification, into one PDF, one PDF per employee in a folder
// (boleta_E0001_2026-12.pdf) or the viewer to print them, with progress; the work
// is writeMonthPayslips (delivery/batch.h). The field holds a folder ("boletas_2026-12"
// in the data directory at first); for one PDF it may name the file, else the PDF
// is "boletas_2026-12.pdf" in that folder.
void F_BOLMES(Session& s, ui::Toolkit& tk, const PdfRenderer& render);

// The closing text of a batch: counts, then the failures one a line.
std::string batchSummary(const BatchResult& r, bool sign, bool send);

}  // namespace planilla::delivery
