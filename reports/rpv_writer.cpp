#include "reports/rpv_writer.h"

#include <dirent.h>
#include <fcntl.h>
#include <strings.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <random>

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

namespace {

// Twelve letters and digits from the system's random source: 62^12 names, so a name
// cannot be guessed and planted ahead.
std::string randomSuffix() {
  static constexpr char kChars[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
  std::random_device rd;
  std::string s;
  for (int i = 0; i < 12; ++i) s.push_back(kChars[rd() % 62]);
  return s;
}

}  // namespace

ReplacementFile::ReplacementFile(std::string path) : path_(std::move(path)) {}

ReplacementFile::~ReplacementFile() { discard(); }

void ReplacementFile::discard() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  if (!tmp_.empty()) ::unlink(tmp_.c_str());
  tmp_.clear();
}

Status ReplacementFile::open() {
  discard();
  for (int attempt = 0; attempt < 100; ++attempt) {
    std::string tmp = path_ + ".tmp-" + randomSuffix();
    int fd;
    do {
      fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
    } while (fd < 0 && errno == EINTR);
    if (fd >= 0) {
      fd_ = fd;
      tmp_ = std::move(tmp);
      return Status::ok();
    }
    if (errno != EEXIST)
      return Status::ioError("No se pudo crear el archivo " + path_ + ": " + std::strerror(errno));
  }
  return Status::ioError("No se pudo crear el archivo " + path_ + ": " + std::strerror(EEXIST));
}

Status ReplacementFile::write(std::string_view bytes) {
  size_t done = 0;
  while (done < bytes.size()) {
    ssize_t n = ::write(fd_, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      int e = n < 0 ? errno : EIO;
      discard();
      return Status::ioError("No se pudo escribir el archivo " + path_ + ": " + std::strerror(e));
    }
    done += static_cast<size_t>(n);
  }
  return Status::ok();
}

Status ReplacementFile::commit() {
  if (fd_ < 0) return Status::ioError("No se pudo grabar el archivo " + path_);
  int syncRc = ::fsync(fd_);
  int syncErr = errno;
  int closeRc = ::close(fd_);
  int closeErr = errno;
  fd_ = -1;
  if (syncRc != 0 || closeRc != 0) {
    discard();
    return Status::ioError("No se pudo grabar el archivo " + path_ + ": " +
                           std::strerror(syncRc != 0 ? syncErr : closeErr));
  }
  if (::rename(tmp_.c_str(), path_.c_str()) != 0) {
    int e = errno;
    discard();
    return Status::ioError("No se pudo reemplazar el archivo " + path_ + ": " + std::strerror(e));
  }
  tmp_.clear();
  // The new name must survive a power cut as well as the contents.
  const size_t slash = path_.rfind('/');
  const std::string dir = slash == std::string::npos ? "." : slash == 0 ? "/" : path_.substr(0, slash);
  int dfd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dfd >= 0) {
    (void)::fsync(dfd);
    ::close(dfd);
  }
  return Status::ok();
}

Status writeFileAtomically(const std::string& path, std::string_view bytes) {
  ReplacementFile f(path);
  PLANILLA_RETURN_IF_ERROR(f.open());
  PLANILLA_RETURN_IF_ERROR(f.write(bytes));
  return f.commit();
}

}  // namespace planilla::reports
