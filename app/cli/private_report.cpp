// A command's own report file (app/cli/render_pdf.h), apart from the PDF step so that
// a build without Qt has it too.
#include "app/cli/render_pdf.h"
#include "reports/rpv_writer.h"
#include "store/catalog.h"
#include "store/platform.h"

namespace planilla {

PrivateReport::PrivateReport(Session& s) : s_(s), name_(reports::privateReportName()) {
  // Files of this kind left by killed commands go first.
  reports::removeStalePrivateReports(s.dataDir());
  s_.reportFile = name_;
}

PrivateReport::~PrivateReport() {
  s_.reportFile.clear();
  if (!published_) platform::removeFile(path());
}

std::string PrivateReport::path() const { return catalog::joinPath(s_.dataDir(), name_); }

Status PrivateReport::publish() {
  published_ = true;
  s_.reportFile.clear();
  return reports::publishReport(s_.dataDir(), name_);
}

}  // namespace planilla
