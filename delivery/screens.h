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

// The closing text of a batch: counts, then the failures one a line.
std::string batchSummary(const BatchResult& r, bool sign, bool send);

}  // namespace planilla::delivery
