// Key and FOR expressions from untrusted text, compiled against a payroll layout and
// evaluated over fixed records and one made of the input bytes. Compilation either
// fails with an error or gives an expression whose keys have exactly its key length.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "store/expr.h"
#include "store/index.h"

namespace {

using namespace planilla;

RecordLayout layout() {
  RecordLayout l;
  uint32_t off = 1;
  auto add = [&](const char* n, char t, int w, int d = 0) {
    l.push_back(FieldLayout{n, t, w, d, off});
    off += static_cast<uint32_t>(w);
  };
  add("CODIGO", 'C', 10);
  add("NOMBRE", 'C', 50);
  add("MES", 'C', 2);
  add("SUELDO", 'N', 10, 2);
  add("FECHA", 'D', 8);
  add("ACTIVO", 'L', 1);
  add("ID", 'I', 4);
  add("CUANDO", 'T', 8);
  add("MONTO", 'Y', 8);
  add("TASA", 'B', 8);
  return l;
}

constexpr size_t kRecLen = 1 + 10 + 50 + 2 + 10 + 8 + 1 + 4 + 8 + 8 + 8;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const RecordLayout l = layout();
  std::string text(reinterpret_cast<const char*>(data), size);
  auto e = KeyExpr::compile(text, l);
  if (!e) return 0;
  std::string recs[3];
  recs[0] = std::string(kRecLen, ' ');
  recs[1] = " E001      Perez Luis" + std::string(40, ' ') + "03   1500.2520160331T" + std::string(36, '\x01');
  recs[1].resize(kRecLen, '\0');
  recs[2] = "*" + text;
  recs[2].resize(kRecLen, '\xff');
  for (const std::string& r : recs) {
    auto k = e.value()->key(r);
    if (k && static_cast<int>(k.value().size()) != e.value()->keyLength()) std::abort();
    if (e.value()->type() == KeyExpr::Type::Logical) (void)e.value()->truth(r);
  }
  // A record shorter than the layout is refused, not read past its end.
  (void)e.value()->key(std::string_view(recs[1]).substr(0, 5));
  return 0;
}
