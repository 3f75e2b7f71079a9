// Fuzz target for the report markup: parsing and laying out any bytes must neither
// crash nor loop, and the layout must keep its own invariants.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "reports/render/rpv_document.h"
#include "reports/render/rpv_layout.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace planilla::rpv;
  std::string_view bytes(reinterpret_cast<const char*>(data), size);
  Document doc = parseDocument(bytes);
  FixedMetrics metrics;
  Layout layout = layoutDocument(doc, metrics);
  if (layout.pages.empty()) std::abort();  // there is always a first page
  // Laying the body out while parsing it gives the same pages.
  std::string body;
  Document head = parseHead(bytes, &body);
  Layout streamed = layoutStream(head, body, metrics);
  if (streamed.pages.size() != layout.pages.size() || streamed.header.size() != layout.header.size()) std::abort();
  for (const Page& p : layout.pages)
    for (const DrawOp& op : p.ops) {
      if (op.kind == DrawOp::Text && (op.font < 0 || static_cast<size_t>(op.font) >= layout.fonts.size()))
        std::abort();
      if (op.kind == DrawOp::Text && op.text.empty()) std::abort();
    }
  return 0;
}
