#include "exports/files.h"

#include <cctype>
#include <cerrno>
#include <cstring>
#include <random>
#include <sstream>

#include "store/catalog.h"
#include "store/output_path.h"
#include "store/platform.h"
#include "ui/messages.h"

namespace planilla::exports {

namespace {

constexpr size_t kSuffix = 12;                  // letters and digits after ".tmp-"
constexpr size_t kBuffered = 1 << 16;           // bytes kept before a write
constexpr long kJournalLimit = 64 * 1024;       // a journal lists a few names
constexpr const char* kJournalHead = "planilla conjunto de archivos 1";

std::string randomSuffix() {
  static constexpr char kChars[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
  std::random_device rd;
  std::string s;
  for (size_t i = 0; i < kSuffix; ++i) s.push_back(kChars[rd() % 62]);
  return s;
}

// `name` is `final` + ".tmp-" + the random suffix.
bool tempOf(const std::string& name, const std::string& final) {
  const std::string head = final + ".tmp-";
  if (name.size() != head.size() + kSuffix || name.compare(0, head.size(), head) != 0) return false;
  for (size_t i = head.size(); i < name.size(); ++i)
    if (!std::isalnum(static_cast<unsigned char>(name[i]))) return false;
  return true;
}

// The platform's reason after what failed and where.
Status ioFailure(const std::string& what, const std::string& path, const Status& why) {
  return Status::ioError(what + " " + path + ": " + why.message());
}

// Creates a file under a fresh random name beside `final`, never through a link.
Status createTemp(const std::string& final, std::string& tmp, platform::NewFile& file) {
  Status why;
  for (int attempt = 0; attempt < 100; ++attempt) {
    tmp = final + ".tmp-" + randomSuffix();
    auto f = platform::NewFile::create(tmp);
    if (f) {
      file = std::move(f).value();
      return Status::ok();
    }
    why = f.status();
    if (why.code() != ErrorCode::Invalid) break;  // anything but a name taken
  }
  tmp.clear();
  return ioFailure("No se pudo crear el archivo", final, why);
}

Status writeAll(platform::NewFile& file, std::string_view bytes, const std::string& shown) {
  Status st = file.write(bytes);
  return st ? st : ioFailure("No se pudo escribir el archivo", shown, st);
}

// Flush and close; the file is closed whatever happens.
Status syncClose(platform::NewFile& file, const std::string& shown) {
  Status st = file.commit();
  return st ? st : ioFailure("No se pudo grabar el archivo", shown, st);
}

void syncFolder(const std::string& dir) { (void)platform::syncFile(dir); }

bool regularFile(const std::string& path) { return platform::isRegularFile(path); }

}  // namespace

std::string missingMessage(const std::vector<Missing>& missing) {
  std::string text = "No Se Generaron Los Archivos, Faltan Datos:";
  for (const Missing& m : missing) {
    text += "\r\n";
    text += m.code.empty() ? m.name : m.code + " " + m.name;
    text += ": " + m.what;
  }
  return text;
}

struct FileSet::Temp {
  std::string path;
  platform::NewFile file;
  std::string buffer;
};

FileSet::FileSet(std::string dir, std::string setName, std::vector<std::string> members)
    : dir_(dir.empty() ? "." : std::move(dir)), set_(std::move(setName)), members_(std::move(members)) {}

FileSet::~FileSet() { discard(); }

std::string FileSet::path(size_t i) const { return catalog::joinPath(dir_, members_[i]); }

void FileSet::discard() {
  for (Temp& t : temps_) {
    t.file = platform::NewFile();  // closes
    if (!t.path.empty()) (void)platform::removeFile(t.path);
  }
  temps_.clear();
  lock_.release();
}

// The journal names members only, never paths: every name it holds must be one of this
// set's members or a temporary name of one. A journal that is not of that form was not
// written by a FileSet of this set and is removed without acting on it.
Status FileSet::recover() {
  const std::string journal = catalog::joinPath(dir_, set_ + ".cambio");
  if (regularFile(journal)) {
    // Too big, or not a plain file once open: not read, and removed below.
    Result<std::string> content = platform::readRegularFile(journal, kJournalLimit);
    const bool read = content.isOk();
    const std::string text = read ? content.value() : std::string();
    struct Step {
      std::string tmp, final;
    };
    std::vector<Step> steps;
    std::istringstream in(text);
    std::string line;
    bool valid = read && std::getline(in, line) && line == kJournalHead;
    bool ended = false;
    while (valid && !ended && std::getline(in, line)) {
      std::istringstream words(line);
      std::string kind, a, b, extra;
      words >> kind >> a >> b >> extra;
      auto member = [&](const std::string& n) {
        for (const std::string& m : members_)
          if (m == n) return true;
        return false;
      };
      if (kind == "R" && member(b) && tempOf(a, b) && extra.empty()) steps.push_back({a, b});
      else if (kind == "D" && member(a) && b.empty()) steps.push_back({"", a});
      else if (kind == "FIN" && a.empty()) ended = true;
      else valid = false;
    }
    if (valid && ended) {
      for (const Step& st : steps) {
        const std::string final = catalog::joinPath(dir_, st.final);
        if (st.tmp.empty()) {
          if (regularFile(final) && !platform::removeFile(final))
            return Status::ioError("No se pudo quitar el archivo " + final);
        } else if (const std::string tmp = catalog::joinPath(dir_, st.tmp); regularFile(tmp)) {
          if (Status r = platform::replaceFile(tmp, final); !r) return ioFailure("No se pudo reemplazar el archivo", final, r);
        }
      }
      syncFolder(dir_);
    }
  }
  if (!platform::removeFile(journal)) return Status::ioError("No se pudo quitar el archivo " + journal);
  // Temporary files of the set that no journal names are what killed runs left.
  for (const std::string& n : platform::listFolder(dir_)) {
    bool ours = tempOf(n, set_ + ".cambio");
    for (const std::string& m : members_) ours = ours || tempOf(n, m);
    if (ours) (void)platform::removeFile(catalog::joinPath(dir_, n));
  }
  syncFolder(dir_);
  return Status::ok();
}

Status FileSet::open() {
  discard();
  PLANILLA_RETURN_IF_ERROR(checkOutputFolder(dir_));
  for (size_t i = 0; i < members_.size(); ++i) PLANILLA_RETURN_IF_ERROR(checkOutputFile(path(i)));
  auto lock = platform::FolderLock::acquire(dir_);
  if (!lock) return lock.status();
  lock_ = std::move(lock).value();
  // A folder whose file system has no locks is still written; only the exclusion
  // between two stations exporting into it at the same moment is lost.
  if (Status st = recover(); !st) {
    discard();
    return st;
  }
  for (size_t i = 0; i < members_.size(); ++i) {
    Temp t;
    if (Status st = createTemp(path(i), t.path, t.file); !st) {
      discard();
      return st;
    }
    temps_.push_back(std::move(t));
  }
  return Status::ok();
}

Status FileSet::flush(Temp& t) {
  Status st = writeAll(t.file, t.buffer, t.path);
  t.buffer.clear();
  return st;
}

Status FileSet::write(size_t i, std::string_view bytes) {
  if (i >= temps_.size() || !temps_[i].file.isOpen()) return Status::ioError("No se pudo escribir el archivo " + path(i));
  Temp& t = temps_[i];
  t.buffer.append(bytes);
  if (t.buffer.size() < kBuffered) return Status::ok();
  Status st = flush(t);
  if (!st) discard();
  return st;
}

Status FileSet::commit(const std::vector<bool>& present) {
  if (temps_.size() != members_.size()) return Status::ioError("No se pudo grabar el archivo " + path(0));
  std::string journal = std::string(kJournalHead) + "\n";
  for (size_t i = 0; i < temps_.size(); ++i) {
    Temp& t = temps_[i];
    Status st = flush(t);
    if (st) st = syncClose(t.file, path(i));
    if (!st) {
      discard();
      return st;
    }
    const std::string tmpName = t.path.substr(t.path.find_last_of("/\\") + 1);
    journal += i < present.size() && present[i] ? "R " + tmpName + " " + members_[i] + "\n" : "D " + members_[i] + "\n";
  }
  journal += "FIN\n";
  // The journal itself takes its place whole: complete, or absent.
  const std::string journalPath = catalog::joinPath(dir_, set_ + ".cambio");
  std::string jtmp;
  platform::NewFile jfile;
  Status st = createTemp(journalPath, jtmp, jfile);
  if (st) {
    st = writeAll(jfile, journal, journalPath);
    if (st) st = syncClose(jfile, journalPath);
    if (st) {
      if (Status r = platform::replaceFile(jtmp, journalPath); !r) st = ioFailure("No se pudo grabar el archivo", journalPath, r);
    }
    jfile = platform::NewFile();
    if (!st) (void)platform::removeFile(jtmp);
  }
  if (!st) {
    discard();
    return st;
  }
  syncFolder(dir_);
  // From here the change is decided: recover() carries it out, and finishes it on the
  // next open() should this run be cut short.
  for (Temp& t : temps_) t.path.clear();
  st = recover();
  discard();
  return st;
}

bool reportFailure(Session& s, const std::vector<Missing>& missing, const Status& written) {
  if (!missing.empty()) {
    ui::MSGSTOP(s.messages(), missingMessage(missing), "Mensaje");
    return false;
  }
  if (!written) {
    ui::MSGSTOP(s.messages(), written.message(), "Mensaje");
    return false;
  }
  return true;
}

void announce(Session& s, const std::vector<std::string>& paths) {
  std::string text = "Archivos Generados:";
  for (const std::string& p : paths) text += "\r\n" + p;
  ui::MSGINFO(s.messages(), text, "Mensaje");
}

}  // namespace planilla::exports
