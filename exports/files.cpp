#include "exports/files.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstring>
#include <random>
#include <sstream>

#include "store/catalog.h"
#include "store/output_path.h"
#include "ui/messages.h"

namespace planilla::exports {

namespace {

constexpr size_t kSuffix = 12;                  // letters and digits after ".tmp-"
constexpr size_t kBuffered = 1 << 16;           // bytes kept before a write
constexpr off_t kJournalLimit = 64 * 1024;      // a journal lists a few names
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

Status ioFailure(const std::string& what, const std::string& path, int err) {
  return Status::ioError(what + " " + path + ": " + std::strerror(err));
}

// Creates a file under a fresh random name beside `final`, never through a link.
Status createTemp(const std::string& final, std::string& tmp, int& fd) {
  for (int attempt = 0; attempt < 100; ++attempt) {
    tmp = final + ".tmp-" + randomSuffix();
    do {
      fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
    } while (fd < 0 && errno == EINTR);
    if (fd >= 0) return Status::ok();
    if (errno != EEXIST) break;
  }
  const int e = errno;
  tmp.clear();
  return ioFailure("No se pudo crear el archivo", final, e);
}

Status writeAll(int fd, std::string_view bytes, const std::string& shown) {
  size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return ioFailure("No se pudo escribir el archivo", shown, n < 0 ? errno : EIO);
    done += static_cast<size_t>(n);
  }
  return Status::ok();
}

// fsync and close; the descriptor is closed whatever happens.
Status syncClose(int& fd, const std::string& shown) {
  const int syncRc = ::fsync(fd), syncErr = errno;
  const int closeRc = ::close(fd), closeErr = errno;
  fd = -1;
  if (syncRc != 0) return ioFailure("No se pudo grabar el archivo", shown, syncErr);
  if (closeRc != 0) return ioFailure("No se pudo grabar el archivo", shown, closeErr);
  return Status::ok();
}

void syncFolder(const std::string& dir) {
  const int dfd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dfd < 0) return;
  (void)::fsync(dfd);
  ::close(dfd);
}

bool regularFile(const std::string& path, off_t* size = nullptr) {
  struct stat st {};
  if (::lstat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
  if (size) *size = st.st_size;
  return true;
}

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
  int fd = -1;
  std::string buffer;
};

FileSet::FileSet(std::string dir, std::string setName, std::vector<std::string> members)
    : dir_(dir.empty() ? "." : std::move(dir)), set_(std::move(setName)), members_(std::move(members)) {}

FileSet::~FileSet() { discard(); }

std::string FileSet::path(size_t i) const { return catalog::joinPath(dir_, members_[i]); }

void FileSet::discard() {
  for (Temp& t : temps_) {
    if (t.fd >= 0) ::close(t.fd);
    if (!t.path.empty()) ::unlink(t.path.c_str());
  }
  temps_.clear();
  if (lockFd_ >= 0) ::close(lockFd_);  // releases the folder's lock
  lockFd_ = -1;
}

// The journal names members only, never paths: every name it holds must be one of this
// set's members or a temporary name of one. A journal that is not of that form was not
// written by a FileSet of this set and is removed without acting on it.
Status FileSet::recover() {
  const std::string journal = catalog::joinPath(dir_, set_ + ".cambio");
  off_t size = 0;
  if (regularFile(journal, &size) && size <= kJournalLimit) {
    std::string text(static_cast<size_t>(size), '\0');
    const int fd = ::open(journal.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    const bool read = fd >= 0 && ::read(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
    if (fd >= 0) ::close(fd);
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
          if (regularFile(final) && ::unlink(final.c_str()) != 0 && errno != ENOENT)
            return ioFailure("No se pudo quitar el archivo", final, errno);
        } else if (const std::string tmp = catalog::joinPath(dir_, st.tmp); regularFile(tmp)) {
          if (::rename(tmp.c_str(), final.c_str()) != 0) return ioFailure("No se pudo reemplazar el archivo", final, errno);
        }
      }
      syncFolder(dir_);
    }
  }
  if (::unlink(journal.c_str()) != 0 && errno != ENOENT) return ioFailure("No se pudo quitar el archivo", journal, errno);
  // Temporary files of the set that no journal names are what killed runs left.
  if (DIR* d = ::opendir(dir_.c_str())) {
    std::vector<std::string> stale;
    while (dirent* e = ::readdir(d)) {
      const std::string n = e->d_name;
      bool ours = tempOf(n, set_ + ".cambio");
      for (const std::string& m : members_) ours = ours || tempOf(n, m);
      if (ours) stale.push_back(n);
    }
    ::closedir(d);
    for (const std::string& n : stale) ::unlink(catalog::joinPath(dir_, n).c_str());
  }
  syncFolder(dir_);
  return Status::ok();
}

Status FileSet::open() {
  discard();
  PLANILLA_RETURN_IF_ERROR(checkOutputFolder(dir_));
  for (size_t i = 0; i < members_.size(); ++i) PLANILLA_RETURN_IF_ERROR(checkOutputFile(path(i)));
  lockFd_ = ::open(dir_.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (lockFd_ < 0) return ioFailure("No se pudo abrir la carpeta", dir_, errno);
  int rc;
  do {
    rc = ::flock(lockFd_, LOCK_EX);
  } while (rc != 0 && errno == EINTR);
  // A folder whose file system has no locks is still written; only the exclusion
  // between two stations exporting into it at the same moment is lost.
  if (Status st = recover(); !st) {
    discard();
    return st;
  }
  for (size_t i = 0; i < members_.size(); ++i) {
    Temp t;
    if (Status st = createTemp(path(i), t.path, t.fd); !st) {
      discard();
      return st;
    }
    temps_.push_back(std::move(t));
  }
  return Status::ok();
}

Status FileSet::flush(Temp& t) {
  Status st = writeAll(t.fd, t.buffer, t.path);
  t.buffer.clear();
  return st;
}

Status FileSet::write(size_t i, std::string_view bytes) {
  if (i >= temps_.size() || temps_[i].fd < 0) return Status::ioError("No se pudo escribir el archivo " + path(i));
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
    if (st) st = syncClose(t.fd, path(i));
    if (!st) {
      discard();
      return st;
    }
    const std::string tmpName = t.path.substr(t.path.rfind('/') + 1);
    journal += i < present.size() && present[i] ? "R " + tmpName + " " + members_[i] + "\n" : "D " + members_[i] + "\n";
  }
  journal += "FIN\n";
  // The journal itself takes its place whole: complete, or absent.
  const std::string journalPath = catalog::joinPath(dir_, set_ + ".cambio");
  std::string jtmp;
  int jfd = -1;
  Status st = createTemp(journalPath, jtmp, jfd);
  if (st) {
    st = writeAll(jfd, journal, journalPath);
    if (st) st = syncClose(jfd, journalPath);
    else ::close(jfd);
    if (st && ::rename(jtmp.c_str(), journalPath.c_str()) != 0) st = ioFailure("No se pudo grabar el archivo", journalPath, errno);
    if (!st) ::unlink(jtmp.c_str());
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
