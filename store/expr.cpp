#include "store/expr.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "store/cdx_format.h"
#include "store/value.h"

namespace planilla {

namespace expr_detail {

// Static value kinds. 'C' character, 'N' numeric, 'D' date (julian day, with a day
// fraction for datetime fields), 'L' logical.
struct Val {
  char t = 'N';
  std::string s;
  double n = 0;
  bool b = false;
};

enum class Op {
  Field, Lit, Neg, Not, And, Or, Add, Sub, Mul, Div, Mod, Pow,
  Eq, ExactEq, Ne, Lt, Le, Gt, Ge, Contains, Call,
};

enum class Fn {
  Upper, Lower, Trim, LTrim, AllTrim, Left, Right, Substr, PadR, PadL, PadC, Space, Replicate,
  Str, Val, Len, Dtos, Dtoc, Ctod, Year, Month, Day, Deleted, Iif, Empty, Between, Int, Abs,
  Round, Max, Min, Chr, Asc,
};

struct Node {
  Op op = Op::Lit;
  char t = 'N';  // result type
  int width = 0; // static width of character results
  // Field
  char ftype = 'C';
  uint32_t off = 0;
  uint32_t fwidth = 0;
  int fdec = 0;
  // Literal
  Val lit;
  // Call
  Fn fn = Fn::Upper;
  std::vector<std::unique_ptr<Node>> kids;
};

}  // namespace expr_detail

using expr_detail::Fn;
using expr_detail::Node;
using expr_detail::Op;
using expr_detail::Val;

namespace {

// ------------------------------------------------------------------ lexer

enum class Tok { End, Ident, Num, Str, LParen, RParen, Comma, OpTok, True, False, And, Or, Not };

struct Token {
  Tok k = Tok::End;
  std::string text;  // identifier (upper case), string body, operator spelling
  double num = 0;
};

char up(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c; }
bool identStart(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_'; }
bool identChar(char c) { return identStart(c) || (c >= '0' && c <= '9'); }

// Windows-1252 case mapping: ASCII, the accented letters of 0xE0-0xFE (not the
// division sign) and the few letters of 0x8A-0x9F, so that UPPER('peña') is 'PEÑA'.
unsigned char upper1252(unsigned char c) {
  if (c >= 'a' && c <= 'z') return static_cast<unsigned char>(c - 32);
  if (c >= 0xE0 && c <= 0xFE && c != 0xF7) return static_cast<unsigned char>(c - 32);
  switch (c) {
    case 0x9A: return 0x8A;
    case 0x9C: return 0x8C;
    case 0x9E: return 0x8E;
    case 0xFF: return 0x9F;
    default: return c;
  }
}
unsigned char lower1252(unsigned char c) {
  if (c >= 'A' && c <= 'Z') return static_cast<unsigned char>(c + 32);
  if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return static_cast<unsigned char>(c + 32);
  switch (c) {
    case 0x8A: return 0x9A;
    case 0x8C: return 0x9C;
    case 0x8E: return 0x9E;
    case 0x9F: return 0xFF;
    default: return c;
  }
}

std::string upperStr(std::string_view s) {
  std::string r(s);
  for (char& c : r) c = up(c);
  return r;
}

class Lexer {
 public:
  explicit Lexer(std::string_view s) : s_(s) {}

  Status next(Token* t) {
    while (i_ < s_.size() && (s_[i_] == ' ' || s_[i_] == '\t')) ++i_;
    *t = Token();
    if (i_ >= s_.size()) return Status::ok();
    char c = s_[i_];
    if (c == '.') {
      // .T. .F. .Y. .N. .AND. .OR. .NOT. or a number like .5
      size_t j = i_ + 1;
      while (j < s_.size() && identStart(s_[j])) ++j;
      if (j < s_.size() && s_[j] == '.' && j > i_ + 1) {
        std::string w = upperStr(s_.substr(i_ + 1, j - i_ - 1));
        Tok k = Tok::End;
        if (w == "T" || w == "Y") k = Tok::True;
        else if (w == "F" || w == "N") k = Tok::False;
        else if (w == "AND") k = Tok::And;
        else if (w == "OR") k = Tok::Or;
        else if (w == "NOT") k = Tok::Not;
        if (k != Tok::End) {
          t->k = k;
          i_ = j + 1;
          return Status::ok();
        }
      }
      if (i_ + 1 < s_.size() && s_[i_ + 1] >= '0' && s_[i_ + 1] <= '9') return number(t);
      return err("punto inesperado");
    }
    if (c >= '0' && c <= '9') return number(t);
    if (identStart(c)) {
      size_t j = i_;
      while (j < s_.size() && identChar(s_[j])) ++j;
      std::string w = upperStr(s_.substr(i_, j - i_));
      // alias->field and alias.field: keep the field part only.
      size_t arrow = j;
      while (arrow < s_.size() && s_[arrow] == ' ') ++arrow;
      if (arrow + 1 < s_.size() && s_[arrow] == '-' && s_[arrow + 1] == '>') {
        size_t k = arrow + 2;
        while (k < s_.size() && s_[k] == ' ') ++k;
        size_t e = k;
        while (e < s_.size() && identChar(s_[e])) ++e;
        if (e > k && identStart(s_[k])) {
          w = upperStr(s_.substr(k, e - k));
          j = e;
        }
      } else if (j + 1 < s_.size() && s_[j] == '.' && identStart(s_[j + 1])) {
        size_t e = j + 1;
        while (e < s_.size() && identChar(s_[e])) ++e;
        bool logicalOp = e < s_.size() && s_[e] == '.';
        if (logicalOp) {
          std::string w2 = upperStr(s_.substr(j + 1, e - j - 1));
          logicalOp = w2 == "AND" || w2 == "OR" || w2 == "NOT" || w2 == "T" || w2 == "F" ||
                      w2 == "Y" || w2 == "N";
        }
        if (!logicalOp) {
          w = upperStr(s_.substr(j + 1, e - j - 1));
          j = e;
        }
      }
      t->k = Tok::Ident;
      t->text = w;
      i_ = j;
      return Status::ok();
    }
    if (c == '\'' || c == '"' || c == '[') {
      char close = c == '[' ? ']' : c;
      size_t j = s_.find(close, i_ + 1);
      if (j == std::string_view::npos) return err("cadena sin cerrar");
      t->k = Tok::Str;
      t->text = std::string(s_.substr(i_ + 1, j - i_ - 1));
      i_ = j + 1;
      return Status::ok();
    }
    if (c == '(') { t->k = Tok::LParen; ++i_; return Status::ok(); }
    if (c == ')') { t->k = Tok::RParen; ++i_; return Status::ok(); }
    if (c == ',') { t->k = Tok::Comma; ++i_; return Status::ok(); }
    static const char* const ops[] = {"==", "<>", "!=", "<=", ">=", "**", "=", "#", "<", ">",
                                      "+",  "-",  "*",  "/",  "%",  "^",  "$", "!"};
    for (const char* op : ops) {
      size_t n = std::strlen(op);
      if (s_.substr(i_, n) == op) {
        t->k = Tok::OpTok;
        t->text = op;
        i_ += n;
        return Status::ok();
      }
    }
    return err("caracter inesperado");
  }

  size_t pos() const { return i_; }

 private:
  Status number(Token* t) {
    size_t j = i_;
    while (j < s_.size() && ((s_[j] >= '0' && s_[j] <= '9') || s_[j] == '.')) ++j;
    std::string w(s_.substr(i_, j - i_));
    if (std::count(w.begin(), w.end(), '.') > 1) return err("numero mal escrito");
    t->k = Tok::Num;
    t->num = std::strtod(w.c_str(), nullptr);
    t->text = w;
    i_ = j;
    return Status::ok();
  }
  Status err(const char* what) {
    return Status::invalid(std::string(what) + " en la posicion " + std::to_string(i_ + 1));
  }

  std::string_view s_;
  size_t i_ = 0;
};

// ------------------------------------------------------------------ parser

struct FnInfo {
  const char* name;
  Fn fn;
  int minArgs, maxArgs;
};

const FnInfo kFunctions[] = {
    {"UPPER", Fn::Upper, 1, 1},     {"LOWER", Fn::Lower, 1, 1},
    {"TRIM", Fn::Trim, 1, 1},       {"RTRIM", Fn::Trim, 1, 1},
    {"LTRIM", Fn::LTrim, 1, 1},     {"ALLTRIM", Fn::AllTrim, 1, 1},
    {"LEFT", Fn::Left, 2, 2},       {"RIGHT", Fn::Right, 2, 2},
    {"SUBSTR", Fn::Substr, 2, 3},   {"PADR", Fn::PadR, 2, 3},
    {"PADL", Fn::PadL, 2, 3},       {"PADC", Fn::PadC, 2, 3},
    {"SPACE", Fn::Space, 1, 1},     {"REPLICATE", Fn::Replicate, 2, 2},
    {"STR", Fn::Str, 1, 3},         {"VAL", Fn::Val, 1, 1},
    {"LEN", Fn::Len, 1, 1},         {"DTOS", Fn::Dtos, 1, 1},
    {"DTOC", Fn::Dtoc, 1, 1},       {"CTOD", Fn::Ctod, 1, 1},
    {"YEAR", Fn::Year, 1, 1},       {"MONTH", Fn::Month, 1, 1},
    {"DAY", Fn::Day, 1, 1},         {"DELETED", Fn::Deleted, 0, 0},
    {"IIF", Fn::Iif, 3, 3},         {"EMPTY", Fn::Empty, 1, 1},
    {"BETWEEN", Fn::Between, 3, 3}, {"INT", Fn::Int, 1, 1},
    {"ABS", Fn::Abs, 1, 1},         {"ROUND", Fn::Round, 2, 2},
    {"MAX", Fn::Max, 2, 2},         {"MIN", Fn::Min, 2, 2},
    {"CHR", Fn::Chr, 1, 1},         {"ASC", Fn::Asc, 1, 1},
};

// Longest character result accepted (keys are at most 240 bytes anyway).
constexpr int kMaxWidth = 4096;

const char* typeName(char t) {
  switch (t) {
    case 'C': return "caracter";
    case 'N': return "numerico";
    case 'D': return "fecha";
    default: return "logico";
  }
}

class Parser {
 public:
  Parser(std::string_view text, const RecordLayout& layout) : lex_(text), layout_(layout) {}

  Result<std::unique_ptr<Node>> parse() {
    PLANILLA_RETURN_IF_ERROR(advance());
    auto r = parseOr();
    if (!r) return r.status();
    if (tok_.k != Tok::End) return err("texto sobrante");
    return std::move(r).value();
  }
  uint32_t minRecordLength() const { return minRec_; }

 private:
  using P = Result<std::unique_ptr<Node>>;

  Status advance() { return lex_.next(&tok_); }
  Status err(const std::string& what) {
    return Status::invalid(what + " en la posicion " + std::to_string(lex_.pos()));
  }
  bool isOp(const char* s) const { return tok_.k == Tok::OpTok && tok_.text == s; }

  static std::unique_ptr<Node> make(Op op, char t, std::unique_ptr<Node> a = nullptr,
                                    std::unique_ptr<Node> b = nullptr) {
    auto n = std::make_unique<Node>();
    n->op = op;
    n->t = t;
    if (a) n->kids.push_back(std::move(a));
    if (b) n->kids.push_back(std::move(b));
    return n;
  }

  P parseOr() {
    auto l = parseAnd();
    if (!l) return l;
    while (tok_.k == Tok::Or) {
      PLANILLA_RETURN_IF_ERROR(advance());
      auto r = parseAnd();
      if (!r) return r;
      if (l.value()->t != 'L' || r.value()->t != 'L') return err(".OR. requiere valores logicos");
      l = make(Op::Or, 'L', std::move(l).value(), std::move(r).value());
    }
    return l;
  }

  P parseAnd() {
    auto l = parseNot();
    if (!l) return l;
    while (tok_.k == Tok::And) {
      PLANILLA_RETURN_IF_ERROR(advance());
      auto r = parseNot();
      if (!r) return r;
      if (l.value()->t != 'L' || r.value()->t != 'L') return err(".AND. requiere valores logicos");
      l = make(Op::And, 'L', std::move(l).value(), std::move(r).value());
    }
    return l;
  }

  P parseNot() {
    if (tok_.k == Tok::Not || isOp("!")) {
      if (++depth_ > 200) return err("expresion demasiado anidada");
      PLANILLA_RETURN_IF_ERROR(advance());
      auto e = parseNot();
      --depth_;
      if (!e) return e;
      if (e.value()->t != 'L') return err(".NOT. requiere un valor logico");
      return make(Op::Not, 'L', std::move(e).value());
    }
    return parseCmp();
  }

  P parseCmp() {
    auto l = parseAdd();
    if (!l) return l;
    static const std::pair<const char*, Op> cmps[] = {
        {"==", Op::ExactEq}, {"=", Op::Eq}, {"<>", Op::Ne}, {"#", Op::Ne}, {"!=", Op::Ne},
        {"<=", Op::Le},      {">=", Op::Ge}, {"<", Op::Lt},  {">", Op::Gt}, {"$", Op::Contains}};
    for (auto& [s, op] : cmps) {
      if (!isOp(s)) continue;
      PLANILLA_RETURN_IF_ERROR(advance());
      auto r = parseAdd();
      if (!r) return r;
      char a = l.value()->t, b = r.value()->t;
      if (a != b) return err(std::string("no se pueden comparar ") + typeName(a) + " y " + typeName(b));
      if (op == Op::Contains && a != 'C') return err("$ requiere cadenas");
      if (a == 'L' && op != Op::Eq && op != Op::ExactEq && op != Op::Ne)
        return err("los valores logicos solo se comparan por igualdad");
      return make(op, 'L', std::move(l).value(), std::move(r).value());
    }
    return l;
  }

  P parseAdd() {
    auto l = parseMul();
    if (!l) return l;
    while (isOp("+") || isOp("-")) {
      bool plus = tok_.text == "+";
      PLANILLA_RETURN_IF_ERROR(advance());
      auto r = parseMul();
      if (!r) return r;
      char a = l.value()->t, b = r.value()->t;
      char t;
      int width = 0;
      if (a == 'C' && b == 'C') {
        t = 'C';
        width = l.value()->width + r.value()->width;
        if (width > kMaxWidth) return err("cadena demasiado larga");
      } else if (a == 'N' && b == 'N') {
        t = 'N';
      } else if (a == 'D' && b == 'N') {
        t = 'D';
      } else if (plus && a == 'N' && b == 'D') {
        t = 'D';
      } else if (!plus && a == 'D' && b == 'D') {
        t = 'N';
      } else {
        return err(std::string("operacion invalida entre ") + typeName(a) + " y " + typeName(b));
      }
      auto n = make(plus ? Op::Add : Op::Sub, t, std::move(l).value(), std::move(r).value());
      n->width = width;
      l = std::move(n);
    }
    return l;
  }

  P parseMul() {
    auto l = parseUnary();
    if (!l) return l;
    while (isOp("*") || isOp("/") || isOp("%")) {
      Op op = tok_.text == "*" ? Op::Mul : tok_.text == "/" ? Op::Div : Op::Mod;
      PLANILLA_RETURN_IF_ERROR(advance());
      auto r = parseUnary();
      if (!r) return r;
      if (l.value()->t != 'N' || r.value()->t != 'N') return err("operacion aritmetica sobre valores no numericos");
      l = make(op, 'N', std::move(l).value(), std::move(r).value());
    }
    return l;
  }

  P parseUnary() {
    if (isOp("-") || isOp("+")) {
      bool neg = tok_.text == "-";
      if (++depth_ > 200) return err("expresion demasiado anidada");
      PLANILLA_RETURN_IF_ERROR(advance());
      auto e = parseUnary();
      --depth_;
      if (!e) return e;
      if (e.value()->t != 'N') return err("signo sobre un valor no numerico");
      if (!neg) return e;
      return make(Op::Neg, 'N', std::move(e).value());
    }
    auto l = parsePrimary();
    if (!l) return l;
    if (isOp("^") || isOp("**")) {
      PLANILLA_RETURN_IF_ERROR(advance());
      auto r = parseUnary();
      if (!r) return r;
      if (l.value()->t != 'N' || r.value()->t != 'N') return err("potencia sobre valores no numericos");
      return make(Op::Pow, 'N', std::move(l).value(), std::move(r).value());
    }
    return l;
  }

  P parsePrimary() {
    if (++depth_ > 200) return err("expresion demasiado anidada");
    struct DepthGuard {
      int& d;
      ~DepthGuard() { --d; }
    } guard{depth_};
    Token t = tok_;
    switch (t.k) {
      case Tok::Num: {
        PLANILLA_RETURN_IF_ERROR(advance());
        auto n = make(Op::Lit, 'N');
        n->lit.t = 'N';
        n->lit.n = t.num;
        return n;
      }
      case Tok::Str: {
        PLANILLA_RETURN_IF_ERROR(advance());
        auto n = make(Op::Lit, 'C');
        n->lit.t = 'C';
        n->lit.s = t.text;
        n->width = static_cast<int>(t.text.size());
        return n;
      }
      case Tok::True:
      case Tok::False: {
        PLANILLA_RETURN_IF_ERROR(advance());
        auto n = make(Op::Lit, 'L');
        n->lit.t = 'L';
        n->lit.b = t.k == Tok::True;
        return n;
      }
      case Tok::LParen: {
        PLANILLA_RETURN_IF_ERROR(advance());
        auto e = parseOr();
        if (!e) return e;
        if (tok_.k != Tok::RParen) return err("falta )");
        PLANILLA_RETURN_IF_ERROR(advance());
        return e;
      }
      case Tok::Ident: {
        PLANILLA_RETURN_IF_ERROR(advance());
        if (tok_.k == Tok::LParen) return parseCall(t.text);
        return field(t.text);
      }
      case Tok::End:
        return err("expresion incompleta");
      default:
        return err("simbolo inesperado");
    }
  }

  P field(const std::string& name) {
    for (const FieldLayout& f : layout_) {
      if (upperStr(f.name) != name) continue;
      auto n = make(Op::Field, 'C');
      n->ftype = up(f.type);
      n->off = f.offset;
      n->fwidth = static_cast<uint32_t>(f.width);
      n->fdec = f.decimals;
      if (f.offset == 0 || f.width <= 0) return err("campo " + name + " mal descrito");
      switch (n->ftype) {
        case 'C': n->t = 'C'; n->width = f.width; break;
        case 'N': case 'F': n->t = 'N'; break;
        case 'D': n->t = 'D'; if (f.width != 8) return err("campo fecha " + name + " con ancho invalido"); break;
        case 'T': n->t = 'D'; if (f.width != 8) return err("campo fecha-hora " + name + " con ancho invalido"); break;
        case 'L': n->t = 'L'; break;
        case 'I': n->t = 'N'; if (f.width != 4) return err("campo entero " + name + " con ancho invalido"); break;
        case 'B': n->t = 'N'; if (f.width != 8) return err("campo doble " + name + " con ancho invalido"); break;
        case 'Y': n->t = 'N'; if (f.width != 8) return err("campo moneda " + name + " con ancho invalido"); break;
        default: return err("el campo " + name + " es de un tipo que no se puede indexar");
      }
      minRec_ = std::max(minRec_, f.offset + static_cast<uint32_t>(f.width));
      return n;
    }
    // Tables of a database keep long field names in the database and the first
    // ten characters in the table file; index expressions use the long ones.
    if (name.size() > 10) {
      for (const FieldLayout& f : layout_)
        if (upperStr(f.name) == name.substr(0, 10)) return field(upperStr(f.name));
    }
    return err("campo desconocido " + name);
  }

  static bool constNum(const Node& n, double* v) {
    if (n.op == Op::Lit && n.t == 'N') { *v = n.lit.n; return true; }
    if (n.op == Op::Neg && constNum(*n.kids[0], v)) { *v = -*v; return true; }
    return false;
  }
  static int constWidth(const Node& n, int fallback) {
    double v;
    if (!constNum(n, &v)) return fallback;
    if (v < 0) return 0;
    if (v > kMaxWidth) return kMaxWidth;
    return static_cast<int>(v);
  }

  P parseCall(const std::string& name) {
    const FnInfo* info = nullptr;
    for (const FnInfo& f : kFunctions)
      if (name == f.name) info = &f;
    if (!info) return err("funcion desconocida " + name);
    PLANILLA_RETURN_IF_ERROR(advance());  // (
    std::vector<std::unique_ptr<Node>> args;
    if (tok_.k != Tok::RParen) {
      while (true) {
        auto a = parseOr();
        if (!a) return a;
        args.push_back(std::move(a).value());
        if (tok_.k == Tok::Comma) { PLANILLA_RETURN_IF_ERROR(advance()); continue; }
        break;
      }
    }
    if (tok_.k != Tok::RParen) return err("falta ) en " + name);
    PLANILLA_RETURN_IF_ERROR(advance());
    int na = static_cast<int>(args.size());
    if (na < info->minArgs || na > info->maxArgs) return err("cantidad de argumentos invalida en " + name);
    auto n = make(Op::Call, 'C');
    n->fn = info->fn;
    auto ty = [&](int i) { return args[i]->t; };
    auto need = [&](int i, char t) -> Status {
      if (ty(i) != t)
        return err(name + ": el argumento " + std::to_string(i + 1) + " debe ser " + typeName(t));
      return Status::ok();
    };
    switch (info->fn) {
      case Fn::Upper: case Fn::Lower: case Fn::Trim: case Fn::LTrim: case Fn::AllTrim:
        PLANILLA_RETURN_IF_ERROR(need(0, 'C'));
        n->t = 'C'; n->width = args[0]->width; break;
      case Fn::Left: case Fn::Right:
        PLANILLA_RETURN_IF_ERROR(need(0, 'C')); PLANILLA_RETURN_IF_ERROR(need(1, 'N'));
        n->t = 'C'; n->width = std::min(args[0]->width, constWidth(*args[1], args[0]->width)); break;
      case Fn::Substr: {
        PLANILLA_RETURN_IF_ERROR(need(0, 'C')); PLANILLA_RETURN_IF_ERROR(need(1, 'N'));
        if (na == 3) PLANILLA_RETURN_IF_ERROR(need(2, 'N'));
        n->t = 'C';
        int w = args[0]->width;
        int start = constWidth(*args[1], 1);
        int rest = std::max(0, w - std::max(start, 1) + 1);
        n->width = na == 3 ? std::min(rest, constWidth(*args[2], rest)) : rest;
        break;
      }
      case Fn::PadR: case Fn::PadL: case Fn::PadC: {
        PLANILLA_RETURN_IF_ERROR(need(1, 'N'));
        if (na == 3) PLANILLA_RETURN_IF_ERROR(need(2, 'C'));
        double v;
        if (!constNum(*args[1], &v)) return err(name + " requiere un ancho constante");
        n->t = 'C'; n->width = constWidth(*args[1], 0); break;
      }
      case Fn::Space: {
        PLANILLA_RETURN_IF_ERROR(need(0, 'N'));
        double v;
        if (!constNum(*args[0], &v)) return err("SPACE requiere un ancho constante");
        n->t = 'C'; n->width = constWidth(*args[0], 0); break;
      }
      case Fn::Replicate: {
        PLANILLA_RETURN_IF_ERROR(need(0, 'C')); PLANILLA_RETURN_IF_ERROR(need(1, 'N'));
        double v;
        if (!constNum(*args[1], &v)) return err("REPLICATE requiere una cantidad constante");
        n->t = 'C'; n->width = std::min(kMaxWidth, args[0]->width * constWidth(*args[1], 0)); break;
      }
      case Fn::Str:
        PLANILLA_RETURN_IF_ERROR(need(0, 'N'));
        for (int i = 1; i < na; ++i) PLANILLA_RETURN_IF_ERROR(need(i, 'N'));
        n->t = 'C'; n->width = na >= 2 ? constWidth(*args[1], 10) : 10;
        if (n->width > 255) n->width = 255;
        break;
      case Fn::Val: case Fn::Len: case Fn::Asc:
        PLANILLA_RETURN_IF_ERROR(need(0, 'C')); n->t = 'N'; break;
      case Fn::Dtos: PLANILLA_RETURN_IF_ERROR(need(0, 'D')); n->t = 'C'; n->width = 8; break;
      case Fn::Dtoc: PLANILLA_RETURN_IF_ERROR(need(0, 'D')); n->t = 'C'; n->width = 10; break;
      case Fn::Ctod: PLANILLA_RETURN_IF_ERROR(need(0, 'C')); n->t = 'D'; break;
      case Fn::Year: case Fn::Month: case Fn::Day:
        PLANILLA_RETURN_IF_ERROR(need(0, 'D')); n->t = 'N'; break;
      case Fn::Deleted: n->t = 'L'; break;
      case Fn::Iif:
        PLANILLA_RETURN_IF_ERROR(need(0, 'L'));
        if (ty(1) != ty(2)) return err("IIF: las dos ramas deben ser del mismo tipo");
        n->t = ty(1); n->width = std::max(args[1]->width, args[2]->width); break;
      case Fn::Empty: n->t = 'L'; break;
      case Fn::Between:
        if (ty(0) != ty(1) || ty(0) != ty(2) || ty(0) == 'L') return err("BETWEEN: tipos distintos");
        n->t = 'L'; break;
      case Fn::Int: case Fn::Abs:
        PLANILLA_RETURN_IF_ERROR(need(0, 'N')); n->t = 'N'; break;
      case Fn::Round:
        PLANILLA_RETURN_IF_ERROR(need(0, 'N')); PLANILLA_RETURN_IF_ERROR(need(1, 'N')); n->t = 'N'; break;
      case Fn::Max: case Fn::Min:
        if (ty(0) != ty(1) || ty(0) == 'L') return err(name + ": tipos distintos");
        n->t = ty(0); n->width = std::max(args[0]->width, args[1]->width); break;
      case Fn::Chr: PLANILLA_RETURN_IF_ERROR(need(0, 'N')); n->t = 'C'; n->width = 1; break;
    }
    n->kids = std::move(args);
    return n;
  }

  Lexer lex_;
  const RecordLayout& layout_;
  Token tok_;
  int depth_ = 0;
  uint32_t minRec_ = 1;
};

// ------------------------------------------------------------------ evaluation

double parseNumber(std::string_view s) {
  char buf[64];
  size_t n = 0;
  for (char c : s) {
    if (c == ' ' || c == '\0') continue;
    if (n + 1 >= sizeof buf) break;
    buf[n++] = c == ',' ? '.' : c;
  }
  buf[n] = 0;
  if (n == 0) return 0;
  return std::strtod(buf, nullptr);
}

uint32_t le32(const char* p) {
  uint32_t v;
  std::memcpy(&v, p, 4);  // the engine runs on little-endian machines only
  return v;
}

double julianOfDtos(std::string_view s) {
  bool ok = true;
  Date d = Date::fromDtos(s, &ok);
  if (!ok || d.empty()) return 0;
  return static_cast<double>(d.julianDay());
}

Date dateOf(double jd) {
  // Julian day 5373484 is 31/12/9999; beyond it (or NaN) there is no calendar date.
  if (!(jd > 0 && jd < 5373485)) return Date();
  return Date::fromJulianDay(static_cast<int64_t>(jd));
}

std::string rtrim(std::string s) {
  size_t e = s.find_last_not_of(' ');
  s.erase(e == std::string::npos ? 0 : e + 1);
  return s;
}
std::string ltrim(std::string s) {
  size_t b = s.find_first_not_of(' ');
  s.erase(0, b == std::string::npos ? s.size() : b);
  return s;
}

std::string strOf(double v, int len, int dec) {
  if (len <= 0) return "";
  if (len > 255) len = 255;
  if (dec < 0) dec = 0;
  if (dec > 0 && dec > len - 2) dec = std::max(0, len - 2);
  for (int d = dec; d >= 0; --d) {
    double r = roundHalfAway(v, d);
    char buf[400];
    int w = std::snprintf(buf, sizeof buf, "%*.*f", len, d, r);
    if (w > 0 && w <= len) return buf;
  }
  return std::string(len, '*');
}

// Blank-padded comparison of character values.
int cmpPadded(std::string_view a, std::string_view b) {
  size_t n = std::max(a.size(), b.size());
  for (size_t i = 0; i < n; ++i) {
    unsigned char x = i < a.size() ? static_cast<unsigned char>(a[i]) : ' ';
    unsigned char y = i < b.size() ? static_cast<unsigned char>(b[i]) : ' ';
    if (x != y) return x < y ? -1 : 1;
  }
  return 0;
}

Status eval(const Node& n, std::string_view rec, Val& out);

Status evalKids(const Node& n, std::string_view rec, Val* v, int count) {
  for (int i = 0; i < count; ++i) PLANILLA_RETURN_IF_ERROR(eval(*n.kids[i], rec, v[i]));
  return Status::ok();
}

int cmpVals(const Val& a, const Val& b) {
  switch (a.t) {
    case 'C': return cmpPadded(a.s, b.s);
    case 'L': return a.b == b.b ? 0 : (a.b ? 1 : -1);
    default: return a.n < b.n ? -1 : (a.n > b.n ? 1 : 0);
  }
}

Status evalCall(const Node& n, std::string_view rec, Val& out) {
  Val a[3];
  out.t = n.t;
  const int na = static_cast<int>(n.kids.size());
  if (n.fn == Fn::Iif) {
    PLANILLA_RETURN_IF_ERROR(eval(*n.kids[0], rec, a[0]));
    return eval(*n.kids[a[0].b ? 1 : 2], rec, out);
  }
  PLANILLA_RETURN_IF_ERROR(evalKids(n, rec, a, na));
  auto toInt = [](double v) -> long long {
    if (!(v > -1e9)) return -1000000000LL;
    if (v > 1e9) return 1000000000LL;
    return static_cast<long long>(v);
  };
  switch (n.fn) {
    case Fn::Upper:
      out.s = std::move(a[0].s);
      for (char& c : out.s) c = static_cast<char>(upper1252(static_cast<unsigned char>(c)));
      break;
    case Fn::Lower:
      out.s = std::move(a[0].s);
      for (char& c : out.s) c = static_cast<char>(lower1252(static_cast<unsigned char>(c)));
      break;
    case Fn::Trim: out.s = rtrim(std::move(a[0].s)); break;
    case Fn::LTrim: out.s = ltrim(std::move(a[0].s)); break;
    case Fn::AllTrim: out.s = ltrim(rtrim(std::move(a[0].s))); break;
    case Fn::Left: {
      long long k = std::max(0LL, toInt(a[1].n));
      out.s = a[0].s.substr(0, static_cast<size_t>(std::min<long long>(k, a[0].s.size())));
      break;
    }
    case Fn::Right: {
      long long k = std::max(0LL, std::min<long long>(toInt(a[1].n), a[0].s.size()));
      out.s = a[0].s.substr(a[0].s.size() - static_cast<size_t>(k));
      break;
    }
    case Fn::Substr: {
      long long start = toInt(a[1].n);
      if (start < 1 || start > static_cast<long long>(a[0].s.size())) { out.s.clear(); break; }
      size_t from = static_cast<size_t>(start - 1);
      size_t len = a[0].s.size() - from;
      if (na == 3) len = static_cast<size_t>(std::max(0LL, std::min<long long>(toInt(a[2].n), len)));
      out.s = a[0].s.substr(from, len);
      break;
    }
    case Fn::PadR: case Fn::PadL: case Fn::PadC: {
      size_t w = static_cast<size_t>(std::max(0LL, std::min<long long>(toInt(a[1].n), kMaxWidth)));
      char pad = (na == 3 && !a[2].s.empty()) ? a[2].s[0] : ' ';
      std::string s;
      if (a[0].t == 'C') s = a[0].s;
      else if (a[0].t == 'N') s = ltrim(strOf(a[0].n, 20, 2));
      else if (a[0].t == 'D') s = dateOf(a[0].n).dmy();
      else s = a[0].b ? ".T." : ".F.";
      if (s.size() >= w) { out.s = s.substr(0, w); break; }
      size_t fill = w - s.size();
      if (n.fn == Fn::PadR) out.s = s + std::string(fill, pad);
      else if (n.fn == Fn::PadL) out.s = std::string(fill, pad) + s;
      else out.s = std::string(fill / 2, pad) + s + std::string(fill - fill / 2, pad);
      break;
    }
    case Fn::Space: out.s.assign(static_cast<size_t>(n.width), ' '); break;
    case Fn::Replicate: {
      long long k = std::max(0LL, toInt(a[1].n));
      out.s.clear();
      for (long long i = 0; i < k && out.s.size() + a[0].s.size() <= kMaxWidth; ++i) out.s += a[0].s;
      break;
    }
    case Fn::Str: {
      int len = na >= 2 ? static_cast<int>(std::clamp<long long>(toInt(a[1].n), 0, 255)) : 10;
      int dec = na >= 3 ? static_cast<int>(std::clamp<long long>(toInt(a[2].n), 0, 18)) : 0;
      out.s = strOf(a[0].n, len, dec);
      break;
    }
    case Fn::Val: out.n = parseNumber(a[0].s); break;
    case Fn::Len: out.n = static_cast<double>(a[0].s.size()); break;
    case Fn::Asc: out.n = a[0].s.empty() ? 0 : static_cast<unsigned char>(a[0].s[0]); break;
    case Fn::Dtos: out.s = dateOf(a[0].n).dtos(); break;
    case Fn::Dtoc: out.s = dateOf(a[0].n).dmy(); break;
    case Fn::Ctod: {
      // Only the dd/mm/yyyy shape reaches the date parser; anything else is an empty
      // date, as CTOD gives for text it cannot read.
      std::string txt = ltrim(rtrim(a[0].s));
      int part = 0, digits = 0;
      bool shaped = !txt.empty();
      for (char c : txt) {
        if (c == '/') {
          if (digits == 0 || ++part > 2) shaped = false;
          digits = 0;
        } else if (c >= '0' && c <= '9') {
          if (++digits > (part == 2 ? 4 : 2)) shaped = false;
        } else {
          shaped = false;
        }
      }
      if (part != 2 || digits == 0) shaped = false;
      if (!shaped) { out.n = 0; break; }
      bool ok = true;
      Date d = Date::fromDmy(txt, &ok);
      out.n = ok && d.valid() ? static_cast<double>(d.julianDay()) : 0;
      break;
    }
    case Fn::Year: out.n = dateOf(a[0].n).year(); break;
    case Fn::Month: out.n = dateOf(a[0].n).month(); break;
    case Fn::Day: out.n = dateOf(a[0].n).day(); break;
    case Fn::Deleted: out.b = !rec.empty() && rec[0] == '*'; break;
    case Fn::Empty:
      switch (a[0].t) {
        case 'C': out.b = a[0].s.find_first_not_of(' ') == std::string::npos; break;
        case 'L': out.b = !a[0].b; break;
        default: out.b = a[0].n == 0; break;
      }
      break;
    case Fn::Between: out.b = cmpVals(a[0], a[1]) >= 0 && cmpVals(a[0], a[2]) <= 0; break;
    case Fn::Int: out.n = std::trunc(a[0].n); break;
    case Fn::Abs: out.n = std::fabs(a[0].n); break;
    case Fn::Round: out.n = roundHalfAway(a[0].n, static_cast<int>(std::clamp<long long>(toInt(a[1].n), -15, 15))); break;
    case Fn::Max: case Fn::Min: {
      bool first = (cmpVals(a[0], a[1]) >= 0) == (n.fn == Fn::Max);
      out = std::move(a[first ? 0 : 1]);
      break;
    }
    case Fn::Chr: out.s.assign(1, static_cast<char>(static_cast<unsigned char>(toInt(a[0].n) & 0xFF))); break;
    case Fn::Iif: break;
  }
  return Status::ok();
}

Status eval(const Node& n, std::string_view rec, Val& out) {
  out.t = n.t;
  switch (n.op) {
    case Op::Lit:
      out = n.lit;
      return Status::ok();
    case Op::Field: {
      if (static_cast<uint64_t>(n.off) + n.fwidth > rec.size())
        return Status::invalid("registro mas corto que su estructura");
      const char* p = rec.data() + n.off;
      switch (n.ftype) {
        case 'C': out.s.assign(p, n.fwidth); break;
        case 'N': case 'F': out.n = parseNumber(std::string_view(p, n.fwidth)); break;
        case 'D': out.n = julianOfDtos(std::string_view(p, 8)); break;
        case 'T': {
          uint32_t day = le32(p), ms = le32(p + 4);
          out.n = day == 0 ? 0 : day + ms / 86400000.0;
          break;
        }
        case 'L': out.b = *p == 'T' || *p == 't' || *p == 'Y' || *p == 'y'; break;
        case 'I': out.n = static_cast<int32_t>(le32(p)); break;
        case 'B': { double d; std::memcpy(&d, p, 8); out.n = d; break; }
        case 'Y': { int64_t c; std::memcpy(&c, p, 8); out.n = static_cast<double>(c) / 10000.0; break; }
      }
      return Status::ok();
    }
    case Op::Neg:
      PLANILLA_RETURN_IF_ERROR(eval(*n.kids[0], rec, out));
      out.n = -out.n;
      return Status::ok();
    case Op::Not:
      PLANILLA_RETURN_IF_ERROR(eval(*n.kids[0], rec, out));
      out.b = !out.b;
      return Status::ok();
    case Op::And: case Op::Or: {
      PLANILLA_RETURN_IF_ERROR(eval(*n.kids[0], rec, out));
      if ((n.op == Op::And) != out.b) return Status::ok();  // short circuit
      return eval(*n.kids[1], rec, out);
    }
    case Op::Call:
      return evalCall(n, rec, out);
    default: break;
  }
  Val a, b;
  PLANILLA_RETURN_IF_ERROR(eval(*n.kids[0], rec, a));
  PLANILLA_RETURN_IF_ERROR(eval(*n.kids[1], rec, b));
  out = Val();
  out.t = n.t;
  switch (n.op) {
    case Op::Add:
      if (a.t == 'C') { out.s = std::move(a.s); out.s += b.s; }
      else out.n = a.n + b.n;
      break;
    case Op::Sub:
      if (a.t == 'C') {
        std::string t = rtrim(a.s);
        out.s = t + b.s + std::string(a.s.size() - t.size(), ' ');
      } else {
        out.n = a.n - b.n;
      }
      break;
    case Op::Mul: out.n = a.n * b.n; break;
    case Op::Div:
      if (b.n == 0) return Status::invalid("division por cero");
      out.n = a.n / b.n;
      break;
    case Op::Mod:
      if (b.n == 0) return Status::invalid("division por cero");
      out.n = a.n - b.n * std::floor(a.n / b.n);
      break;
    case Op::Pow: out.n = std::pow(a.n, b.n); break;
    case Op::Eq:
      if (a.t == 'C') {
        // Comparison stops at the end of the right-hand string.
        out.b = b.s.empty() || cmpPadded(std::string_view(a.s).substr(0, std::min(a.s.size(), b.s.size())), b.s) == 0;
      } else {
        out.b = cmpVals(a, b) == 0;
      }
      break;
    case Op::ExactEq: out.b = a.t == 'C' ? a.s == b.s : cmpVals(a, b) == 0; break;
    case Op::Ne:
      if (a.t == 'C') out.b = !(b.s.empty() || cmpPadded(std::string_view(a.s).substr(0, std::min(a.s.size(), b.s.size())), b.s) == 0);
      else out.b = cmpVals(a, b) != 0;
      break;
    case Op::Lt: out.b = cmpVals(a, b) < 0; break;
    case Op::Le: out.b = cmpVals(a, b) <= 0; break;
    case Op::Gt: out.b = cmpVals(a, b) > 0; break;
    case Op::Ge: out.b = cmpVals(a, b) >= 0; break;
    case Op::Contains: out.b = b.s.find(a.s) != std::string::npos; break;
    default: break;
  }
  return Status::ok();
}

// Collects (offset, width) slices when the expression is character fields joined by +.
bool collectSlices(const Node& n, std::vector<std::pair<uint32_t, uint32_t>>& out) {
  if (n.op == Op::Field && n.ftype == 'C') {
    out.emplace_back(n.off, n.fwidth);
    return true;
  }
  if (n.op == Op::Add && n.t == 'C') return collectSlices(*n.kids[0], out) && collectSlices(*n.kids[1], out);
  return false;
}

}  // namespace

// ------------------------------------------------------------------ KeyExpr

Result<std::shared_ptr<KeyExpr>> KeyExpr::compile(std::string_view text, const RecordLayout& layout) {
  if (text.find_first_not_of(" \t") == std::string_view::npos) return Status::invalid("expresion vacia");
  Parser p(text, layout);
  auto r = p.parse();
  if (!r) return r.status().withContext("expresion '" + std::string(text) + "'");
  std::unique_ptr<Node> root = std::move(r).value();
  Type type;
  int width;
  switch (root->t) {
    case 'C':
      type = Type::Char;
      width = root->width;
      if (width < 1 || width > cdx::kMaxKeyLength)
        return Status::invalid("expresion '" + std::string(text) + "': longitud de clave invalida (" +
                               std::to_string(width) + ")");
      break;
    case 'N':
      if (root->op == Op::Field && root->ftype == 'I') { type = Type::Integer; width = 4; }
      else { type = Type::Numeric; width = 8; }
      break;
    case 'D': type = Type::Date; width = 8; break;
    default: type = Type::Logical; width = 1; break;
  }
  uint32_t minRec = p.minRecordLength();
  return std::shared_ptr<KeyExpr>(
      std::make_shared<CompiledExpr>(std::string(text), std::move(root), type, width, minRec));
}

CompiledExpr::CompiledExpr(std::string text, std::unique_ptr<Node> root, Type type, int width,
                           uint32_t minRecordLength)
    : text_(std::move(text)), root_(std::move(root)), type_(type), keyLength_(width),
      minRecordLength_(minRecordLength) {
  if (type_ == Type::Char) sliced_ = collectSlices(*root_, slices_);
}

CompiledExpr::~CompiledExpr() = default;

Status CompiledExpr::keyInto(std::string_view record, char* out) const {
  if (record.size() < minRecordLength_) return Status::invalid("registro mas corto que su estructura");
  if (sliced_) {
    char* p = out;
    for (auto [off, w] : slices_) {
      std::memcpy(p, record.data() + off, w);
      p += w;
    }
    return Status::ok();
  }
  Val v;
  PLANILLA_RETURN_IF_ERROR(eval(*root_, record, v));
  auto* u = reinterpret_cast<uint8_t*>(out);
  switch (type_) {
    case Type::Char: {
      size_t n = std::min(v.s.size(), static_cast<size_t>(keyLength_));
      std::memcpy(out, v.s.data(), n);
      std::memset(out + n, ' ', keyLength_ - n);
      break;
    }
    case Type::Numeric:
    case Type::Date: cdx::encodeDoubleKey(v.n, u); break;
    case Type::Integer: cdx::encodeIntKey(static_cast<int32_t>(v.n), u); break;
    case Type::Logical: out[0] = v.b ? 'T' : 'F'; break;
  }
  return Status::ok();
}

Result<std::string> CompiledExpr::key(std::string_view record) const {
  std::string k(static_cast<size_t>(keyLength_), '\0');
  PLANILLA_RETURN_IF_ERROR(keyInto(record, k.data()));
  return k;
}

Result<bool> CompiledExpr::truth(std::string_view record) const {
  if (type_ != Type::Logical) return Status::invalid("la expresion '" + text_ + "' no es logica");
  if (record.size() < minRecordLength_) return Status::invalid("registro mas corto que su estructura");
  Val v;
  PLANILLA_RETURN_IF_ERROR(eval(*root_, record, v));
  return v.b;
}

}  // namespace planilla
