// The pages of a report file as the viewer shows them: laid out on demand, a few
// around the one shown, so that memory does not grow with the length of the report.
//
// The file is read once from the start to count its pages, in steps (count()), so
// that the window shows the first pages at once and the count grows meanwhile. Every
// kMarkEvery pages the layout's state is marked together with the place in the file
// where it was taken; a page is laid out again from the nearest mark before it, with
// the pages around it. Only the marks stay (about a kilobyte each), and the pages
// laid out last.
//
// The file stays open while the pages are shown: a report put in place under the same
// name meanwhile (the desktop writes a new file and renames it) does not change them.
#pragma once

#include <cstdint>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "reports/render/rpv_layout.h"
#include "reports/render/rpv_render.h"
#include "store/status.h"

namespace planilla::rpv {

class ReportPages {
 public:
  static constexpr size_t kMarkEvery = 16;  // pages between two marks
  static constexpr size_t kAround = 12;     // pages laid out on each side of a missing one
  static constexpr size_t kKept = 64;       // laid-out pages kept at most

  // Reads the settings and the header (and nothing of the body yet); fails when the
  // file cannot be read.
  static Result<std::unique_ptr<ReportPages>> open(const std::string& path, const LayoutOptions& options = {});
  ~ReportPages();
  ReportPages(const ReportPages&) = delete;
  ReportPages& operator=(const ReportPages&) = delete;

  const Document& head() const { return head_; }  // settings and title
  // The sheet, margins, fonts and header (no pages): what a PagePainter paints with.
  const Layout& sheet() const { return builder_->sheet(); }
  const std::string& pictureDir() const { return pictureDir_; }

  // The pages counted so far; every page once complete().
  size_t pageCount() const { return counted_; }
  bool complete() const { return complete_; }
  // Reads on about `bytes` of the body counting pages (to the end with 0). An error
  // when the file can no longer be read: the count stops where it was.
  [[nodiscard]] Status count(size_t bytes = 0);

  // Page `index` of those counted, laid out again unless it is among those kept;
  // nullptr past the pages counted (or when the file can no longer be read).
  const Page* page(size_t index);
  // Pages from..to (0-based, both included, clamped to the pages) in order, laid out
  // one after the other without being kept: printing and saving. Counts to the end
  // first.
  [[nodiscard]] Status eachPage(size_t from, size_t to, const std::function<void(const Page&)>& fn);
  size_t marks() const { return marks_.size(); }

 private:
  ReportPages() = default;
  struct Mark {
    uint64_t offset = 0;  // where the body is read on from (right after a "}")
    size_t firstPage = 0; // the first page the sink receives after resuming it
    std::shared_ptr<const LayoutBuilder::Mark> state;
  };
  enum class Mode { Counting, Keeping, Passing };
  void onPage(Page&& page);
  // Lays out again from the last mark at or before page `from` until page `to` has
  // gone to the sink (or the file ends), then returns the builder to the count.
  Status replay(size_t from, size_t to);
  // Feeds `bytes` of the body to `reader` in pieces ending at each "}", calling
  // `after(end)` after every piece that produced items (a group closed there: the
  // reader holds nothing); stops when `after` returns false.
  bool feedBody(ItemReader& reader, std::string_view bytes, uint64_t at,
                const std::function<bool(uint64_t end)>& after);

  std::string path_;
  std::ifstream in_;
  std::string pictureDir_;
  Document head_;
  std::unique_ptr<QtTextMetrics> metrics_;
  std::unique_ptr<LayoutBuilder> builder_;
  std::unique_ptr<ItemReader> counter_;
  bool emitted_ = false;  // the reader handed out items during the last piece
  uint64_t countPos_ = 0;  // where the count reads on
  uint64_t end_ = 0;       // length of the file
  size_t counted_ = 0;
  bool complete_ = false;
  std::vector<Mark> marks_;

  Mode mode_ = Mode::Counting;
  size_t next_ = 0;  // number of the page the sink receives next
  size_t from_ = 0, to_ = 0;
  const std::function<void(const Page&)>* passTo_ = nullptr;
  std::map<size_t, Page> kept_;
};

}  // namespace planilla::rpv
