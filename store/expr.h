// The xBase expression language of index keys and FOR clauses, compiled once against
// a record layout and evaluated over raw records (byte 0 = deletion flag).
//
// Supported: field names (any case, also alias->field and alias.field, the alias
// ignored), 'text' "text" [text], numbers, .T. .F., + - * / (string + concatenates,
// string - moves the left side's trailing blanks to the end), comparisons
// = == <> # != < > <= >= $, .AND. .OR. .NOT. !, parentheses, and the functions
// UPPER LOWER TRIM RTRIM LTRIM ALLTRIM LEFT RIGHT SUBSTR PADR PADL PADC SPACE
// REPLICATE STR VAL LEN DTOS DTOC CTOD YEAR MONTH DAY DELETED IIF EMPTY BETWEEN
// INT ABS ROUND MAX MIN CHR ASC.
//
// Character results have a static width worked out at compile time (the width a
// FoxPro index gives them): a field's width, a literal's length, TRIM(x) keeps the
// width of x (the key is padded back with blanks), LEFT(x,n) is n, STR(x,n) is n,
// a + b sums, IIF takes the wider branch.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "store/index.h"

namespace planilla {

namespace expr_detail {
struct Node;
}

class CompiledExpr final : public KeyExpr {
 public:
  CompiledExpr(std::string text, std::unique_ptr<expr_detail::Node> root, Type type, int width,
               uint32_t minRecordLength);
  ~CompiledExpr() override;

  Type type() const override { return type_; }
  int keyLength() const override { return keyLength_; }
  Result<std::string> key(std::string_view record) const override;
  Result<bool> truth(std::string_view record) const override;
  const std::string& text() const override { return text_; }

  // Writes the keyLength() key bytes of `record` to `out` without allocating on the
  // common forms (a character field, concatenated character fields).
  Status keyInto(std::string_view record, char* out) const;
  // Filler of trailing-compressed key bytes: blank for character keys, zero otherwise.
  uint8_t filler() const { return type_ == Type::Char ? 0x20 : 0x00; }

 private:
  std::string text_;
  std::unique_ptr<expr_detail::Node> root_;
  Type type_;
  int keyLength_;
  uint32_t minRecordLength_;
  // Fast path: the key is these (offset, width) slices of the record, in order.
  std::vector<std::pair<uint32_t, uint32_t>> slices_;
  bool sliced_ = false;
};

}  // namespace planilla
