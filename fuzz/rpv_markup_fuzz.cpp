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
  // Read in pieces, as a file is read, the report gives the same pages.
  const size_t piece = 1 + (size == 0 ? 0 : data[0] % 13);
  PartsScanner scan;
  for (size_t at = 0; at < size; at += piece) scan.feed(bytes.substr(at, piece));
  Document head;
  LayoutBuilder builder(head, metrics);
  DocumentReader reader(
      scan.finish(), head, [&](Item&& it) { builder.headerItem(it); }, [&](Item&& it) { builder.bodyItem(it); });
  for (size_t at = 0; at < size; at += piece) reader.feed(bytes.substr(at, piece));
  reader.finish();
  Layout streamed = builder.finish();
  if (streamed.pages.size() != layout.pages.size() || streamed.header.size() != layout.header.size()) std::abort();
  if (head.settings != doc.settings || head.stops != doc.stops) std::abort();
  // Handed out page by page as they are finished, the same pages.
  size_t ops = 0, sunk = 0, sunkOps = 0;
  for (const Page& p : layout.pages) ops += p.ops.size();
  Document pagedHead;
  LayoutBuilder paged(pagedHead, metrics, {}, [&](const Layout&, Page&& p) {
    ++sunk;
    sunkOps += p.ops.size();
  });
  readDocument(
      bytes, pagedHead, [&](Item&& it) { paged.headerItem(it); }, [&](Item&& it) { paged.bodyItem(it); });
  if (!paged.finish().pages.empty() || sunk != layout.pages.size() || sunkOps != ops) std::abort();
  for (const Page& p : layout.pages) {
    if (p.ops.size() > kMaxPageOps) std::abort();
    for (const DrawOp& op : p.ops) {
      if (op.kind == DrawOp::Text && (op.font < 0 || static_cast<size_t>(op.font) >= layout.fonts.size()))
        std::abort();
      if (op.kind == DrawOp::Text && (op.text.empty() || op.text.size() > kMaxRunBytes)) std::abort();
    }
  }
  return 0;
}
