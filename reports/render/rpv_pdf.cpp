#include "reports/render/rpv_pdf.h"

#include <unistd.h>

#include <QByteArray>
#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFontMetricsF>
#include <QImage>
#include <QPageLayout>
#include <QPageSize>
#include <QPainterPath>
#include <QRawFont>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <map>
#include <set>
#include <unordered_map>
#include <vector>

#include "reports/render/rpv_render.h"

namespace planilla::rpv {

namespace {

// Numbers as PDF wants them: at most two decimals (a hundredth of a twip), no
// exponent, no trailing zeros.
void num(std::string& out, double v) {
  long long h = std::llround(v * 100);
  if (h < 0) {
    out += '-';
    h = -h;
  }
  char buf[24];
  int n = 0;
  long long whole = h / 100, frac = h % 100;
  do {
    buf[n++] = static_cast<char>('0' + whole % 10);
    whole /= 10;
  } while (whole);
  while (n) out += buf[--n];
  if (frac) {
    out += '.';
    out += static_cast<char>('0' + frac / 10);
    if (frac % 10) out += static_cast<char>('0' + frac % 10);
  }
}

void nums(std::string& out, std::initializer_list<double> vs) {
  for (double v : vs) {
    num(out, v);
    out += ' ';
  }
}

void colour(std::string& out, uint32_t rgb, const char* op) {
  for (int shift : {16, 8, 0}) {
    num(out, ((rgb >> shift) & 0xFF) / 255.0);
    out += ' ';
  }
  out += op;
  out += '\n';
}

QByteArray deflate(const QByteArray& data, int level) {
  // qCompress puts the length in four bytes before the zlib stream.
  return qCompress(data, level).mid(4);
}

uint16_t be16(const QByteArray& t, int at) {
  return at + 2 <= t.size() ? static_cast<uint16_t>((uint8_t(t[at]) << 8) | uint8_t(t[at + 1])) : 0;
}
uint32_t be32(const QByteArray& t, int at) { return (uint32_t(be16(t, at)) << 16) | be16(t, at + 2); }
void put16(QByteArray& t, uint16_t v) {
  t.append(char(v >> 8));
  t.append(char(v & 0xFF));
}
void put32(QByteArray& t, uint32_t v) {
  put16(t, uint16_t(v >> 16));
  put16(t, uint16_t(v & 0xFFFF));
}

char16_t unicodeOf(unsigned char c) {
  static const QString all = [] {
    std::string bytes(256, ' ');
    for (int i = 0; i < 256; ++i) bytes[static_cast<size_t>(i)] = static_cast<char>(i);
    return fromCp1252(bytes);
  }();
  return all[c].unicode();
}

void hex4(std::string& out, uint32_t id) {
  static const char kHex[] = "0123456789ABCDEF";
  const char h[4] = {kHex[(id >> 12) & 15], kHex[(id >> 8) & 15], kHex[(id >> 4) & 15], kHex[id & 15]};
  out.append(h, 4);
}

// A face as embedded, made once per process: every document of a batch embeds the
// same few faces. The embedded font holds the glyphs of the whole Windows-1252
// repertoire (all a report can show), renumbered 0.. (0 .notdef), with the parts of
// composite glyphs, so that it is the same for every document and is compressed once.
struct Face {
  QRawFont raw;  // at the size it was first asked for
  bool trueType = false;
  int unitsPerEm = 1000;
  int glyphs = 0, longMetrics = 0;
  QByteArray head, hhea, maxp, loca, glyf, hmtx;
  std::vector<int32_t> newId;   // by glyph of the face; -1 not embedded
  std::vector<uint32_t> order;  // by new number: glyph of the face
  std::vector<char16_t> text;   // by new number: the character it shows (0 for parts)
  std::string descriptor;       // without its font file
  // Embedded fonts already made, by the glyphs a document used (a batch of documents
  // mostly repeats a few sets): the subset compressed, its widths and ToUnicode map.
  struct Embedded {
    QByteArray program;
    int length = 0;
    std::string widths, toUnicode;
  };
  std::map<std::string, std::shared_ptr<const Embedded>> embedded;
  uint32_t offset(uint32_t g) const {
    return be16(head, 50) == 1 ? be32(loca, int(g) * 4) : uint32_t(be16(loca, int(g) * 2)) * 2;
  }
  int advanceUnits(uint32_t g) const {
    if (longMetrics <= 0) return 0;
    return be16(hmtx, std::min<int>(int(g), longMetrics - 1) * 4);
  }
  int16_t lsb(uint32_t g) const {
    return int16_t(int(g) < longMetrics ? be16(hmtx, int(g) * 4 + 2)
                                        : be16(hmtx, longMetrics * 4 + (int(g) - longMetrics) * 2));
  }
  uint16_t cidOf(uint32_t glyph) const {
    return glyph < newId.size() && newId[glyph] >= 0 ? static_cast<uint16_t>(newId[glyph]) : 0;
  }
  uint16_t use(uint32_t glyph, char16_t ch) {
    if (glyph >= newId.size()) glyph = 0;
    int32_t& n = newId[glyph];
    if (n < 0) {
      n = static_cast<int32_t>(order.size());
      order.push_back(glyph);
      text.push_back(ch);
    }
    return static_cast<uint16_t>(n);
  }
};

// The parts of composite glyph `g` of the face, as glyphs of the face.
std::vector<uint32_t> partsOf(const Face& f, uint32_t g) {
  std::vector<uint32_t> parts;
  const uint32_t from = f.offset(g), to = f.offset(g + 1);
  if (to > uint32_t(f.glyf.size()) || to <= from + 10 || int16_t(be16(f.glyf, int(from))) >= 0) return parts;
  for (uint32_t at = from + 10; at + 4 <= to;) {
    const uint16_t flags = be16(f.glyf, int(at));
    parts.push_back(be16(f.glyf, int(at) + 2));
    at += 4 + ((flags & 0x0001) ? 4 : 2);
    at += (flags & 0x0008) ? 2 : (flags & 0x0040) ? 4 : (flags & 0x0080) ? 8 : 0;
    if (!(flags & 0x0020)) break;
  }
  return parts;
}

// The face's glyphs in its new numbering with the outlines of those marked in `used`
// (the parts of composite glyphs added to it, renumbered); the tables a PDF reader needs.
QByteArray subsetTrueType(const Face& f, std::vector<uint8_t>& used) {
  std::vector<size_t> todo;
  for (size_t k = 0; k < used.size(); ++k)
    if (used[k]) todo.push_back(k);
  while (!todo.empty()) {
    const size_t k = todo.back();
    todo.pop_back();
    for (uint32_t part : partsOf(f, f.order[k])) {
      const uint16_t cid = f.cidOf(part);
      if (cid < used.size() && !used[cid]) {
        used[cid] = 1;
        todo.push_back(cid);
      }
    }
  }
  QByteArray glyf, loca;
  for (size_t k = 0; k < f.order.size(); ++k) {
    put32(loca, uint32_t(glyf.size()));
    const uint32_t g = f.order[k], from = f.offset(g), to = f.offset(g + 1);
    if (!used[k] || to <= from || to > uint32_t(f.glyf.size())) continue;
    const int start = glyf.size();
    glyf.append(f.glyf.constData() + from, int(to - from));
    if (to - from > 10 && int16_t(be16(f.glyf, int(from))) < 0) {
      for (uint32_t at = 10; at + 4 <= to - from;) {
        const uint16_t flags = be16(glyf, start + int(at));
        const uint16_t part = f.cidOf(be16(glyf, start + int(at) + 2));
        glyf[start + int(at) + 2] = char(part >> 8);
        glyf[start + int(at) + 3] = char(part & 0xFF);
        at += 4 + ((flags & 0x0001) ? 4 : 2);
        at += (flags & 0x0008) ? 2 : (flags & 0x0040) ? 4 : (flags & 0x0080) ? 8 : 0;
        if (!(flags & 0x0020)) break;
      }
    }
    while (glyf.size() % 4) glyf.append('\0');
  }
  put32(loca, uint32_t(glyf.size()));
  const uint16_t n = uint16_t(f.order.size());
  QByteArray hmtx;
  for (uint32_t g : f.order) {
    put16(hmtx, uint16_t(f.advanceUnits(g)));
    put16(hmtx, uint16_t(f.lsb(g)));
  }
  QByteArray head = f.head, hhea = f.hhea, maxp = f.maxp;
  std::memset(head.data() + 8, 0, 4);  // checkSumAdjustment: not used by readers
  head[50] = 0;
  head[51] = 1;  // long offsets in loca
  hhea[34] = char(n >> 8);
  hhea[35] = char(n & 0xFF);
  maxp[4] = char(n >> 8);
  maxp[5] = char(n & 0xFF);
  std::vector<std::pair<const char*, QByteArray>> tables = {
      {"glyf", glyf}, {"head", head}, {"hhea", hhea}, {"hmtx", hmtx}, {"loca", loca}, {"maxp", maxp}};  // tag order
  QByteArray out;
  const uint16_t count = uint16_t(tables.size());
  uint16_t entrySelector = 0;
  while ((2u << entrySelector) <= count) ++entrySelector;
  put32(out, 0x00010000);
  put16(out, count);
  put16(out, uint16_t(16u << entrySelector));
  put16(out, entrySelector);
  put16(out, uint16_t(count * 16 - (16u << entrySelector)));
  const uint32_t at = 12 + 16u * count;
  QByteArray body;
  for (auto& [tag, data] : tables) {
    while (data.size() % 4) data.append('\0');
    uint32_t sum = 0;
    for (int i = 0; i + 3 < data.size(); i += 4) sum += be32(data, i);
    out.append(tag, 4);
    put32(out, sum);
    put32(out, at + uint32_t(body.size()));
    put32(out, uint32_t(data.size()));
    body += data;
  }
  return out + body;
}

// The face's numbering: the glyphs of the Windows-1252 repertoire (all a report can
// show) and their parts, 0.. (0 .notdef); and its descriptor.
void prepareEmbedding(Face& f) {
  f.newId.assign(static_cast<size_t>(std::max(f.glyphs, 1)), -1);
  f.use(0, 0);  // .notdef first
  for (int c = 0; c < 256; ++c) {
    const QList<quint32> ids = f.raw.glyphIndexesForString(QString(QChar(unicodeOf(static_cast<unsigned char>(c)))));
    if (ids.size() == 1 && ids[0] != 0) f.use(ids[0], unicodeOf(static_cast<unsigned char>(c)));
  }
  for (size_t k = 0; k < f.order.size(); ++k)  // the list grows with parts
    for (uint32_t part : partsOf(f, f.order[k])) f.use(part, 0);
  const double em = 1000.0 / f.unitsPerEm;
  f.descriptor = " /Flags 4 /FontBBox [";
  for (int k = 0; k < 4; ++k) {
    num(f.descriptor, int16_t(be16(f.head, 36 + 2 * k)) * em);
    f.descriptor += k < 3 ? " " : "";
  }
  const double px = std::max(1.0, f.raw.pixelSize());
  f.descriptor += "] /ItalicAngle 0 /Ascent ";
  num(f.descriptor, f.raw.ascent() * 1000 / px);
  f.descriptor += " /Descent ";
  num(f.descriptor, -f.raw.descent() * 1000 / px);
  f.descriptor += " /CapHeight ";
  num(f.descriptor, f.raw.capHeight() * 1000 / px);
  f.descriptor += " /StemV 80";
}

// The embedded font of the glyphs marked in `used`, made once per set.
std::shared_ptr<const Face::Embedded> embeddedFont(Face& f, std::vector<uint8_t> used) {
  const std::string key(used.begin(), used.end());
  auto it = f.embedded.find(key);
  if (it != f.embedded.end()) return it->second;
  auto e = std::make_shared<Face::Embedded>();
  const QByteArray file = subsetTrueType(f, used);  // marks the parts as used
  e->length = static_cast<int>(file.size());
  e->program = deflate(file, 6);
  const double em = 1000.0 / f.unitsPerEm;
  e->widths = "[";
  std::vector<std::pair<size_t, char16_t>> chars;
  for (size_t k = 0; k < used.size(); ++k) {
    if (!used[k]) continue;
    e->widths += std::to_string(k) + " [";
    num(e->widths, f.advanceUnits(f.order[k]) * em);
    e->widths += "] ";
    if (f.text[k]) chars.emplace_back(k, f.text[k]);
  }
  e->widths += "]";
  e->toUnicode =
      "/CIDInit /ProcSet findresource begin\n12 dict begin\nbegincmap\n/CIDSystemInfo << /Registry (Adobe) "
      "/Ordering (UCS) /Supplement 0 >> def\n/CMapName /Adobe-Identity-UCS def\n/CMapType 2 def\n"
      "1 begincodespacerange\n<0000> <FFFF>\nendcodespacerange\n";
  for (size_t k = 0; k < chars.size(); k += 100) {
    const size_t end = std::min(chars.size(), k + 100);
    e->toUnicode += std::to_string(end - k) + " beginbfchar\n";
    for (size_t j = k; j < end; ++j) {
      e->toUnicode += '<';
      hex4(e->toUnicode, uint32_t(chars[j].first));
      e->toUnicode += "> <";
      hex4(e->toUnicode, chars[j].second);
      e->toUnicode += ">\n";
    }
    e->toUnicode += "endbfchar\n";
  }
  e->toUnicode += "endcmap\nCMapName currentdict /CMap defineresource pop\nend\nend\n";
  if (f.embedded.size() >= 256) f.embedded.clear();  // bounded on long runs of different sets
  return f.embedded[key] = e;
}

// A report font as drawn: its face, and for each Windows-1252 byte the face (its own,
// or DejaVu Sans for a character it lacks), glyph and advance. Kept per process.
struct FontInfo {
  QFont font;
  double size = 0;  // pixel size, twips
  double underlinePos = 0, lineWidth = 0;
  std::shared_ptr<Face> faces[2];  // its own, DejaVu Sans (when needed)
  struct Glyph {
    uint8_t face = 0;
    uint16_t cid = 0;  // number in the embedded font
    uint32_t id = 0;   // glyph of the face
    double advance = 0;  // twips
  };
  std::array<Glyph, 256> glyphs;
  // For a face drawn as shapes: the numbers of the same text in DejaVu Sans, written
  // invisibly over the shapes so that the text can still be searched and copied.
  std::array<uint16_t, 256> hidden{};
  std::array<double, 256> hiddenAdvance{};
};

// The caches hold Qt fonts: they belong to one application object and are started
// again with a new one (never destroyed: they would outlive it at exit).
struct FontCache {
  const void* app = nullptr;
  std::map<std::string, std::shared_ptr<Face>> faces;
  std::map<std::string, std::shared_ptr<FontInfo>> infos;
};

FontCache& fontCache() {
  static FontCache* cache = new FontCache;
  if (cache->app != QCoreApplication::instance()) {
    cache = new FontCache;
    cache->app = QCoreApplication::instance();
  }
  return *cache;
}

std::shared_ptr<Face> faceOf(const QFont& f) {
  QRawFont raw = QRawFont::fromFont(f);
  const std::string key = (raw.familyName() + "|" + raw.styleName()).toStdString();
  auto& faces = fontCache().faces;
  auto it = faces.find(key);
  if (it != faces.end()) return it->second;
  auto face = std::make_shared<Face>();
  face->raw = raw;
  face->unitsPerEm = std::max(1, static_cast<int>(std::lround(raw.unitsPerEm())));
  face->head = raw.fontTable("head");
  face->hhea = raw.fontTable("hhea");
  face->maxp = raw.fontTable("maxp");
  face->loca = raw.fontTable("loca");
  face->glyf = raw.fontTable("glyf");
  face->hmtx = raw.fontTable("hmtx");
  face->glyphs = be16(face->maxp, 4);
  face->longMetrics = be16(face->hhea, 34);
  face->trueType = raw.isValid() && face->head.size() >= 54 && face->hhea.size() >= 36 && face->maxp.size() >= 6 &&
                   !face->glyf.isEmpty() &&
                   face->loca.size() >= (face->glyphs + 1) * (be16(face->head, 50) == 1 ? 4 : 2) &&
                   face->longMetrics > 0 && face->hmtx.size() >= face->longMetrics * 4;
  if (face->trueType) prepareEmbedding(*face);
  return faces[key] = face;
}

std::shared_ptr<FontInfo> fontInfo(const FontSpec& want) {
  const std::string key =
      want.face + "|" + std::to_string(want.size) + (want.bold ? "b" : "") + (want.underline ? "u" : "");
  auto& infos = fontCache().infos;
  auto it = infos.find(key);
  if (it != infos.end()) return it->second;
  auto info = std::make_shared<FontInfo>();
  info->font = qtFont(want);
  info->size = info->font.pixelSize();
  QFontMetricsF fm(info->font);
  info->underlinePos = fm.underlinePos();
  info->lineWidth = fm.lineWidth();
  info->faces[0] = faceOf(info->font);
  auto dejaVu = [&]() -> Face& {
    if (!info->faces[1]) {
      QFont f = info->font;
      f.setFamilies({QStringLiteral("DejaVu Sans")});
      info->faces[1] = faceOf(f);
    }
    return *info->faces[1];
  };
  const bool shapes = !info->faces[0]->trueType;
  for (int c = 0; c < 256; ++c) {
    const QString ch(QChar(unicodeOf(static_cast<unsigned char>(c))));
    FontInfo::Glyph& g = info->glyphs[static_cast<size_t>(c)];
    QList<quint32> ids = info->faces[0]->raw.glyphIndexesForString(ch);
    if ((ids.size() != 1 || ids[0] == 0) && ch[0] != QChar(0x20)) {
      // A character the face lacks, taken from another as a painter would.
      QList<quint32> other = dejaVu().raw.glyphIndexesForString(ch);
      if (other.size() == 1 && other[0] != 0 && info->faces[1]->trueType) {
        g.face = 1;
        ids = other;
      }
    }
    g.id = ids.size() == 1 ? ids[0] : 0;
    Face& face = *info->faces[g.face];
    g.cid = face.cidOf(g.id);
    g.advance = double(face.advanceUnits(g.id)) * info->size / face.unitsPerEm;
    if (shapes && dejaVu().trueType) {
      const QList<quint32> hidden = dejaVu().raw.glyphIndexesForString(ch);
      const uint32_t id = hidden.size() == 1 ? hidden[0] : 0;
      info->hidden[static_cast<size_t>(c)] = dejaVu().cidOf(id);
      info->hiddenAdvance[static_cast<size_t>(c)] = double(dejaVu().advanceUnits(id)) * info->size / dejaVu().unitsPerEm;
    }
  }
  return infos[key] = info;
}

QPageLayout sheetOf(const Layout& l) {
  const int w = l.landscape ? l.pageHeight : l.pageWidth;
  const int h = l.landscape ? l.pageWidth : l.pageHeight;
  QPageSize size(QSizeF(w / 20.0, h / 20.0), QPageSize::Point, QString(), QPageSize::FuzzyMatch);
  return QPageLayout(size, l.landscape ? QPageLayout::Landscape : QPageLayout::Portrait, QMarginsF(0, 0, 0, 0));
}

}  // namespace

struct DirectPdf::Impl {
  int fd;
  std::string pictureDir;
  std::string buffer;
  size_t written = 0;  // bytes handed to the file so far
  int error = 0;       // errno of the first failed write
  std::vector<size_t> offsets{0};  // per object number; 0 for object 0
  std::vector<int> pageObjects;
  size_t reportPages = SIZE_MAX;  // set by finish(): the pages of the report (a blank sheet not counted)
  int resources = 0, pagesObject = 0;
  QRect sheet;
  std::string title;
  // Per font of the layout: its drawing and the document's fonts of its faces.
  struct ReportFont {
    std::shared_ptr<FontInfo> info;
    int doc[2] = {-1, -1};
    int hiddenDoc = -1;
  };
  // A face in this document: its font object, written at the end when used.
  struct DocFont {
    std::shared_ptr<Face> face;
    int object = 0;
    bool used = false;
    std::vector<uint8_t> cids;  // by number in the face: shown in this document
  };
  std::vector<ReportFont> fonts;
  std::vector<DocFont> docFonts;
  std::map<const Face*, int> docFontOf;
  std::map<std::string, std::pair<int, QSize>> images;  // name -> object, size (object 0: none)
  std::vector<int> imageObjects;

  int newObject() {
    offsets.push_back(0);
    return static_cast<int>(offsets.size()) - 1;
  }
  void flush() {
    size_t done = 0;
    while (done < buffer.size() && !error) {
      ssize_t n = ::write(fd, buffer.data() + done, buffer.size() - done);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) error = n < 0 ? errno : EIO;
      else done += static_cast<size_t>(n);
    }
    written += buffer.size();
    buffer.clear();
  }
  void put(std::string_view s) {
    buffer.append(s);
    if (buffer.size() >= (1 << 20)) flush();
  }
  void startObject(int n) {
    offsets[static_cast<size_t>(n)] = written + buffer.size();
    put(std::to_string(n) + " 0 obj\n");
  }
  void object(int n, const std::string& body) {
    startObject(n);
    put(body);
    put("\nendobj\n");
  }
  void stream(int n, const std::string& dict, const QByteArray& data) {
    startObject(n);
    put("<< " + dict + " /Length " + std::to_string(data.size()) + " >>\nstream\n");
    put(std::string_view(data.constData(), static_cast<size_t>(data.size())));
    put("\nendstream\nendobj\n");
  }

  int docFont(const std::shared_ptr<Face>& face) {
    auto it = docFontOf.find(face.get());
    if (it != docFontOf.end()) return it->second;
    DocFont d;
    d.face = face;
    d.cids.assign(face->order.size(), 0);
    if (face->trueType) d.object = newObject();
    docFonts.push_back(std::move(d));
    return docFontOf[face.get()] = static_cast<int>(docFonts.size()) - 1;
  }

  void loadFonts(const Layout& l) {
    for (size_t i = fonts.size(); i < l.fonts.size(); ++i) {
      ReportFont rf;
      rf.info = fontInfo(l.fonts[i]);
      for (int k = 0; k < 2; ++k)
        if (rf.info->faces[k]) rf.doc[k] = docFont(rf.info->faces[k]);
      if (!rf.info->faces[0]->trueType && rf.info->faces[1] && rf.info->faces[1]->trueType) rf.hiddenDoc = rf.doc[1];
      fonts.push_back(std::move(rf));
    }
  }

  // The picture's XObject number (0 when it cannot be read) and its size.
  std::pair<int, QSize> picture(const std::string& name) {
    auto it = images.find(name);
    if (it != images.end()) return it->second;
    QImage img;
    const QString key = QString::fromLatin1(name.data(), static_cast<qsizetype>(name.size()));
    // Only plain names of files in the report's folder, matched without regard to case.
    if (!key.contains('/') && !key.contains('\\') && key != "." && key != "..") {
      QDir dir(QString::fromLocal8Bit(pictureDir.c_str()));
      for (const QString& e : dir.entryList(QDir::Files))
        if (e.compare(key, Qt::CaseInsensitive) == 0) {
          img.load(dir.filePath(e));
          break;
        }
    }
    std::pair<int, QSize> result{0, img.size()};
    if (!img.isNull()) {
      const bool alpha = img.hasAlphaChannel();
      QImage rgb = img.convertToFormat(QImage::Format_RGB888);
      QByteArray pixels;
      pixels.reserve(rgb.width() * rgb.height() * 3);
      for (int y = 0; y < rgb.height(); ++y)
        pixels.append(reinterpret_cast<const char*>(rgb.constScanLine(y)), rgb.width() * 3);
      const std::string dims = "/Width " + std::to_string(rgb.width()) + " /Height " + std::to_string(rgb.height()) +
                               " /BitsPerComponent 8 /Filter /FlateDecode";
      int mask = 0;
      if (alpha) {
        const QImage a = img.convertToFormat(QImage::Format_Alpha8);
        QByteArray bytes;
        for (int y = 0; y < a.height(); ++y) bytes.append(reinterpret_cast<const char*>(a.constScanLine(y)), a.width());
        mask = newObject();
        stream(mask, "/Type /XObject /Subtype /Image /ColorSpace /DeviceGray " + dims, deflate(bytes, 6));
      }
      result.first = newObject();
      stream(result.first,
             "/Type /XObject /Subtype /Image /ColorSpace /DeviceRGB " + dims +
                 (mask ? " /SMask " + std::to_string(mask) + " 0 R" : std::string()),
             deflate(pixels, 6));
      imageObjects.push_back(result.first);
    }
    return images[name] = result;
  }

  void setFont(std::string& out, int doc, double size, double& currentFont) {
    if (currentFont == doc * 1e6 + size) return;
    out += "/F" + std::to_string(doc) + " ";
    num(out, size);
    out += " Tf\n";
    currentFont = doc * 1e6 + size;
  }

  // `currentFont` is the font and size last set (font x 1e6 + size), kept across runs:
  // they belong to the graphics state, not to one text object.
  void text(std::string& out, const DrawOp& op, double& currentFont) {
    ReportFont& rf = fonts[static_cast<size_t>(op.font)];
    const FontInfo& fi = *rf.info;
    double pen = op.x;
    size_t i = 0;
    const size_t n = op.text.size();
    auto faceAt = [&](size_t k) { return fi.glyphs[static_cast<unsigned char>(op.text[k])].face; };
    while (i < n) {
      const uint8_t which = faceAt(i);
      const int doc = rf.doc[which];
      DocFont& df = docFonts[static_cast<size_t>(doc)];
      if (!df.face->trueType) {
        // No TrueType outlines to embed: the glyphs are drawn as shapes (the outlines
        // come at the size the face was first asked for: scaled to this one).
        const double k = df.face->raw.pixelSize() > 0 ? fi.size / df.face->raw.pixelSize() : 1;
        const size_t first = i;
        const double start = pen;
        for (; i < n && faceAt(i) == which; ++i) {
          const FontInfo::Glyph& g = fi.glyphs[static_cast<unsigned char>(op.text[i])];
          const QPainterPath path = df.face->raw.pathForGlyph(g.id);
          for (int j = 0; j < path.elementCount(); ++j) {
            const QPainterPath::Element el = path.elementAt(j);
            if (el.isMoveTo() || el.isLineTo()) {
              nums(out, {pen + k * el.x, op.y + k * el.y});
              out += el.isMoveTo() ? "m\n" : "l\n";
            } else if (el.isCurveTo() && j + 2 < path.elementCount()) {
              const QPainterPath::Element c2 = path.elementAt(j + 1), c3 = path.elementAt(j + 2);
              nums(out, {pen + k * el.x, op.y + k * el.y, pen + k * c2.x, op.y + k * c2.y, pen + k * c3.x,
                         op.y + k * c3.y});
              out += "c\n";
              j += 2;
            }
          }
          if (path.elementCount()) out += "f\n";
          pen += g.advance;
        }
        if (rf.hiddenDoc >= 0) {
          DocFont& h = docFonts[static_cast<size_t>(rf.hiddenDoc)];
          h.used = true;
          std::string ids;
          double width = 0;
          for (size_t c = first; c < i; ++c) {
            const unsigned char byte = static_cast<unsigned char>(op.text[c]);
            width += fi.hiddenAdvance[byte];
            hex4(ids, fi.hidden[byte]);
            h.cids[fi.hidden[byte]] = 1;
          }
          out += "BT 3 Tr ";
          setFont(out, rf.hiddenDoc, fi.size, currentFont);
          num(out, width > 0 ? 100 * (pen - start) / width : 100);
          out += " Tz 1 0 0 -1 ";
          nums(out, {start, op.y});
          out += "Tm <" + ids + "> Tj 0 Tr 100 Tz ET\n";
        }
        continue;
      }
      df.used = true;
      out += "BT\n";
      setFont(out, doc, fi.size, currentFont);
      out += "1 0 0 -1 ";
      nums(out, {pen, op.y});
      out += "Tm <";
      for (; i < n && faceAt(i) == which; ++i) {
        const FontInfo::Glyph& g = fi.glyphs[static_cast<unsigned char>(op.text[i])];
        hex4(out, g.cid);
        df.cids[g.cid] = 1;
        pen += g.advance;
      }
      out += "> Tj\nET\n";
    }
    if (fi.font.underline()) {
      nums(out, {op.x, op.y + fi.underlinePos - fi.lineWidth / 2, pen - op.x, fi.lineWidth});
      out += "re f\n";
    }
  }

  void draw(std::string& out, const DrawOp& op, uint32_t& fill, uint32_t& stroke, int& lineWidth, double& font) {
    switch (op.kind) {
      case DrawOp::Text:
        if (op.font < 0 || static_cast<size_t>(op.font) >= fonts.size()) return;
        if (fill != op.rgb) colour(out, fill = op.rgb, "rg");
        text(out, op, font);
        return;
      case DrawOp::Fill:
        if (fill != op.rgb) colour(out, fill = op.rgb, "rg");
        nums(out, {op.x, op.y, op.w, op.h});
        out += "re f\n";
        return;
      case DrawOp::Frame:
      case DrawOp::Rule: {
        if (stroke != op.rgb) colour(out, stroke = op.rgb, "RG");
        const int w = std::max(op.pen, 1);
        if (lineWidth != w) out += std::to_string(lineWidth = w) + " w\n";
        if (op.kind == DrawOp::Frame) {
          nums(out, {op.x, op.y, op.w, op.h});
          out += "re S\n";
        } else {
          nums(out, {op.x, op.y});
          out += "m ";
          nums(out, {op.x + op.w, op.y});
          out += "l S\n";
        }
        return;
      }
      case DrawOp::Picture: {
        const auto [object, size] = picture(op.text);
        if (!object) return;
        // Fitted in its rectangle keeping its proportions, centred, as on screen.
        const QSizeF fit = QSizeF(size).scaled(QSizeF(op.w, op.h), Qt::KeepAspectRatio);
        const double x = op.x + (op.w - fit.width()) / 2, y = op.y + (op.h - fit.height()) / 2;
        out += "q ";
        nums(out, {fit.width(), 0, 0, -fit.height(), x, y + fit.height()});
        out += "cm /Im" + std::to_string(object) + " Do Q\n";
        return;
      }
    }
  }
};

DirectPdf::DirectPdf(int fd, std::string pictureDir) : d_(std::make_unique<Impl>()) {
  d_->fd = fd;
  d_->pictureDir = std::move(pictureDir);
}

DirectPdf::~DirectPdf() = default;

size_t DirectPdf::pages() const { return d_->reportPages != SIZE_MAX ? d_->reportPages : d_->pageObjects.size(); }

void DirectPdf::begin(const Layout& sheet, const std::string& title) {
  d_->sheet = sheetOf(sheet).fullRectPoints();
  d_->title = title;
  d_->put("%PDF-1.4\n%\xE2\xE3\xCF\xD3\n");
  d_->pagesObject = d_->newObject();  // 1
  d_->resources = d_->newObject();    // 2
}

void DirectPdf::page(const Layout& l, const Page& page) {
  Impl& d = *d_;
  d.loadFonts(l);
  std::string out;
  out.reserve(8192);
  // Units of a twip with the origin at the sheet's top-left corner, then the margins.
  out += "0.05 0 0 -0.05 0 " + std::to_string(d.sheet.height()) + " cm\n1 0 0 1 ";
  nums(out, {double(l.margins.marginLeft), double(l.margins.marginTop)});
  out += "cm\n2 J 0 j 2 M\n";
  uint32_t fill = 0, stroke = 0;
  int lineWidth = -1;
  double font = -1;
  for (const DrawOp& op : l.header) d.draw(out, op, fill, stroke, lineWidth, font);
  for (const DrawOp& op : page.ops) d.draw(out, op, fill, stroke, lineWidth, font);
  const int content = d.newObject(), pageObject = d.newObject();
  d.stream(content, "/Filter /FlateDecode", deflate(QByteArray::fromRawData(out.data(), qsizetype(out.size())), 1));
  d.object(pageObject, "<< /Type /Page /Parent " + std::to_string(d.pagesObject) + " 0 R /MediaBox [0 0 " +
                           std::to_string(d.sheet.width()) + " " + std::to_string(d.sheet.height()) +
                           "] /Resources " + std::to_string(d.resources) + " 0 R /Contents " +
                           std::to_string(content) + " 0 R >>");
  d.pageObjects.push_back(pageObject);
}

Status DirectPdf::finish() {
  Impl& d = *d_;
  if (!d.pagesObject) return Status::ioError("no se inicio el documento");
  // A report without pages still gives a valid file: one blank sheet.
  const size_t reportPages = d.pageObjects.size();
  if (reportPages == 0) page(Layout(), Page());
  // The fonts: Type0 with one CIDFontType2 descendant, the subset and its ToUnicode map.
  std::string fontDict;
  for (size_t i = 0; i < d.docFonts.size(); ++i) {
    Impl::DocFont& f = d.docFonts[i];
    if (!f.object) continue;
    if (!f.used) {  // a face set up for characters that never came
      d.object(f.object, "null");
      continue;
    }
    Face& face = *f.face;
    f.cids[0] = 1;  // .notdef
    const std::shared_ptr<const Face::Embedded> e = embeddedFont(face, f.cids);
    const int fileObj = d.newObject(), descObj = d.newObject(), cidObj = d.newObject(), mapObj = d.newObject();
    d.stream(fileObj, "/Length1 " + std::to_string(e->length) + " /Filter /FlateDecode", e->program);
    std::string name;
    for (QChar c : face.raw.familyName() + face.raw.styleName())
      if (c.isLetterOrNumber() && c.unicode() < 128) name += static_cast<char>(c.unicode());
    // The subset's tag: six capitals, different per font of the document.
    std::string tag = "PLAAAA+";
    for (size_t k = i, at = 5; at >= 2; --at, k /= 26) tag[at] = static_cast<char>('A' + k % 26);
    name = tag + name;
    d.object(descObj, "<< /Type /FontDescriptor /FontName /" + name + face.descriptor + " /FontFile2 " +
                          std::to_string(fileObj) + " 0 R >>");
    d.object(cidObj, "<< /Type /Font /Subtype /CIDFontType2 /BaseFont /" + name +
                         " /CIDSystemInfo << /Registry (Adobe) /Ordering (Identity) /Supplement 0 >> /FontDescriptor " +
                         std::to_string(descObj) + " 0 R /CIDToGIDMap /Identity /DW 0 /W " + e->widths + " >>");
    d.stream(mapObj, "", QByteArray::fromRawData(e->toUnicode.data(), qsizetype(e->toUnicode.size())));
    d.object(f.object, "<< /Type /Font /Subtype /Type0 /BaseFont /" + name +
                           " /Encoding /Identity-H /DescendantFonts [" + std::to_string(cidObj) +
                           " 0 R] /ToUnicode " + std::to_string(mapObj) + " 0 R >>");
    fontDict += "/F" + std::to_string(i) + " " + std::to_string(f.object) + " 0 R ";
  }
  std::string xobjects;
  for (int o : d.imageObjects) xobjects += "/Im" + std::to_string(o) + " " + std::to_string(o) + " 0 R ";
  d.object(d.resources, "<< /ProcSet [/PDF /Text /ImageC] /Font << " + fontDict + ">> /XObject << " + xobjects +
                            ">> >>");
  std::string kids;
  kids.reserve(d.pageObjects.size() * 10);
  for (int p : d.pageObjects) kids += std::to_string(p) + " 0 R\n";
  d.object(d.pagesObject, "<< /Type /Pages /Count " + std::to_string(d.pageObjects.size()) + " /Kids [\n" + kids +
                              "] >>");
  const int catalog = d.newObject(), info = d.newObject();
  d.object(catalog, "<< /Type /Catalog /Pages " + std::to_string(d.pagesObject) + " 0 R >>");
  // Text strings in UTF-16 with its byte order mark, written in hexadecimal.
  auto utf16 = [](const QString& s) {
    std::string h = "<FEFF";
    char b[8];
    for (QChar c : s) {
      std::snprintf(b, sizeof b, "%04X", unsigned(c.unicode()));
      h += b;
    }
    return h + ">";
  };
  d.object(info, "<< /Title " + utf16(fromCp1252(d.title)) + " /Creator " + utf16(QStringLiteral("planilla")) +
                     " /Producer " + utf16(QStringLiteral("planilla")) + " /CreationDate (D:" +
                     QDateTime::currentDateTimeUtc().toString(QStringLiteral("yyyyMMddhhmmss")).toStdString() +
                     "Z) >>");
  const size_t xref = d.written + d.buffer.size();
  std::string table = "xref\n0 " + std::to_string(d.offsets.size()) + "\n0000000000 65535 f \n";
  char entry[24];
  for (size_t k = 1; k < d.offsets.size(); ++k) {
    std::snprintf(entry, sizeof entry, "%010zu 00000 n \n", d.offsets[k]);
    table += entry;
  }
  d.put(table);
  d.put("trailer\n<< /Size " + std::to_string(d.offsets.size()) + " /Root " + std::to_string(catalog) +
        " 0 R /Info " + std::to_string(info) + " 0 R >>\nstartxref\n" + std::to_string(xref) + "\n%%EOF\n");
  d.flush();
  d.reportPages = reportPages;
  if (d.error) return Status::ioError(std::strerror(d.error));
  return Status::ok();
}

}  // namespace planilla::rpv
