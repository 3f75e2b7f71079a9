// Errors as values for the storage engine and everything built on it.
// A Status is either ok or carries a code and a Spanish description that a
// screen may show as it stands. Nothing here throws or prints.
#pragma once

#include <optional>
#include <string>
#include <utility>

namespace planilla {

enum class ErrorCode {
  Ok = 0,
  NotFound,      // file, field, tag or key not present
  IoError,       // the operating system refused a read, write, sync or lock call
  Corrupt,       // a file does not follow its format
  InUse,         // exclusive open refused / shared open refused by an exclusive user,
                 // or a file another station holds open cannot be deleted
  Locked,        // a record, header or index lock is held by someone else
  Invalid,       // a bad argument: unknown field, value that does not fit, bad expression
  Unsupported,   // valid data this engine does not handle (collation, field type)
  NeedsReindex,  // an index cannot be kept current; changes are refused
};

class [[nodiscard]] Status {
 public:
  Status() = default;
  static Status ok() { return Status(); }
  static Status notFound(std::string m) { return Status(ErrorCode::NotFound, std::move(m)); }
  static Status ioError(std::string m) { return Status(ErrorCode::IoError, std::move(m)); }
  static Status corrupt(std::string m) { return Status(ErrorCode::Corrupt, std::move(m)); }
  static Status inUse(std::string m) { return Status(ErrorCode::InUse, std::move(m)); }
  static Status locked(std::string m) { return Status(ErrorCode::Locked, std::move(m)); }
  static Status invalid(std::string m) { return Status(ErrorCode::Invalid, std::move(m)); }
  static Status unsupported(std::string m) { return Status(ErrorCode::Unsupported, std::move(m)); }
  static Status needsReindex(std::string m) { return Status(ErrorCode::NeedsReindex, std::move(m)); }

  bool isOk() const { return code_ == ErrorCode::Ok; }
  explicit operator bool() const { return isOk(); }
  ErrorCode code() const { return code_; }
  const std::string& message() const { return message_; }

  // Adds context in front of the message ("empleados.dbf: ...").
  Status withContext(const std::string& ctx) const {
    if (isOk()) return *this;
    return Status(code_, ctx + ": " + message_);
  }

 private:
  Status(ErrorCode c, std::string m) : code_(c), message_(std::move(m)) {}
  ErrorCode code_ = ErrorCode::Ok;
  std::string message_;
};

// A value or the Status that explains why there is none.
template <class T>
class [[nodiscard]] Result {
 public:
  Result(T v) : value_(std::move(v)) {}                       // NOLINT: implicit by design
  Result(Status s) : status_(std::move(s)) {}                 // NOLINT: implicit by design
  bool isOk() const { return value_.has_value(); }
  explicit operator bool() const { return isOk(); }
  const Status& status() const { return status_; }
  T& value() & { return *value_; }
  const T& value() const& { return *value_; }
  T&& value() && { return std::move(*value_); }
  T* operator->() { return &*value_; }
  const T* operator->() const { return &*value_; }
  T& operator*() & { return *value_; }

 private:
  std::optional<T> value_;
  Status status_;
};

#define PLANILLA_RETURN_IF_ERROR(expr)          \
  do {                                          \
    ::planilla::Status _st = (expr);            \
    if (!_st.isOk()) return _st;                \
  } while (0)

}  // namespace planilla
