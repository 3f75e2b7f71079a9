#include "reports/rpv_writer.h"

#include <dirent.h>
#include <fcntl.h>
#include <strings.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "reports/report_format.h"

namespace planilla::reports {

RpvWriter::RpvWriter(std::string dataDir) : dir_(dataDir.empty() ? "." : std::move(dataDir)) {}

void RpvWriter::settings(const ReportSettings& s) {
  line("Report_Title=" + s.title);
  line("PaperSize=A4");
  line("Orientation=" + std::to_string(s.orientation));
  line("Spacing=" + std::to_string(s.spacing));
  line("$c00=" + std::to_string(s.c00));
  if (s.payslipMark) line("$caa=w3");
  std::vector<int> stops = columnStops(s.base, s.widths);
  for (size_t i = 0; i < stops.size(); ++i)
    line("$c" + NUM_CAR(static_cast<double>(i + 1), 2) + "=" + std::to_string(stops[i]));
}

void RpvWriter::PRINTLINE(std::string_view text) { text_.append(text); }

void RpvWriter::line(std::string_view text) {
  text_.append(text);
  text_.append(kCrLf);
}

std::string RpvWriter::path() const { return dir_ + "/" + kReportFile; }

Status RpvWriter::close() {
  PLANILLA_RETURN_IF_ERROR(writeFileAtomically(path(), text_));
  // Remove other spellings of the report name ("test.rpv", "TEST.RPV") so a viewer
  // started on either form cannot show a stale report.
  if (DIR* d = ::opendir(dir_.c_str())) {
    std::vector<std::string> stale;
    while (dirent* e = ::readdir(d)) {
      if (::strcasecmp(e->d_name, kReportFile) == 0 && std::strcmp(e->d_name, kReportFile) != 0)
        stale.push_back(e->d_name);
    }
    ::closedir(d);
    for (const auto& n : stale) ::unlink((dir_ + "/" + n).c_str());
  }
  return Status::ok();
}

Status writeFileAtomically(const std::string& path, std::string_view bytes) {
  const std::string tmp = path + ".tmp" + std::to_string(::getpid());
  int fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0)
    return Status::ioError("No se pudo crear el archivo " + path + ": " + std::strerror(errno));
  size_t done = 0;
  while (done < bytes.size()) {
    ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      int e = errno;
      ::close(fd);
      ::unlink(tmp.c_str());
      return Status::ioError("No se pudo escribir el archivo " + path + ": " + std::strerror(e));
    }
    done += static_cast<size_t>(n);
  }
  int syncRc = ::fsync(fd);
  int syncErr = errno;
  int closeRc = ::close(fd);
  if (syncRc != 0 || closeRc != 0) {
    int e = syncRc != 0 ? syncErr : errno;
    ::unlink(tmp.c_str());
    return Status::ioError("No se pudo grabar el archivo " + path + ": " + std::strerror(e));
  }
  if (::rename(tmp.c_str(), path.c_str()) != 0) {
    int e = errno;
    ::unlink(tmp.c_str());
    return Status::ioError("No se pudo reemplazar el archivo " + path + ": " + std::strerror(e));
  }
  return Status::ok();
}

}  // namespace planilla::reports
