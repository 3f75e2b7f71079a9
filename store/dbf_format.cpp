#include "store/dbf_format.h"

#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace planilla::dbf {
namespace {

uint32_t get32(const char* p) {
  const auto* u = reinterpret_cast<const unsigned char*>(p);
  return uint32_t(u[0]) | uint32_t(u[1]) << 8 | uint32_t(u[2]) << 16 | uint32_t(u[3]) << 24;
}
uint16_t get16(const char* p) {
  const auto* u = reinterpret_cast<const unsigned char*>(p);
  return uint16_t(u[0] | u[1] << 8);
}
void put32(char* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = char((v >> (8 * i)) & 0xFF);
}
void put16(char* p, uint16_t v) {
  p[0] = char(v & 0xFF);
  p[1] = char(v >> 8);
}

bool knownVersion(uint8_t v) {
  switch (v) {
    case 0x02:  // FoxBASE
    case 0x03:  // FoxBASE+ / dBase III / FoxPro without memo
    case 0x83:  // dBase III with memo
    case 0x8B:  // dBase IV with memo
    case 0xCB:
    case 0xF5:  // FoxPro 2.x with memo
    case 0xFB:
    case 0x30:  // Visual FoxPro
    case 0x31:  // Visual FoxPro with autoincrement
    case 0x32:  // Visual FoxPro with varchar/varbinary
    case 0x43:
    case 0x63:
    case 0xB3:
    case 0xE5:
      return true;
    default:
      return false;
  }
}

std::string hex2(unsigned v) {
  char b[8];
  std::snprintf(b, sizeof b, "0x%02X", v & 0xFF);
  return b;
}

bool nameCharOk(char c) {
  auto u = static_cast<unsigned char>(c);
  return std::isalnum(u) || c == '_' || u >= 0x80;
}

int64_t get64(const char* p) {
  uint64_t v = 0;
  for (int i = 7; i >= 0; --i) v = (v << 8) | static_cast<unsigned char>(p[i]);
  return static_cast<int64_t>(v);
}

}  // namespace

Status decodeHeader(std::string_view b, Header* h) {
  if (b.size() < kHeaderSize)
    return Status::corrupt("encabezado de tabla incompleto (" + std::to_string(b.size()) + " bytes)");
  h->version = static_cast<uint8_t>(b[0]);
  h->year = static_cast<uint8_t>(b[1]);
  h->month = static_cast<uint8_t>(b[2]);
  h->day = static_cast<uint8_t>(b[3]);
  h->recordCount = get32(b.data() + 4);
  h->headerLength = get16(b.data() + 8);
  h->recordLength = get16(b.data() + 10);
  h->flags = static_cast<uint8_t>(b[28]);
  h->codePage = static_cast<uint8_t>(b[29]);
  h->rebuildPending = static_cast<uint8_t>(b[kRebuildMarkOffset]) == kRebuildMark;
  if (!knownVersion(h->version))
    return Status::corrupt("version de tabla desconocida " + hex2(h->version));
  if (h->headerLength < kHeaderSize + kDescriptorSize + 1)
    return Status::corrupt("longitud de encabezado invalida (" + std::to_string(h->headerLength) + ")");
  if (h->recordLength < 2)
    return Status::corrupt("longitud de registro invalida (" + std::to_string(h->recordLength) + ")");
  if (h->recordCount > kMaxRecords)
    return Status::corrupt("cantidad de registros invalida (" + std::to_string(h->recordCount) + ")");
  return Status::ok();
}

std::string encodeHeader(const Header& h) {
  std::string b(kHeaderSize, '\0');
  b[0] = char(h.version);
  b[1] = char(h.year);
  b[2] = char(h.month);
  b[3] = char(h.day);
  put32(b.data() + 4, h.recordCount);
  put16(b.data() + 8, h.headerLength);
  put16(b.data() + 10, h.recordLength);
  if (h.rebuildPending) b[kRebuildMarkOffset] = char(kRebuildMark);
  b[28] = char(h.flags);
  b[29] = char(h.codePage);
  return b;
}

Status decodeFields(std::string_view area, const Header& h, std::vector<Field>* out) {
  out->clear();
  if (area.size() < h.headerLength)
    return Status::corrupt("encabezado truncado: se esperaban " + std::to_string(h.headerLength) +
                           " bytes y hay " + std::to_string(area.size()));
  uint32_t offset = 1;
  for (size_t pos = kHeaderSize; pos + kDescriptorSize <= h.headerLength; pos += kDescriptorSize) {
    char first = area[pos];
    // 0x0D ends the list; some writers put 0x0A there. The header length is trusted.
    if (first == kTerminator || first == 0x0A) break;
    const char* d = area.data() + pos;
    Field f;
    size_t n = 0;
    while (n < 11 && d[n] != '\0') ++n;
    f.name.assign(d, n);
    int idx = static_cast<int>(out->size()) + 1;
    if (f.name.empty())
      return Status::corrupt("descriptor de campo " + std::to_string(idx) + " sin nombre");
    for (char c : f.name)
      if (!nameCharOk(c))
        return Status::corrupt("nombre de campo invalido en el descriptor " + std::to_string(idx));
    f.type = static_cast<char>(std::toupper(static_cast<unsigned char>(d[11])));
    if (!std::isalnum(static_cast<unsigned char>(f.type)))
      return Status::corrupt("tipo de campo invalido " + hex2(static_cast<unsigned char>(d[11])) +
                             " en el campo " + f.name);
    f.width = static_cast<unsigned char>(d[16]);
    f.decimals = static_cast<unsigned char>(d[17]);
    f.flags = static_cast<uint8_t>(d[18]);
    if (f.width == 0) return Status::corrupt("campo " + f.name + " de ancho cero");
    f.offset = offset;
    offset += static_cast<uint32_t>(f.width);
    out->push_back(std::move(f));
  }
  if (out->empty()) return Status::corrupt("la tabla no tiene descriptores de campo");
  if (offset != h.recordLength)
    return Status::corrupt("la suma de los anchos de campo (" + std::to_string(offset) +
                           ") no coincide con la longitud de registro (" +
                           std::to_string(h.recordLength) + ")");
  return Status::ok();
}

Status decodeLayout(std::string_view area, Layout* out) {
  PLANILLA_RETURN_IF_ERROR(decodeHeader(area, &out->header));
  return decodeFields(area, out->header, &out->fields);
}

void setUpdateDate(Header* h, const Date& today) {
  if (today.empty()) return;
  h->year = static_cast<uint8_t>(today.year() % 100);
  h->month = static_cast<uint8_t>(today.month());
  h->day = static_cast<uint8_t>(today.day());
}

Result<Layout> layoutFor(const std::vector<FieldSpec>& specs, const Date& today) {
  if (specs.empty()) return Status::invalid("una tabla necesita al menos un campo");
  if (specs.size() > 254) return Status::invalid("demasiados campos (" + std::to_string(specs.size()) + ")");
  Layout l;
  uint32_t offset = 1;
  for (const auto& s : specs) {
    Field f;
    if (s.name.empty() || s.name.size() > kMaxFieldName)
      return Status::invalid("nombre de campo invalido: '" + s.name + "' (1 a 10 caracteres)");
    if (std::isdigit(static_cast<unsigned char>(s.name[0])))
      return Status::invalid("nombre de campo invalido: '" + s.name + "'");
    for (char c : s.name) {
      auto u = static_cast<unsigned char>(c);
      if (!(std::isalnum(u) || c == '_')) return Status::invalid("nombre de campo invalido: '" + s.name + "'");
      f.name.push_back(static_cast<char>(std::toupper(u)));
    }
    f.type = static_cast<char>(std::toupper(static_cast<unsigned char>(s.type)));
    f.width = s.width;
    f.decimals = s.decimals;
    switch (f.type) {
      case 'C':
        if (f.width < 1 || f.width > 254 || f.decimals != 0)
          return Status::invalid("ancho invalido para el campo " + f.name + " (C de 1 a 254)");
        break;
      case 'N':
      case 'F':
        if (f.width < 1 || f.width > 20 || f.decimals < 0 || f.decimals > 15 ||
            (f.decimals > 0 && f.decimals > f.width - 2))
          return Status::invalid("ancho o decimales invalidos para el campo " + f.name);
        break;
      case 'D':
        if (f.width != 8 || f.decimals != 0) return Status::invalid("el campo fecha " + f.name + " debe tener ancho 8");
        break;
      case 'L':
        if (f.width != 1 || f.decimals != 0) return Status::invalid("el campo logico " + f.name + " debe tener ancho 1");
        break;
      default:
        return Status::unsupported(std::string("tipo de campo no soportado para escribir: ") + f.type +
                                   " (campo " + f.name + ")");
    }
    f.offset = offset;
    offset += static_cast<uint32_t>(f.width);
    l.fields.push_back(std::move(f));
  }
  if (offset > 65535) return Status::invalid("registro demasiado largo");
  l.header.version = kWriteVersion;
  l.header.codePage = kWriteCodePage;
  l.header.flags = 0;
  l.header.recordCount = 0;
  l.header.recordLength = static_cast<uint16_t>(offset);
  l.header.headerLength = static_cast<uint16_t>(kHeaderSize + kDescriptorSize * l.fields.size() + 1);
  setUpdateDate(&l.header, today);
  return l;
}

std::string encodeLayout(const Layout& layout) {
  std::string b = encodeHeader(layout.header);
  for (const auto& f : layout.fields) {
    char d[kDescriptorSize];
    std::memset(d, 0, sizeof d);
    std::memcpy(d, f.name.data(), std::min<size_t>(f.name.size(), kMaxFieldName));
    d[11] = f.type;
    put32(d + 12, f.offset);
    d[16] = char(f.width & 0xFF);
    d[17] = char(f.decimals & 0xFF);
    d[18] = char(f.flags);
    b.append(d, sizeof d);
  }
  b.push_back(kTerminator);
  if (b.size() < layout.header.headerLength) b.resize(layout.header.headerLength, '\0');
  return b;
}

uint32_t decodeRecordCount(const char* four) { return get32(four); }

std::string encodeUpdate(const Header& h) {
  std::string b(7, '\0');
  b[0] = char(h.year);
  b[1] = char(h.month);
  b[2] = char(h.day);
  put32(b.data() + 3, h.recordCount);
  return b;
}

uint64_t recordOffset(const Header& h, uint32_t recno) {
  return uint64_t(h.headerLength) + uint64_t(recno - 1) * h.recordLength;
}
uint64_t endOffset(const Header& h, uint32_t count) {
  return uint64_t(h.headerLength) + uint64_t(count) * h.recordLength;
}
uint64_t dataEnd(const Header& h) { return endOffset(h, h.recordCount); }

std::string blankRecord(const Layout& layout) {
  return std::string(layout.header.recordLength, ' ');
}

RecordLayout recordLayout(const Layout& layout) {
  RecordLayout r;
  r.reserve(layout.fields.size());
  for (const auto& f : layout.fields) r.push_back({f.name, f.type, f.width, f.decimals, f.offset});
  return r;
}

std::vector<FieldSpec> fieldSpecs(const Layout& layout) {
  std::vector<FieldSpec> r;
  r.reserve(layout.fields.size());
  for (const auto& f : layout.fields) r.push_back({f.name, f.type, f.width, f.decimals});
  return r;
}

void encodeText(std::string_view text, int width, char* out) {
  size_t n = std::min(text.size(), static_cast<size_t>(width));
  std::memcpy(out, text.data(), n);
  std::memset(out + n, ' ', static_cast<size_t>(width) - n);
}

Status encodeNumber(double v, int width, int decimals, char* out) {
  if (!std::isfinite(v)) return Status::invalid("valor numerico no valido");
  double r = roundHalfAway(v, decimals);
  if (r == 0) r = 0;  // no "-0.00"
  char buf[400];
  int n = std::snprintf(buf, sizeof buf, "%.*f", decimals, r);
  if (n < 0 || n > width) {
    char shown[64];
    std::snprintf(shown, sizeof shown, "%.*f", decimals, r);
    return Status::invalid(std::string("el valor ") + shown + " no cabe en un campo de ancho " +
                           std::to_string(width));
  }
  std::memset(out, ' ', static_cast<size_t>(width - n));
  std::memcpy(out + (width - n), buf, static_cast<size_t>(n));
  return Status::ok();
}

void encodeDate(const Date& d, int width, char* out) {
  std::string s = d.dtos();  // eight digits or eight blanks
  encodeText(s, width, out);
}

void encodeLogical(bool v, int width, char* out) {
  std::memset(out, ' ', static_cast<size_t>(width));
  if (width > 0) out[0] = v ? 'T' : 'F';
}

double decodeNumber(const Field& f, std::string_view b, bool* ok) {
  if (ok) *ok = true;
  switch (f.type) {
    case 'I':
      if (b.size() >= 4) return static_cast<int32_t>(get32(b.data()));
      break;
    case 'B':
      if (b.size() >= 8) {
        int64_t bits = get64(b.data());
        double d;
        std::memcpy(&d, &bits, sizeof d);
        return d;
      }
      break;
    case 'Y':
      if (b.size() >= 8) return static_cast<double>(get64(b.data())) / 10000.0;
      break;
    default: {
      size_t i = 0, e = b.size();
      while (i < e && (b[i] == ' ' || b[i] == '\0')) ++i;
      while (e > i && (b[e - 1] == ' ' || b[e - 1] == '\0')) --e;
      // Numbers are padded with blanks; NUL bytes where digits belong are what a lost
      // or cut write leaves, so such a field is unreadable though it looks blank.
      if (ok && b.find('\0') != std::string_view::npos) *ok = false;
      if (i == e) return 0;
      if (b[i] == '+') ++i;
      double v = 0;
      auto res = std::from_chars(b.data() + i, b.data() + e, v);
      if (res.ec != std::errc() || res.ptr != b.data() + e || !std::isfinite(v)) {
        // A decimal comma, asterisks, letters ("INF" and "NAN" included): not a number
        // this engine wrote.
        if (ok) *ok = false;
        return 0;
      }
      return v;
    }
  }
  if (ok) *ok = false;
  return 0;
}

Date decodeDate(const Field& f, std::string_view b) {
  if (f.type == 'T' && b.size() >= 4) {
    int32_t jd = static_cast<int32_t>(get32(b.data()));
    if (jd <= 0) return Date();
    return Date::fromJulianDay(jd);
  }
  if (b.size() < 8) return Date();
  Date d = Date::fromDtos(b.substr(0, 8));
  return d;
}

bool decodeLogical(std::string_view b) {
  if (b.empty()) return false;
  char c = b[0];
  return c == 'T' || c == 't' || c == 'Y' || c == 'y';
}

}  // namespace planilla::dbf
