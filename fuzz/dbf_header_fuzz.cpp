// Fuzz target for the table header, field descriptors and field values: any bytes
// must decode to a layout or a named corruption, and decoding the records that
// follow must stay inside them.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "store/dbf_format.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace planilla;
  std::string_view bytes(reinterpret_cast<const char*>(data), size);
  dbf::Layout layout;
  Status st = dbf::decodeLayout(bytes, &layout);
  if (!st) {
    if (st.code() != ErrorCode::Corrupt || st.message().empty()) __builtin_trap();
    return 0;
  }
  const auto& h = layout.header;
  uint32_t end = 1;
  for (const auto& f : layout.fields) {
    if (f.offset != end || f.width <= 0) __builtin_trap();
    end += static_cast<uint32_t>(f.width);
  }
  if (end != h.recordLength) __builtin_trap();
  // Decode the records present in the input, as the cursor would.
  for (uint32_t n = 1; n <= h.recordCount && n <= 64; ++n) {
    uint64_t off = dbf::recordOffset(h, n);
    if (off + h.recordLength > size) break;
    std::string_view rec = bytes.substr(off, h.recordLength);
    (void)dbf::isDeleted(rec);
    for (const auto& f : layout.fields) {
      std::string_view v = rec.substr(f.offset, static_cast<size_t>(f.width));
      bool ok = true;
      (void)dbf::decodeNumber(f, v, &ok);
      (void)dbf::decodeDate(f, v);
      (void)dbf::decodeLogical(v);
    }
  }
  // What decodes must encode back to a header that decodes the same way.
  std::string again = dbf::encodeLayout(layout);
  dbf::Layout back;
  if (!dbf::decodeLayout(again, &back)) __builtin_trap();
  if (back.fields.size() != layout.fields.size() || back.header.recordLength != h.recordLength) __builtin_trap();
  return 0;
}
