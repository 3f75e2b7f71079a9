#include "exports/bank_layouts.h"

#include <algorithm>
#include <cctype>

namespace planilla::exports::bank {

namespace {

// BCP "Telecredito", payroll of salaries: header of 113 characters, payments of 195.
// Three independent generators agree on every position; the control sum sits at 99-113
// (the only place the widths leave for it).
const Layout kBcp = {
    Bank::Bcp, "BCP", "02", "alta: tres fuentes independientes coinciden", false, true, "0001", "1001",
    {{"01", "1"}, {"04", "3"}, {"07", "4"}},
    {{"tipo de registro", 1, Fill::Code, Key::None, "1"},
     {"cantidad de abonos", 6, Fill::Zeros, Key::Count},
     {"fecha de proceso", 8, Fill::Code, Key::ProcessDate},
     {"subtipo de planilla", 1, Fill::Code, Key::Subtype},
     {"tipo de cuenta de cargo", 1, Fill::Code, Key::ChargeType},
     {"moneda", 4, Fill::Code, Key::Currency},
     {"cuenta de cargo", 20, Fill::Code, Key::ChargeAccount},
     {"monto total", 17, Fill::AmountPoint, Key::Total},
     {"referencia de la planilla", 40, Fill::Text, Key::Reference},
     {"total de control", 15, Fill::Zeros, Key::Checksum}},
    {{"tipo de registro", 1, Fill::Code, Key::None, "2"},
     {"tipo de cuenta de abono", 1, Fill::Code, Key::CreditType},
     {"cuenta de abono", 20, Fill::Code, Key::Account},
     {"tipo de documento", 1, Fill::Code, Key::DocType},
     {"numero de documento", 12, Fill::Code, Key::DocNumber},
     {"correlativo de menor", 3, Fill::Code, Key::None, ""},
     {"nombre", 75, Fill::Text, Key::Name},
     {"referencia del beneficiario", 40, Fill::Text, Key::BeneficiaryRef},
     {"referencia de la empresa", 20, Fill::Text, Key::CompanyRef},
     {"moneda", 4, Fill::Code, Key::Currency},
     {"importe", 17, Fill::AmountPoint, Key::Amount},
     {"validar documento con la cuenta", 1, Fill::Code, Key::None, "S"}},
};

// BBVA "Net Cash", payment of salaries: header of 151 characters, detail of 233.
const Layout kBbva = {
    Bank::Bbva, "BBVA", "11", "media-alta: dos fuentes coinciden; codigos de documento sin confirmar", false, true, "PEN", "USD",
    {{"01", "L"}, {"04", "E"}, {"07", "P"}},
    {{"tipo de registro", 3, Fill::Code, Key::None, "700"},
     {"cuenta de cargo", 20, Fill::Code, Key::ChargeAccount},
     {"moneda", 3, Fill::Code, Key::Currency},
     {"importe total", 15, Fill::AmountZeros, Key::Total},
     {"tipo de proceso", 1, Fill::Code, Key::ProcessKind},
     {"fecha de proceso", 8, Fill::Code, Key::ProcessDate},
     {"hora de proceso", 1, Fill::Code, Key::None, ""},
     {"referencia", 25, Fill::Text, Key::Reference},
     {"numero de registros", 6, Fill::Zeros, Key::Count},
     {"validacion de pertenencia", 1, Fill::Code, Key::None, "S"},
     {"valor de control", 18, Fill::Code, Key::None, "000000000000000000"},
     {"relleno", 50, Fill::Code, Key::None, ""}},
    {{"tipo de registro", 3, Fill::Code, Key::None, "002"},
     {"tipo de documento", 1, Fill::Code, Key::DocType},
     {"numero de documento", 12, Fill::Code, Key::DocNumber},
     {"tipo de abono", 1, Fill::Code, Key::CreditType},
     {"cuenta de abono", 20, Fill::Code, Key::Account},
     {"nombre", 40, Fill::Text, Key::Name},
     {"importe", 15, Fill::AmountZeros, Key::Amount},
     {"referencia", 40, Fill::Text, Key::BeneficiaryRef},
     {"indicador de aviso", 1, Fill::Code, Key::NoticeKind},
     {"correo o celular", 50, Fill::Code, Key::Notice},
     {"relleno", 50, Fill::Code, Key::None, ""}},
};

// Interbank, payment of salaries: header of 104 characters, detail of 380 (the two
// blanks of the CTS currency before the CTS amount, which one generator leaves out).
const Layout kInterbank = {
    Bank::Interbank, "INTERBANK", "03", "media: dos fuentes, difieren en 2 posiciones; codigos de documento sin confirmar",
    false, true, "01", "10",
    {{"01", "01"}, {"04", "03"}, {"07", "05"}},
    {{"tipo de registro", 4, Fill::Code, Key::None, "0104"},
     {"reservado", 36, Fill::Code, Key::None, ""},
     {"fecha y hora", 14, Fill::Code, Key::Timestamp},
     {"reservado", 9, Fill::Code, Key::None, ""},
     {"numero de registros", 6, Fill::Zeros, Key::Count},
     {"total en soles", 15, Fill::AmountZeros, Key::TotalPen},
     {"total en dolares", 15, Fill::AmountZeros, Key::TotalUsd},
     {"codigo de servicio", 5, Fill::Code, Key::None, "MC001"}},
    {{"tipo de registro", 2, Fill::Code, Key::None, "02"},
     {"tipo de documento", 2, Fill::Code, Key::DocType},
     {"codigo de beneficiario", 20, Fill::Code, Key::DocNumber},
     {"reservado", 19, Fill::Code, Key::None, ""},
     {"fecha", 8, Fill::Code, Key::None, ""},
     {"moneda", 2, Fill::Code, Key::Currency},
     {"importe", 15, Fill::AmountZeros, Key::Amount},
     {"reservado", 1, Fill::Code, Key::None, ""},
     {"forma de pago", 2, Fill::Code, Key::PayMethod},
     {"tipo de cuenta", 3, Fill::Code, Key::AccountType},
     {"moneda de la cuenta", 2, Fill::Code, Key::AccountCurrency},
     {"cuenta de abono", 23, Fill::Code, Key::Account},
     {"tipo de persona", 1, Fill::Code, Key::None, "P"},
     {"tipo de documento", 2, Fill::Code, Key::DocType},
     {"numero de documento", 15, Fill::Code, Key::DocNumber},
     {"apellido paterno", 20, Fill::Text, Key::Paterno},
     {"apellido materno", 20, Fill::Text, Key::Materno},
     {"nombres", 20, Fill::Text, Key::Nombres},
     {"moneda CTS", 2, Fill::Code, Key::None, ""},
     {"importe CTS", 15, Fill::Code, Key::None, "000000000000000"},
     {"reservado", 6, Fill::Code, Key::None, ""},
     {"celular", 40, Fill::Code, Key::None, ""},
     {"correo", 140, Fill::Code, Key::None, ""}},
};

// BanBif, payment of salaries: no header, records of 213 characters.
const Layout kBanbif = {
    Bank::Banbif, "BANBIF", "38", "media: dos fuentes coinciden en el ancho; solo cuentas BanBif", false, false, "1", "2",
    {{"01", "1"}, {"04", "3"}},
    {},
    {{"correlativo", 7, Fill::RightText, Key::Sequence},
     {"tipo de documento", 1, Fill::Code, Key::DocType},
     {"numero de documento", 11, Fill::Code, Key::DocNumber},
     {"apellido paterno", 20, Fill::Text, Key::Paterno},
     {"apellido materno", 20, Fill::Text, Key::Materno},
     {"nombres", 44, Fill::Text, Key::Nombres},
     {"direccion", 60, Fill::Text, Key::Address},
     {"telefono", 10, Fill::Text, Key::Phone},
     {"tipo de planilla", 1, Fill::Code, Key::None, "H"},
     {"codigo de banco", 3, Fill::Code, Key::BankCode},
     {"cuenta de abono", 20, Fill::RightText, Key::Account},
     {"moneda", 1, Fill::Code, Key::Currency},
     {"importe", 14, Fill::AmountBlank, Key::Amount},
     {"motivo de abono", 1, Fill::Code, Key::Motive}},
};

bool allDigits(std::string_view s) {
  return !s.empty() && std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

std::string upperAscii(std::string s) {
  for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return s;
}

}  // namespace

const Layout& layout(Bank b) {
  switch (b) {
    case Bank::Bcp: return kBcp;
    case Bank::Bbva: return kBbva;
    case Bank::Interbank: return kInterbank;
    case Bank::Banbif: return kBanbif;
  }
  return kBcp;
}

bool bankByName(const std::string& name, Bank* out) {
  const std::string n = upperAscii(name);
  for (Bank b : {Bank::Bcp, Bank::Bbva, Bank::Interbank, Bank::Banbif}) {
    if (n == layout(b).name) {
      *out = b;
      return true;
    }
  }
  return false;
}

bool bankBySunat(const std::string& code, Bank* out) {
  for (Bank b : {Bank::Bcp, Bank::Bbva, Bank::Interbank, Bank::Banbif}) {
    if (code == layout(b).sunatCode) {
      *out = b;
      return true;
    }
  }
  return false;
}

int recordWidth(const std::vector<FieldDef>& fields) {
  int w = 0;
  for (const FieldDef& f : fields) w += f.width;
  return w;
}

bool appendRecord(const std::vector<FieldDef>& fields, const Values& values, std::string& line, std::string* error) {
  for (const FieldDef& f : fields) {
    const size_t w = static_cast<size_t>(f.width);
    std::string v = f.key == Key::None ? std::string(f.constant) : values[static_cast<size_t>(f.key)];
    auto refuse = [&](const char* why) {
      if (error) *error = std::string("el campo ") + f.name + " (" + std::to_string(f.width) + " posiciones) " + why +
                          ": " + v;
      return false;
    };
    const bool amount = f.fill == Fill::AmountPoint || f.fill == Fill::AmountZeros || f.fill == Fill::AmountBlank;
    if ((amount || f.fill == Fill::Zeros) && !allDigits(v)) return refuse("no es un numero positivo");
    if (f.fill == Fill::AmountPoint) {
      if (v.size() < 3) v.insert(0, 3 - v.size(), '0');
      v.insert(v.size() - 2, ".");
    }
    if (f.fill == Fill::Text) {
      if (v.size() > w) v.resize(w);
    } else if (v.size() > w) {
      return refuse("no cabe");
    }
    const size_t pad = w - v.size();
    switch (f.fill) {
      case Fill::Text:
      case Fill::Code: line += v; line.append(pad, ' '); break;
      case Fill::RightText:
      case Fill::AmountBlank: line.append(pad, ' '); line += v; break;
      case Fill::Zeros:
      case Fill::AmountPoint:
      case Fill::AmountZeros: line.append(pad, '0'); line += v; break;
    }
  }
  return true;
}

std::string foldName(std::string_view text) {
  // Windows-1252 0xC0..0xFF folded to a plain capital; 0 leaves a blank.
  static const char kFold[64 + 1] =
      "AAAAAAACEEEEIIII"   // C0-CF  (C6 AE as A, C7 C)
      "DNOOOOO OUUUUY  "   // D0-DF  (D1 N-tilde as N, D7 times as blank, DE/DF blank)
      "AAAAAAACEEEEIIII"   // E0-EF
      "DNOOOOO OUUUUY Y";  // F0-FF
  std::string out;
  out.reserve(text.size());
  bool blank = false;
  for (char raw : text) {
    const unsigned char c = static_cast<unsigned char>(raw);
    char f = ' ';
    if (c >= 'a' && c <= 'z') f = static_cast<char>(c - 'a' + 'A');
    else if ((c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')) f = static_cast<char>(c);
    else if (c >= 0xC0) f = kFold[c - 0xC0];
    else if (c == 0x8A || c == 0x9A) f = 'S';  // S with caron
    else if (c == 0x8E || c == 0x9E) f = 'Z';
    else if (c == 0x9F) f = 'Y';
    if (f == ' ') {
      blank = !out.empty();
      continue;
    }
    if (blank) out += ' ';
    blank = false;
    out += f;
  }
  return out;
}

std::string centsText(int64_t cents) {
  if (cents < 0) return "-" + std::to_string(0ULL - static_cast<unsigned long long>(cents));
  return std::to_string(cents);
}

bool DigitSum::add(std::string_view d) {
  if (!allDigits(d)) return false;
  if (digits_.size() < d.size()) digits_.resize(d.size(), 0);
  int carry = 0;
  size_t i = 0;
  for (; i < d.size(); ++i) {
    const int v = digits_[i] + (d[d.size() - 1 - i] - '0') + carry;
    digits_[i] = static_cast<uint8_t>(v % 10);
    carry = v / 10;
  }
  for (; carry && i < digits_.size(); ++i) {
    const int v = digits_[i] + carry;
    digits_[i] = static_cast<uint8_t>(v % 10);
    carry = v / 10;
  }
  if (carry) digits_.push_back(static_cast<uint8_t>(carry));
  return true;
}

std::string DigitSum::text() const {
  std::string s;
  size_t n = digits_.size();
  while (n > 0 && digits_[n - 1] == 0) --n;
  for (size_t i = n; i-- > 0;) s += static_cast<char>('0' + digits_[i]);
  return s.empty() ? "0" : s;
}

bool bcpControlSum(const std::string& chargeAccount, const std::vector<std::string>& accounts,
                   const std::vector<bool>& cci, std::string* sum) {
  DigitSum total;
  if (chargeAccount.size() <= 3 || !total.add(std::string_view(chargeAccount).substr(3))) return false;
  for (size_t i = 0; i < accounts.size(); ++i) {
    const size_t skip = cci[i] ? 10 : 3;
    if (accounts[i].size() <= skip || !total.add(std::string_view(accounts[i]).substr(skip))) return false;
  }
  *sum = total.text();
  return true;
}

}  // namespace planilla::exports::bank
