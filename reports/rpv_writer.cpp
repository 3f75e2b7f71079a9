#include "reports/rpv_writer.h"

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fstream>
#include <iterator>
#include <random>

#include "reports/report_format.h"
#include "store/platform.h"

namespace planilla::reports {

RpvWriter::RpvWriter(std::string dataDir) : dir_(dataDir.empty() ? "." : std::move(dataDir)) {}
RpvWriter::~RpvWriter() = default;
RpvWriter::RpvWriter(RpvWriter&&) noexcept = default;

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

void RpvWriter::PRINTLINE(std::string_view text) {
  text_.append(text);
  if (text_.size() >= kSpillBytes) spill();
}

void RpvWriter::line(std::string_view text) {
  text_.append(text);
  text_.append(kCrLf);
  if (text_.size() >= kSpillBytes) spill();
}

// Moves the text held so far into the temporary file. When the file cannot be made
// or written the text stays in memory and the failure is reported by close().
void RpvWriter::spill() {
  if (!spillError_) return;
  if (!file_) {
    auto f = std::make_unique<ReplacementFile>(path());
    Status opened = f->open();
    if (!opened) {
      spillError_ = opened;
      return;
    }
    file_ = std::move(f);
  }
  Status st = file_->write(text_);
  if (!st) {
    spillError_ = st;
    file_.reset();
    return;
  }
  text_.clear();
}

std::string RpvWriter::contents() const {
  if (!file_) return text_;
  std::string all;
  std::ifstream in(platform::fsPath(file_->tempPath()), std::ios::binary);
  all.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return all + text_;
}

std::string RpvWriter::path() const { return dir_ + "/" + kReportFile; }

Status RpvWriter::closeAs(const std::string& fileName) {
  PLANILLA_RETURN_IF_ERROR(spillError_);
  const std::string target = dir_ + "/" + fileName;
  if (!file_) return writeFileAtomically(target, text_);
  PLANILLA_RETURN_IF_ERROR(file_->write(text_));
  text_.clear();
  file_->setPath(target);
  Status st = file_->commit();
  file_.reset();
  return st;
}

namespace {

// Removes other spellings of the report name ("test.rpv", "TEST.RPV") so a viewer
// started on either form cannot show a stale report.
void removeOtherSpellings(const std::string& dir) {
  auto sameIgnoringCase = [](std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
      if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i]))) return false;
    return true;
  };
  for (const std::string& n : platform::listFolder(dir))
    if (sameIgnoringCase(n, kReportFile) && n != kReportFile) (void)platform::removeFile(dir + "/" + n);
}

}  // namespace

Status RpvWriter::close() {
  PLANILLA_RETURN_IF_ERROR(closeAs(kReportFile));
  removeOtherSpellings(dir_);
  return Status::ok();
}

Status RpvWriter::closeForViewer(std::string* shown) {
  removeStalePrivateReports(dir_);
  const std::string own = privateReportName();
  PLANILLA_RETURN_IF_ERROR(closeAs(own));
  const std::string ownPath = dir_ + "/" + own;
  // The shared name gets a copy made from the private file, which no other station
  // writes: what the viewer shows and what "Test.rpv" holds are the same report.
  std::ifstream in(platform::fsPath(ownPath), std::ios::binary);
  ReplacementFile copy(path());
  Status st = in ? copy.open() : Status::ioError("No se pudo leer el archivo " + ownPath);
  std::vector<char> buf(64 * 1024);
  while (st && in) {
    in.read(buf.data(), static_cast<std::streamsize>(buf.size()));
    if (in.gcount() > 0) st = copy.write(std::string_view(buf.data(), static_cast<size_t>(in.gcount())));
  }
  if (st && in.bad()) st = Status::ioError("No se pudo leer el archivo " + ownPath);
  if (st) st = copy.commit();
  if (!st) {
    (void)platform::removeFile(ownPath);
    return st;
  }
  removeOtherSpellings(dir_);
  if (shown) *shown = own;
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

std::string rpvText(std::string_view value) {
  std::string out;
  out.reserve(value.size());
  for (char c : value) {
    if (c == '{' || c == '}' || c == '\\') out.push_back('\\');
    out.push_back(static_cast<unsigned char>(c) < 0x20 ? ' ' : c);
  }
  return out;
}

namespace {
constexpr std::string_view kPrivatePrefix = "Test-";
constexpr std::string_view kPrivateSuffix = ".rpv";
constexpr size_t kPrivateRandom = 12;
}  // namespace

std::string privateReportName() {
  return std::string(kPrivatePrefix) + randomSuffix() + std::string(kPrivateSuffix);
}

Status publishReport(const std::string& dataDir, const std::string& fileName) {
  const std::string dir = dataDir.empty() ? std::string(".") : dataDir;
  const std::string from = dir + "/" + fileName, to = dir + "/" + kReportFile;
  if (Status st = platform::replaceFile(from, to); !st) {
    (void)platform::removeFile(from);
    return Status::ioError("No se pudo reemplazar el archivo " + to + ": " + st.message());
  }
  removeOtherSpellings(dir);
  return Status::ok();
}

void removeStalePrivateReports(const std::string& dataDir, long maxAgeSeconds) {
  const std::string dir = dataDir.empty() ? std::string(".") : dataDir;
  const std::time_t now = std::time(nullptr);
  for (const std::string& name : platform::listFolder(dir)) {
    const std::string_view n(name);
    if (n.size() != kPrivatePrefix.size() + kPrivateRandom + kPrivateSuffix.size() ||
        n.substr(0, kPrivatePrefix.size()) != kPrivatePrefix ||
        n.substr(n.size() - kPrivateSuffix.size()) != kPrivateSuffix)
      continue;
    const std::string full = dir + "/" + name;
    const auto changed = platform::modifiedTime(full);
    if (platform::isRegularFile(full) && changed && now - *changed > maxAgeSeconds) (void)platform::removeFile(full);
  }
}

ReplacementFile::ReplacementFile(std::string path) : path_(std::move(path)) {}

ReplacementFile::~ReplacementFile() { discard(); }

void ReplacementFile::discard() {
  file_ = platform::NewFile();  // closes
  if (!tmp_.empty()) (void)platform::removeFile(tmp_);
  tmp_.clear();
}

Status ReplacementFile::open() {
  discard();
  for (int attempt = 0; attempt < 100; ++attempt) {
    std::string tmp = path_ + ".tmp-" + randomSuffix();
    auto f = platform::NewFile::create(tmp);
    if (f) {
      file_ = std::move(f).value();
      tmp_ = std::move(tmp);
      return Status::ok();
    }
    if (f.status().code() != ErrorCode::Invalid)  // anything but a name taken
      return Status::ioError("No se pudo crear el archivo " + path_ + ": " + f.status().message());
  }
  return Status::ioError("No se pudo crear el archivo " + path_ + ": " + std::strerror(EEXIST));
}

Status ReplacementFile::write(std::string_view bytes) {
  Status st = file_.write(bytes);
  if (!st) {
    discard();
    return Status::ioError("No se pudo escribir el archivo " + path_ + ": " + st.message());
  }
  return Status::ok();
}

Status ReplacementFile::commit() {
  if (!file_.isOpen()) return Status::ioError("No se pudo grabar el archivo " + path_);
  Status st = file_.commit();
  if (!st) {
    discard();
    return Status::ioError("No se pudo grabar el archivo " + path_ + ": " + st.message());
  }
  // In place with its new name durable: it must survive a power cut as well as the contents.
  st = platform::replaceFile(tmp_, path_);
  if (!st) {
    discard();
    return Status::ioError("No se pudo reemplazar el archivo " + path_ + ": " + st.message());
  }
  tmp_.clear();
  return Status::ok();
}

Status writeFileAtomically(const std::string& path, std::string_view bytes) {
  ReplacementFile f(path);
  PLANILLA_RETURN_IF_ERROR(f.open());
  PLANILLA_RETURN_IF_ERROR(f.write(bytes));
  return f.commit();
}

}  // namespace planilla::reports
