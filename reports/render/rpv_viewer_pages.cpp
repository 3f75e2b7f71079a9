#include "reports/render/rpv_viewer_pages.h"

#include <QFileInfo>
#include <algorithm>

namespace planilla::rpv {

namespace {

constexpr size_t kPiece = 64 * 1024;

Status unreadable(const std::string& path) { return Status::ioError("No se puede leer el reporte " + path); }

}  // namespace

Result<std::unique_ptr<ReportPages>> ReportPages::open(const std::string& path, const LayoutOptions& options) {
  std::unique_ptr<ReportPages> r(new ReportPages);
  r->path_ = path;
  r->in_.open(path, std::ios::binary);
  if (!r->in_) return Status::notFound("No se puede abrir el reporte " + path);
  if (!r->in_.seekg(0, std::ios::end)) return unreadable(path);
  r->end_ = static_cast<uint64_t>(r->in_.tellg());
  if (!r->in_.seekg(0)) return unreadable(path);
  r->pictureDir_ = QFileInfo(QString::fromLocal8Bit(path.c_str())).absolutePath().toLocal8Bit().toStdString();

  // Where the parts lie: the scan stops at the "[Data]" line.
  std::vector<char> buf(kPiece);
  PartsScanner scan;
  uint64_t pos = 0;
  while (!scan.done() && pos < r->end_) {
    const size_t got = static_cast<size_t>(r->in_.read(buf.data(), static_cast<std::streamsize>(buf.size())).gcount());
    if (got == 0) return unreadable(path);
    scan.feed(std::string_view(buf.data(), got));
    pos += got;
  }
  const FileParts parts = scan.finish();

  ReportPages* self = r.get();
  r->metrics_ = std::make_unique<QtTextMetrics>();
  r->builder_ = std::make_unique<LayoutBuilder>(r->head_, *r->metrics_, options,
                                                [self](const Layout&, Page&& page) { self->onPage(std::move(page)); });
  // The settings and the header, read before any page is counted.
  {
    DocumentReader reader(
        parts, r->head_, [self](Item&& it) { self->builder_->headerItem(it); }, [](Item&&) {});
    r->in_.clear();
    if (!r->in_.seekg(0)) return unreadable(path);
    for (pos = 0; pos < parts.bodyBegin;) {
      const size_t want = static_cast<size_t>(std::min<uint64_t>(buf.size(), parts.bodyBegin - pos));
      const size_t got = static_cast<size_t>(r->in_.read(buf.data(), static_cast<std::streamsize>(want)).gcount());
      if (got == 0) return unreadable(path);
      reader.feed(std::string_view(buf.data(), got));
      pos += got;
    }
    reader.finish();
  }
  r->marks_.push_back({parts.bodyBegin, 0, r->builder_->mark()});
  r->countPos_ = parts.bodyBegin;
  r->counter_ = std::make_unique<ItemReader>([self](Item&& it) {
    self->emitted_ = true;
    self->builder_->bodyItem(it);
  });
  return r;
}

ReportPages::~ReportPages() = default;

void ReportPages::onPage(Page&& page) {
  const size_t i = next_++;
  switch (mode_) {
    case Mode::Counting:
      counted_ = next_;
      break;
    case Mode::Keeping:
      if (i >= from_ && i <= to_) kept_[i] = std::move(page);
      break;
    case Mode::Passing:
      if (i >= from_ && i <= to_) (*passTo_)(page);
      break;
  }
}

bool ReportPages::feedBody(ItemReader& reader, std::string_view bytes, uint64_t at,
                           const std::function<bool(uint64_t)>& after) {
  // Items come out only when a group closes, at its "}": after such a piece the
  // reader holds no part of a run or a group, and a mark taken there needs no more
  // than the place in the file.
  while (!bytes.empty()) {
    const size_t close = bytes.find('}');
    const size_t n = close == std::string_view::npos ? bytes.size() : close + 1;
    emitted_ = false;
    reader.feed(bytes.substr(0, n));
    at += n;
    bytes.remove_prefix(n);
    if (emitted_ && !after(at)) return false;
  }
  return true;
}

Status ReportPages::count(size_t bytes) {
  if (complete_) return Status::ok();
  in_.clear();
  if (!in_.seekg(static_cast<std::streamoff>(countPos_))) return unreadable(path_);
  std::vector<char> buf(kPiece);
  uint64_t budget = bytes ? bytes : UINT64_MAX;
  while (budget > 0 && countPos_ < end_) {
    const size_t want = static_cast<size_t>(std::min<uint64_t>({buf.size(), budget, end_ - countPos_}));
    const size_t got = static_cast<size_t>(in_.read(buf.data(), static_cast<std::streamsize>(want)).gcount());
    if (got == 0) return unreadable(path_);  // shorter than it was: the count stays
    feedBody(*counter_, std::string_view(buf.data(), got), countPos_, [this](uint64_t end) {
      if (next_ >= marks_.back().firstPage + kMarkEvery) marks_.push_back({end, next_, builder_->mark()});
      return true;
    });
    countPos_ += got;
    budget -= std::min<uint64_t>(budget, got);
  }
  if (countPos_ >= end_) {
    counter_->finish();
    builder_->endPages();
    complete_ = true;
  }
  return Status::ok();
}

Status ReportPages::replay(size_t from, size_t to) {
  auto m = std::upper_bound(marks_.begin(), marks_.end(), from,
                            [](size_t page, const Mark& k) { return page < k.firstPage; });
  --m;  // the first mark is at page 0
  const std::shared_ptr<const LayoutBuilder::Mark> counting = builder_->mark();
  const size_t countingNext = next_;
  builder_->resume(*m->state);
  next_ = m->firstPage;
  ItemReader reader([this](Item&& it) {
    emitted_ = true;
    builder_->bodyItem(it);
  });
  Status st;
  in_.clear();
  if (!in_.seekg(static_cast<std::streamoff>(m->offset))) st = unreadable(path_);
  std::vector<char> buf(kPiece);
  bool stopped = false;
  for (uint64_t pos = m->offset; st && !stopped && pos < end_;) {
    const size_t want = static_cast<size_t>(std::min<uint64_t>(buf.size(), end_ - pos));
    const size_t got = static_cast<size_t>(in_.read(buf.data(), static_cast<std::streamsize>(want)).gcount());
    if (got == 0) {
      st = unreadable(path_);
      break;
    }
    stopped = !feedBody(reader, std::string_view(buf.data(), got), pos, [&](uint64_t) { return next_ <= to; });
    pos += got;
  }
  if (st && !stopped) {  // the end of the file: the last pages
    reader.finish();
    builder_->endPages();
  }
  builder_->resume(*counting);
  next_ = countingNext;
  return st;
}

const Page* ReportPages::page(size_t index) {
  if (index >= counted_) return nullptr;
  auto it = kept_.find(index);
  if (it != kept_.end()) return &it->second;
  from_ = index > kAround ? index - kAround : 0;
  to_ = std::min(index + kAround, counted_ - 1);
  mode_ = Mode::Keeping;
  Status st = replay(from_, to_);
  mode_ = Mode::Counting;
  // The pages farthest from the one asked for go first.
  while (kept_.size() > kKept) {
    const auto distance = [index](size_t k) { return k > index ? k - index : index - k; };
    if (distance(kept_.begin()->first) > distance(kept_.rbegin()->first))
      kept_.erase(kept_.begin());
    else
      kept_.erase(std::prev(kept_.end()));
  }
  it = kept_.find(index);
  return st && it != kept_.end() ? &it->second : nullptr;
}

Status ReportPages::eachPage(size_t from, size_t to, const std::function<void(const Page&)>& fn) {
  PLANILLA_RETURN_IF_ERROR(count());
  if (counted_ == 0) return Status::ok();
  to = std::min(to, counted_ - 1);
  if (from > to) return Status::ok();
  mode_ = Mode::Passing;
  passTo_ = &fn;
  from_ = from;
  to_ = to;
  Status st = replay(from, to);
  mode_ = Mode::Counting;
  passTo_ = nullptr;
  return st;
}

}  // namespace planilla::rpv
