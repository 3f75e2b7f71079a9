// The Windows side of platform.h: wide-character calls, names in UTF-8 at the door.
#ifdef _WIN32

#include <windows.h>

#include <bcrypt.h>
#include <fcntl.h>
#include <io.h>
#include <share.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <thread>

#include "store/platform.h"

namespace planilla::platform {
namespace {

std::string winError(DWORD e) {
  switch (e) {
    case ERROR_ACCESS_DENIED: return "permiso denegado";
    case ERROR_WRITE_PROTECT: return "el disco es de solo lectura";
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL: return "no queda espacio en el disco";
    case ERROR_SHARING_VIOLATION: return "otro programa tiene el archivo abierto";
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND: return "no existe";
    case ERROR_DIR_NOT_EMPTY: return "la carpeta no esta vacia";
    case ERROR_NO_UNICODE_TRANSLATION: return "el nombre no es texto UTF-8 valido";
    default: return "error de Windows " + std::to_string(e);
  }
}

Status winFailure(const std::string& what, DWORD e) { return Status::ioError(what + ": " + winError(e)); }

std::wstring wideOrEmpty(const std::string& s) { return widen(s).value_or(std::wstring()); }

}  // namespace

std::optional<std::wstring> widen(const std::string& utf8) {
  if (utf8.empty()) return std::wstring();
  int n = ::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
  if (n <= 0) return std::nullopt;
  std::wstring w(static_cast<size_t>(n), L'\0');
  ::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), static_cast<int>(utf8.size()), w.data(), n);
  return w;
}

std::string narrow(const std::wstring& wide) {
  if (wide.empty()) return std::string();
  int n = ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0, nullptr, nullptr);
  if (n <= 0) return std::string();
  std::string s(static_cast<size_t>(n), '\0');
  ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), s.data(), n, nullptr, nullptr);
  return s;
}

std::filesystem::path fsPath(const std::string& utf8) { return std::filesystem::path(wideOrEmpty(utf8)); }
std::string utf8(const std::filesystem::path& p) { return narrow(p.wstring()); }

std::string tempFolder() {
  wchar_t buf[MAX_PATH + 2];
  DWORD n = ::GetTempPathW(MAX_PATH + 1, buf);
  std::string dir = n > 0 && n <= MAX_PATH + 1 ? narrow(std::wstring(buf, n)) : std::string(".");
  while (dir.size() > 3 && (dir.back() == '\\' || dir.back() == '/')) dir.pop_back();
  return dir;
}

Result<std::string> makeUniqueFolder(const std::string& parent, const std::string& prefix) {
  static const char kLetters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
  std::string base = parent.empty() ? tempFolder() : parent;
  DWORD e = ERROR_ALREADY_EXISTS;
  for (int attempt = 0; attempt < 100 && e == ERROR_ALREADY_EXISTS; ++attempt) {
    unsigned char random[6];
    if (::BCryptGenRandom(nullptr, random, sizeof random, BCRYPT_USE_SYSTEM_PREFERRED_RNG) != 0)
      return Status::ioError("no se puede crear una carpeta en " + base + ": sin numeros al azar");
    std::string name = base + "\\" + prefix + "-";
    for (unsigned char r : random) name += kLetters[r % (sizeof kLetters - 1)];
    auto wide = widen(name);
    if (!wide) return winFailure("no se puede crear una carpeta en " + base, ERROR_NO_UNICODE_TRANSLATION);
    // CreateDirectoryW fails on a name that exists: the folder is ours alone.
    if (::CreateDirectoryW(wide->c_str(), nullptr)) return name;
    e = ::GetLastError();
  }
  return winFailure("no se puede crear una carpeta en " + base, e);
}

std::string computerName() {
  wchar_t buf[MAX_COMPUTERNAME_LENGTH + 1];
  DWORD n = MAX_COMPUTERNAME_LENGTH + 1;
  if (!::GetComputerNameW(buf, &n)) return "";
  return narrow(std::wstring(buf, n));
}

long processId() { return static_cast<long>(::GetCurrentProcessId()); }

std::string executablePath() {
  std::wstring buf(1024, L'\0');
  for (;;) {
    DWORD n = ::GetModuleFileNameW(nullptr, buf.data(), static_cast<DWORD>(buf.size()));
    if (n == 0) return std::string();
    if (n < buf.size()) return narrow(buf.substr(0, n));
    buf.resize(buf.size() * 2);
  }
}

bool isRegularFile(const std::string& path) {
  auto wide = widen(path);
  if (!wide) return false;
  DWORD a = ::GetFileAttributesW(wide->c_str());
  return a != INVALID_FILE_ATTRIBUTES && !(a & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DEVICE));
}

std::vector<std::string> listFolder(const std::string& dir) {
  std::vector<std::string> names;
  auto wide = widen(dir + "\\*");
  if (!wide) return names;
  WIN32_FIND_DATAW fd;
  HANDLE h = ::FindFirstFileW(wide->c_str(), &fd);
  if (h == INVALID_HANDLE_VALUE) return names;
  do {
    std::wstring n = fd.cFileName;
    if (n != L"." && n != L"..") names.push_back(narrow(n));
  } while (::FindNextFileW(h, &fd));
  ::FindClose(h);
  return names;
}

Result<std::string> readRegularFile(const std::string& path, long limit) {
  auto wide = widen(path);
  if (!wide) return winFailure("No se puede leer " + path, ERROR_NO_UNICODE_TRANSLATION);
  HANDLE h = ::CreateFileW(wide->c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    DWORD e = ::GetLastError();
    if (e == ERROR_FILE_NOT_FOUND || e == ERROR_PATH_NOT_FOUND) return Status::notFound(path + " no existe");
    return winFailure("No se puede leer " + path, e);
  }
  struct Closer {
    HANDLE h;
    ~Closer() { ::CloseHandle(h); }
  } closer{h};
  BY_HANDLE_FILE_INFORMATION info;
  if (::GetFileType(h) != FILE_TYPE_DISK || !::GetFileInformationByHandle(h, &info) ||
      (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
    return Status::invalid(path + " no es un archivo de texto comun: reemplacelo por uno");
  const uint64_t size = (static_cast<uint64_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
  if (size > static_cast<uint64_t>(limit))
    return Status::invalid(path + " tiene " + std::to_string(size) + " bytes, mas del maximo de " +
                           std::to_string(limit));
  std::string text;
  char buf[8192];
  for (;;) {
    DWORD n = 0;
    if (!::ReadFile(h, buf, sizeof buf, &n, nullptr)) return winFailure("No se puede leer " + path, ::GetLastError());
    if (n == 0) break;
    text.append(buf, n);
    if (text.size() > static_cast<size_t>(limit))
      return Status::invalid(path + " tiene mas del maximo de " + std::to_string(limit) + " bytes");
  }
  return text;
}

std::optional<std::time_t> modifiedTime(const std::string& path) {
  auto wide = widen(path);
  WIN32_FILE_ATTRIBUTE_DATA a;
  if (!wide || !::GetFileAttributesExW(wide->c_str(), GetFileExInfoStandard, &a)) return std::nullopt;
  // FILETIME counts 100 ns since 1601; 11644473600 s lie between 1601 and 1970.
  const uint64_t t = (static_cast<uint64_t>(a.ftLastWriteTime.dwHighDateTime) << 32) | a.ftLastWriteTime.dwLowDateTime;
  return static_cast<std::time_t>(t / 10000000ull) - static_cast<std::time_t>(11644473600ll);
}

NewFile::~NewFile() { close(); }
NewFile::NewFile(NewFile&& o) noexcept : fd_(o.fd_), path_(std::move(o.path_)) { o.fd_ = -1; }
NewFile& NewFile::operator=(NewFile&& o) noexcept {
  if (this != &o) {
    close();
    fd_ = o.fd_;
    path_ = std::move(o.path_);
    o.fd_ = -1;
  }
  return *this;
}

void NewFile::close() {
  if (fd_ >= 0) ::_close(fd_);
  fd_ = -1;
}

Result<NewFile> NewFile::create(const std::string& path) {
  auto wide = widen(path);
  if (!wide) return winFailure("no se puede crear " + path, ERROR_NO_UNICODE_TRANSLATION);
  // _O_EXCL is CREATE_NEW: any name that exists is refused, a link included. A C
  // runtime descriptor, so that writers wanting one can have it.
  int fd = -1;
  const errno_t e = ::_wsopen_s(&fd, wide->c_str(), _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY | _O_NOINHERIT,
                                _SH_DENYWR, _S_IREAD | _S_IWRITE);
  if (e != 0 || fd < 0) {
    if (e == EEXIST) return Status::invalid("el archivo " + path + " ya existe");
    DWORD w = ::GetLastError();
    return winFailure("no se puede crear " + path, w != 0 ? w : ERROR_ACCESS_DENIED);
  }
  NewFile f;
  f.fd_ = fd;
  f.path_ = path;
  return f;
}

Status NewFile::write(std::string_view bytes) {
  if (fd_ < 0) return Status::ioError("no se puede escribir " + path_ + ": archivo cerrado");
  size_t done = 0;
  while (done < bytes.size()) {
    const unsigned want = static_cast<unsigned>(std::min<size_t>(bytes.size() - done, 1u << 30));
    const int n = ::_write(fd_, bytes.data() + done, want);
    if (n <= 0) return winFailure("no se puede escribir " + path_, ::GetLastError());
    done += static_cast<size_t>(n);
  }
  return Status::ok();
}

Status NewFile::commit() {
  if (fd_ < 0) return Status::ioError("no se puede grabar " + path_ + ": archivo cerrado");
  const int fd = fd_;
  fd_ = -1;
  // _commit is FlushFileBuffers on the descriptor's handle.
  const int flushed = ::_commit(fd);
  const DWORD flushErr = flushed == 0 ? 0 : ::GetLastError();
  const int closed = ::_close(fd);
  if (flushed != 0) return winFailure("no se puede grabar " + path_, flushErr);
  if (closed != 0) return winFailure("no se puede grabar " + path_, ::GetLastError());
  return Status::ok();
}

FolderLock::~FolderLock() { release(); }
FolderLock::FolderLock(FolderLock&& o) noexcept : handle_(o.handle_) { o.handle_ = -1; }
FolderLock& FolderLock::operator=(FolderLock&& o) noexcept {
  if (this != &o) {
    release();
    handle_ = o.handle_;
    o.handle_ = -1;
  }
  return *this;
}

void FolderLock::release() {
  if (handle_ == -1) return;
  HANDLE h = reinterpret_cast<HANDLE>(handle_);
  OVERLAPPED ov{};
  (void)::UnlockFileEx(h, 0, 1, 0, &ov);
  ::CloseHandle(h);
  handle_ = -1;
}

Result<FolderLock> FolderLock::acquire(const std::string& dir) {
  auto wide = widen(dir + "\\.planilla-carpeta.lck");
  if (!wide) return winFailure("No se pudo abrir la carpeta " + dir, ERROR_NO_UNICODE_TRANSLATION);
  HANDLE h = ::CreateFileW(wide->c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                           nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_HIDDEN, nullptr);
  if (h == INVALID_HANDLE_VALUE) return winFailure("No se pudo abrir la carpeta " + dir, ::GetLastError());
  OVERLAPPED ov{};
  (void)::LockFileEx(h, LOCKFILE_EXCLUSIVE_LOCK, 0, 1, 0, &ov);  // waits for the station before
  FolderLock l;
  l.handle_ = reinterpret_cast<intptr_t>(h);
  return l;
}

Status replaceFile(const std::string& from, const std::string& to) {
  auto wFrom = widen(from), wTo = widen(to);
  if (!wFrom || !wTo) return Status::ioError(winError(ERROR_NO_UNICODE_TRANSLATION));
  DWORD e = 0;
  // A reader that has `to` open (a viewer, an antivirus) stops the rename for a moment.
  for (int attempt = 0; attempt < 100; ++attempt) {
    if (::MoveFileExW(wFrom->c_str(), wTo->c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
      return Status::ok();
    e = ::GetLastError();
    if (e != ERROR_ACCESS_DENIED && e != ERROR_SHARING_VIOLATION) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return Status::ioError(winError(e));
}

bool removeFile(const std::string& path) {
  auto wide = widen(path);
  if (!wide) return false;
  if (::DeleteFileW(wide->c_str())) return true;
  DWORD e = ::GetLastError();
  return e == ERROR_FILE_NOT_FOUND || e == ERROR_PATH_NOT_FOUND;
}

Status syncFile(const std::string& path) {
  auto wide = widen(path);
  if (!wide) return winFailure("no se puede abrir " + path, ERROR_NO_UNICODE_TRANSLATION);
  DWORD a = ::GetFileAttributesW(wide->c_str());
  if (a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY)) return Status::ok();
  HANDLE h = ::CreateFileW(wide->c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                           nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return winFailure("no se puede abrir " + path, ::GetLastError());
  const BOOL ok = ::FlushFileBuffers(h);
  const DWORD e = ok ? 0 : ::GetLastError();
  ::CloseHandle(h);
  return ok ? Status::ok() : winFailure("no se puede grabar " + path, e);
}

Status renameFolder(const std::string& from, const std::string& to) {
  auto wFrom = widen(from), wTo = widen(to);
  if (!wFrom || !wTo) return winFailure("no se puede crear " + to, ERROR_NO_UNICODE_TRANSLATION);
  // Windows renames no folder over another: an empty one in the way goes first
  // (RemoveDirectoryW refuses one with something in it).
  DWORD a = ::GetFileAttributesW(wTo->c_str());
  if (a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY) && !::RemoveDirectoryW(wTo->c_str()))
    return winFailure("no se puede crear " + to, ::GetLastError());
  if (!::MoveFileExW(wFrom->c_str(), wTo->c_str(), MOVEFILE_WRITE_THROUGH))
    return winFailure("no se puede crear " + to, ::GetLastError());
  return Status::ok();
}

Status setFolderPermissions(const std::string&, const std::string&) { return Status::ok(); }

bool sameFile(const std::string& a, const std::string& b) {
  auto id = [](const std::string& p, BY_HANDLE_FILE_INFORMATION* info) {
    auto wide = widen(p);
    if (!wide) return false;
    // FILE_FLAG_BACKUP_SEMANTICS lets a folder be opened for this question.
    HANDLE h = ::CreateFileW(wide->c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                             OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    BOOL ok = ::GetFileInformationByHandle(h, info);
    ::CloseHandle(h);
    return ok != FALSE;
  };
  BY_HANDLE_FILE_INFORMATION ia, ib;
  return id(a, &ia) && id(b, &ib) && ia.dwVolumeSerialNumber == ib.dwVolumeSerialNumber &&
         ia.nFileIndexHigh == ib.nFileIndexHigh && ia.nFileIndexLow == ib.nFileIndexLow;
}

std::optional<std::string> realPath(const std::string& path) {
  std::error_code ec;
  auto p = std::filesystem::canonical(fsPath(path), ec);
  if (ec) return std::nullopt;
  return utf8(p);
}

long raiseOpenFileLimit(long want) { return want; }

std::tm localTime(std::time_t t) {
  std::tm tm {};
  ::localtime_s(&tm, &t);
  return tm;
}

std::tm utcTime(std::time_t t) {
  std::tm tm {};
  ::gmtime_s(&tm, &t);
  return tm;
}

bool isSystemFolder(const std::string& real) {
  auto lower = [](std::string s) {
    for (char& c : s) {
      if (c == '/') c = '\\';
      if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    while (s.size() > 3 && s.back() == '\\') s.pop_back();
    return s;
  };
  const std::string r = lower(real);
  // A drive's root is no place to scatter files either.
  if (r.size() == 3 && r[1] == ':' && r[2] == '\\') return true;
  for (const char* var : {"SystemRoot", "ProgramFiles", "ProgramFiles(x86)", "ProgramData"}) {
    const char* v = std::getenv(var);
    if (v == nullptr || *v == '\0') continue;
    const std::string t = lower(v);
    if (r.compare(0, t.size(), t) == 0 && (r.size() == t.size() || r[t.size()] == '\\')) return true;
  }
  return false;
}

namespace {

// One argument on a command line as the C runtime of the started program splits it:
// quoted when it has blanks or quotes, backslashes doubled before a quote.
std::wstring quoteArgument(const std::wstring& a) {
  if (!a.empty() && a.find_first_of(L" \t\n\v\"") == std::wstring::npos) return a;
  std::wstring out = L"\"";
  size_t slashes = 0;
  for (wchar_t c : a) {
    if (c == L'\\') {
      ++slashes;
      continue;
    }
    out.append(c == L'"' ? slashes * 2 + 1 : slashes, L'\\');
    slashes = 0;
    out.push_back(c);
  }
  out.append(slashes * 2, L'\\');
  out.push_back(L'"');
  return out;
}

}  // namespace

Status startDetached(const std::vector<std::string>& args) {
  if (args.empty() || args[0].empty()) return Status::invalid("falta el programa");
  auto program = widen(args[0]);
  if (!program) return Status::notFound("no se encuentra el programa " + args[0]);
  // Found as Windows would: the name itself, else along PATH with ".exe".
  std::wstring exe(MAX_PATH, L'\0');
  DWORD n = ::SearchPathW(nullptr, program->c_str(), L".exe", MAX_PATH, exe.data(), nullptr);
  if (n == 0 || n >= MAX_PATH) return Status::notFound("no se encuentra el programa " + args[0]);
  exe.resize(n);
  std::wstring cmd = quoteArgument(exe);
  for (size_t i = 1; i < args.size(); ++i) {
    auto w = widen(args[i]);
    if (!w) return Status::invalid("argumento no valido: " + args[i]);
    cmd += L" " + quoteArgument(*w);
  }
  STARTUPINFOW si{};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi{};
  // No handles inherited; a process group of its own, not tied to our console.
  if (!::CreateProcessW(exe.c_str(), cmd.data(), nullptr, nullptr, FALSE, CREATE_NEW_PROCESS_GROUP | DETACHED_PROCESS,
                        nullptr, nullptr, &si, &pi))
    return Status::ioError(winError(::GetLastError()));
  ::CloseHandle(pi.hThread);
  ::CloseHandle(pi.hProcess);
  return Status::ok();
}

Result<int> runProgram(const std::vector<std::string>& args) {
  if (args.empty() || args[0].empty()) return Status::invalid("falta el programa");
  std::wstring cmd;
  for (const std::string& a : args) {
    auto w = widen(a);
    if (!w) return Status::invalid("argumento no valido: " + a);
    cmd += (cmd.empty() ? L"" : L" ") + quoteArgument(*w);
  }
  auto exe = widen(args[0]);
  SECURITY_ATTRIBUTES sa{sizeof sa, nullptr, TRUE};
  HANDLE nul = ::CreateFileW(L"NUL", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &sa, OPEN_EXISTING, 0, nullptr);
  STARTUPINFOW si{};
  si.cb = sizeof si;
  si.dwFlags = STARTF_USESTDHANDLES;
  si.hStdInput = ::GetStdHandle(STD_INPUT_HANDLE);
  si.hStdOutput = nul;
  si.hStdError = ::GetStdHandle(STD_ERROR_HANDLE);
  PROCESS_INFORMATION pi{};
  const BOOL ok = ::CreateProcessW(exe->c_str(), cmd.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si, &pi);
  const DWORD e = ok ? 0 : ::GetLastError();
  if (nul != INVALID_HANDLE_VALUE) ::CloseHandle(nul);
  if (!ok) return Status::ioError("no se pudo iniciar " + args[0] + ": " + winError(e));
  ::CloseHandle(pi.hThread);
  ::WaitForSingleObject(pi.hProcess, INFINITE);
  DWORD code = 1;
  ::GetExitCodeProcess(pi.hProcess, &code);
  ::CloseHandle(pi.hProcess);
  return static_cast<int>(code);
}

void setEnvDefault(const char* name, const char* value) {
  if (std::getenv(name) == nullptr) ::_putenv_s(name, value);
}

}  // namespace planilla::platform

#endif  // _WIN32
