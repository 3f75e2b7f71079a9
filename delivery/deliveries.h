// The register of electronic payslips sent (eb<cia><ano>): one record per sending,
// written before the server is called ("ENVIANDO") and completed after it
// ("ENVIADO" / "FALLIDO"). A batch asks it what was already sent, so that running
// the batch again sends only what is missing; a record left "ENVIANDO" by a batch
// that was cut short is sent again under the same Message-ID, which mail programs
// use to show one message however often it arrives.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "session/session.h"
#include "store/status.h"
#include "store/table.h"

namespace planilla::delivery {

inline constexpr const char* kSending = "ENVIANDO";
inline constexpr const char* kSent = "ENVIADO";
inline constexpr const char* kFailed = "FALLIDO";

struct DeliveryRecord {
  std::string codigo;   // as in the payroll (10, padded)
  std::string periodo;  // "AAAAMM"
  std::string tipo;     // "M" monthly, "G" gratification
  std::string email, archivo, sha256, msgid;
  Date fecha;
  std::string hora;  // "hh:mm:ss"
  std::string resultado, detalle;
  uint32_t recno = 0;
};

class DeliveryRegister {
 public:
  // Opens the register of the session's company and year, creating it on first use.
  static Result<std::unique_ptr<DeliveryRegister>> open(Session& s);
  ~DeliveryRegister();

  // The records of one payslip, oldest first.
  std::vector<DeliveryRecord> history(const std::string& codigo, const std::string& periodo,
                                      const std::string& tipo);
  // Appends `r` (with today's date and time) and sets r.recno.
  Status add(DeliveryRecord& r);
  // Completes record `recno` with its result.
  Status finish(uint32_t recno, const std::string& resultado, const std::string& detalle);

 private:
  explicit DeliveryRegister(std::unique_ptr<Table> t) : t_(std::move(t)) {}
  std::unique_ptr<Table> t_;
};

// Every record of the register of the session's year for `periodo` ("" = all), in
// file order. A missing register gives none.
Result<std::vector<DeliveryRecord>> readDeliveries(Session& s, const std::string& periodo = "");

}  // namespace planilla::delivery
