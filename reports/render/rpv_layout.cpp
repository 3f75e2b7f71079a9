#include "reports/render/rpv_layout.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <functional>

namespace planilla::rpv {

void paperSize(std::string_view paper, int& width, int& height) {
  std::string p;
  for (char c : paper) p.push_back(static_cast<char>(std::toupper(static_cast<unsigned char>(c))));
  if (p == "LETTER" || p == "CARTA") {
    width = 12240;
    height = 15840;
  } else if (p == "LEGAL" || p == "OFICIO") {
    width = 12240;
    height = 20160;
  } else if (p == "A3") {
    width = 16838;
    height = 23811;
  } else {
    width = 11906;
    height = 16838;
  }
}

uint32_t paletteColor(int n) {
  static const uint32_t kPalette[16] = {
      0x000000, 0x000080, 0x008000, 0x008080, 0x800000, 0x800080, 0x808000, 0xD3D3D3,
      0x808080, 0x0000FF, 0x00FF00, 0x00FFFF, 0xFF0000, 0xFF00FF, 0xFFFF00, 0xFFFFFF};
  return n >= 0 && n < 16 ? kPalette[n] : 0x000000;
}

namespace {

bool blank(std::string_view s) {
  for (char c : s)
    if (c != ' ' && c != '\t') return false;
  return true;
}

struct State {
  FontSpec font{"Lucida Console", 10, false, false};
  char align = 'l';
  int stopPos = 0;
  bool anchored = false;
  double anchorX = 0;
  double penX = 0;
  uint32_t rgb = 0;
  int pen = 10;
};

}  // namespace

class LayoutBuilder::Engine {
 public:
  Engine(const Document& doc, TextMetrics& m, Layout& out, const PageSink* sink)
      : doc_(doc), m_(m), out_(out), sink_(sink && *sink ? sink : nullptr) {}

  void headerItem(const Item& it) {
    if (inHeader_) step(it);
  }

  void bodyItem(const Item& it) {
    if (inHeader_) endHeader();
    step(it);
  }

  Engine(const Engine&) = default;  // a mark: the state between two items
  size_t handed() const { return handed_; }

  void finish() {
    if (inHeader_) endHeader();
    flushLine(false);
    if (handed_ + out_.pages.size() > 1 && !out_.pages.back().hasBody) out_.pages.pop_back();
    handOff();
  }

 private:
  struct Pending {
    DrawOp op;
    double asc = 0, desc = 0;
  };

  // The header is laid out once, on a page of its own; the body starts under it.
  void endHeader() {
    flushLine(/*advance=*/false);
    out_.header = std::move(scratch_.ops);
    for (auto& op : out_.header) op.header = true;
    headerEnd_ = y_;
    inHeader_ = false;
    // A header frame reaching far into the body area is a form the body fills (the
    // payslip's frame): body text more than a line below its bottom edge belongs on
    // the next copy of the form.
    for (const auto& op : out_.header)
      if (op.kind == DrawOp::Frame && op.y + op.h - headerEnd_ >= out_.contentHeight() / 2.0)
        formBottom_ = std::max(formBottom_, op.y + op.h);
    startPage();
  }

  // Pages that line feeds alone reached are made once something follows them; the
  // pages before each are complete and go to the sink, as at any other new page.
  void makeSkippedPages() {
    for (; skipped_ > 0; --skipped_) {
      handOff();
      out_.pages.emplace_back();
    }
  }

  // The page being filled.
  Page& page() {
    if (inHeader_) return scratch_;
    makeSkippedPages();
    return out_.pages.back();
  }

  static void add(Page& pg, DrawOp&& op) {
    if (pg.ops.size() < kMaxPageOps) pg.ops.push_back(std::move(op));
  }

  int fontIndex(const FontSpec& f) {
    if (lastFont_ >= 0 && out_.fonts[static_cast<size_t>(lastFont_)] == f) return lastFont_;
    for (size_t i = 0; i < out_.fonts.size(); ++i)
      if (out_.fonts[i] == f) return lastFont_ = static_cast<int>(i);
    out_.fonts.push_back(f);
    return lastFont_ = static_cast<int>(out_.fonts.size() - 1);
  }

  // With a page sink, the pages made so far are complete (only the last page is ever
  // filled) and go out, so that a long report is never held whole.
  void handOff() {
    if (!sink_) return;
    for (Page& pg : out_.pages) (*sink_)(out_, std::move(pg));
    handed_ += out_.pages.size();
    out_.pages.clear();
  }

  void startPage() {
    makeSkippedPages();
    handOff();
    out_.pages.emplace_back();
    y_ = headerEnd_;
  }

  double stopX(const std::string& name) const {
    auto it = doc_.stops.find(name);
    return it == doc_.stops.end() ? 0 : it->second;
  }

  // Places the pending line at y_ (on a new page when it would cross the bottom)
  // and, when `advance`, moves y_ below it.
  void flushLine(bool advance) {
    double height = doc_.spacing;
    double asc = 0, desc = 0;
    const bool visible = !line_.empty();
    for (const auto& p : line_) {
      if (p.op.kind != DrawOp::Text) continue;
      height = std::max(height, static_cast<double>(out_.fonts[static_cast<size_t>(p.op.font)].size) * 20.0);
      asc = std::max(asc, p.asc);
      desc = std::max(desc, p.desc);
    }
    if (!inHeader_ && y_ > headerEnd_) {
      const bool overflow = y_ + height > out_.contentHeight();
      const bool pastForm = formBottom_ > 0 && y_ > formBottom_ + doc_.spacing;
      if (visible && (overflow || pastForm)) {
        startPage();
      } else if (!visible && advance && overflow && !pastForm) {
        ++skipped_;  // an empty line going on to the next page: made if anything follows
        y_ = headerEnd_;
      }
    }
    if (visible) {
      const double baseline = y_ + (height + asc - desc) / 2.0;
      Page& pg = page();
      for (auto& p : line_) {
        if (p.op.kind == DrawOp::Text)
          p.op.y = baseline;
        else  // rule through the middle of the line
          p.op.y = y_ + height / 2.0;
        add(pg, std::move(p.op));
      }
      if (!inHeader_) pg.hasBody = true;
    }
    line_.clear();
    if (advance) y_ += height;
  }

  void pend(Pending&& p) {
    if (line_.size() < kMaxLineOps) line_.push_back(std::move(p));
  }

  void text(const std::string& s) {
    const double w = m_.width(st_.font, s);
    double x;
    if (st_.anchored) {
      x = st_.anchorX;
      if (st_.align == 'r')
        x -= w;
      else if (st_.align == 'c')
        x -= w / 2.0;
      st_.anchored = false;
    } else {
      x = st_.penX;
    }
    st_.penX = x + w;
    if (blank(s) || line_.size() >= kMaxLineOps) return;
    Pending p;
    p.op.kind = DrawOp::Text;
    p.op.x = x;
    p.op.w = w;
    p.op.font = fontIndex(st_.font);
    p.op.rgb = st_.rgb;
    p.op.text = s;
    p.asc = m_.ascent(st_.font);
    p.desc = m_.descent(st_.font);
    pend(std::move(p));
  }

  void rect(const Item& it, bool filled) {
    if (it.nums.size() != 4) return;
    DrawOp op;
    op.kind = filled ? DrawOp::Fill : DrawOp::Frame;
    op.x = it.nums[0];
    op.y = it.nums[1];
    op.w = it.nums[2];
    op.h = it.nums[3];
    op.pen = st_.pen;
    op.rgb = st_.rgb;
    if (op.w == 0 && op.h == 0) return;
    addAbsolute(std::move(op));
  }

  void addAbsolute(DrawOp op) {
    Page& pg = page();
    add(pg, std::move(op));
    if (!inHeader_) pg.hasBody = true;
  }

  void step(const Item& it) {
    if (it.isText) {
      text(it.text);
      return;
    }
    switch (it.cmd) {
      case Cmd::Stop:
        st_.stopPos = static_cast<int>(stopX(it.text));
        st_.anchorX = st_.stopPos;
        st_.anchored = true;
        break;
      case Cmd::Tab:
        st_.anchorX = st_.stopPos + it.value;
        st_.anchored = true;
        break;
      case Cmd::Align:
        st_.align = it.ch;
        break;
      case Cmd::Bold:
        st_.font.bold = it.value != 0;
        break;
      case Cmd::Underline:
        st_.font.underline = it.value != 0;
        break;
      case Cmd::Size:
        st_.font.size = std::clamp(it.value, 1, 144);
        break;
      case Cmd::Font:
        st_.font.face = it.text;
        break;
      case Cmd::NewLine:
        flushLine(true);
        st_.penX = st_.stopPos;
        break;
      case Cmd::PageBreak:
        flushLine(false);
        if (!inHeader_) {
          if (skipped_ > 0) {
            makeSkippedPages();  // line feeds already reached a fresh page: start at its top
            y_ = headerEnd_;
          } else {
            startPage();
          }
        }
        st_.penX = st_.stopPos;
        break;
      case Cmd::PenWidth:
        st_.pen = it.value * 10;
        break;
      case Cmd::Box:
        rect(it, false);
        break;
      case Cmd::FilledBox:
        rect(it, true);
        break;
      case Cmd::Color:
        st_.rgb = paletteColor(it.value);
        break;
      case Cmd::Picture: {
        if (it.nums.size() != 4 || it.nums[2] <= 0 || it.nums[3] <= 0) break;
        DrawOp op;
        op.kind = DrawOp::Picture;
        op.x = it.nums[0];
        op.y = it.nums[1];
        op.w = it.nums[2];
        op.h = it.nums[3];
        op.text = it.text;
        addAbsolute(std::move(op));
        break;
      }
      case Cmd::Rule: {
        if (it.nums.size() != 2) break;
        Pending p;
        p.op.kind = DrawOp::Rule;
        p.op.x = std::min(it.nums[0], it.nums[1]);
        p.op.w = std::abs(it.nums[1] - it.nums[0]);
        p.op.pen = std::max(st_.pen, 10);
        p.op.rgb = st_.rgb;
        pend(std::move(p));
        break;
      }
      case Cmd::Cell:
      case Cmd::Unknown:
        break;
    }
  }

  const Document& doc_;
  TextMetrics& m_;
  Layout& out_;
  const PageSink* sink_;
  size_t handed_ = 0;  // pages already given to the sink
  State st_;
  bool inHeader_ = true;
  Page scratch_;
  double headerEnd_ = 0;
  double formBottom_ = 0;  // bottom of the header's form frame; 0 when there is none
  double y_ = 0;
  size_t skipped_ = 0;     // pages line feeds ran onto that are not made yet
  std::vector<Pending> line_;
  int lastFont_ = -1;
};

LayoutBuilder::LayoutBuilder(const Document& head, TextMetrics& metrics, const LayoutOptions& options,
                             PageSink sink)
    : head_(head), metrics_(metrics), options_(options), sink_(std::move(sink)) {}

LayoutBuilder::~LayoutBuilder() = default;

LayoutBuilder::Engine& LayoutBuilder::engine() {
  if (!engine_) {
    // The settings are complete by now: the sheet follows them.
    out_.margins = options_;
    int w = 0, h = 0;
    paperSize(head_.paper, w, h);
    out_.landscape = head_.orientation == 2;
    out_.pageWidth = out_.landscape ? h : w;
    out_.pageHeight = out_.landscape ? w : h;
    engine_ = std::make_unique<Engine>(head_, metrics_, out_, &sink_);
  }
  return *engine_;
}

void LayoutBuilder::headerItem(const Item& it) { engine().headerItem(it); }
void LayoutBuilder::bodyItem(const Item& it) { engine().bodyItem(it); }

Layout LayoutBuilder::finish() {
  engine().finish();
  engine_.reset();
  return std::move(out_);
}

struct LayoutBuilder::Mark {
  std::unique_ptr<Engine> engine;
  std::vector<Page> pages;  // made and not yet handed: the page being filled
};

std::shared_ptr<const LayoutBuilder::Mark> LayoutBuilder::mark() {
  auto m = std::make_shared<Mark>();
  m->engine = std::make_unique<Engine>(engine());
  m->pages = out_.pages;
  return m;
}

void LayoutBuilder::resume(const Mark& m) {
  // The copy refers to this builder's document, metrics, layout and sink, as the
  // engine it was taken from; the fonts already in the layout keep their numbers,
  // being met again in the same order.
  engine_ = std::make_unique<Engine>(*m.engine);
  out_.pages = m.pages;
}

size_t LayoutBuilder::pagesHanded() const { return engine_ ? engine_->handed() : 0; }

void LayoutBuilder::endPages() { engine().finish(); }

Layout layoutDocument(const Document& doc, TextMetrics& metrics, const LayoutOptions& options) {
  LayoutBuilder b(doc, metrics, options);
  for (const Item& it : doc.header) b.headerItem(it);
  for (const Item& it : doc.body) b.bodyItem(it);
  return b.finish();
}

Layout layoutBytes(std::string_view bytes, TextMetrics& metrics, const LayoutOptions& options, Document* head) {
  Document own;
  Document& doc = head ? *head : own;
  LayoutBuilder b(doc, metrics, options);
  readDocument(
      bytes, doc, [&](Item&& it) { b.headerItem(it); }, [&](Item&& it) { b.bodyItem(it); });
  return b.finish();
}

Result<Layout> layoutFile(const std::string& path, TextMetrics& metrics, const LayoutOptions& options,
                          Document* head) {
  Document own;
  Document& doc = head ? *head : own;
  LayoutBuilder b(doc, metrics, options);
  PLANILLA_RETURN_IF_ERROR(readDocumentFile(
      path, doc, [&](Item&& it) { b.headerItem(it); }, [&](Item&& it) { b.bodyItem(it); }));
  return b.finish();
}

}  // namespace planilla::rpv
