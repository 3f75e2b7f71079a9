// Key and FOR expressions: parsing, static key widths, evaluation over raw records,
// and the byte forms of numeric, date and integer keys.
#include <gtest/gtest.h>

#include <cstring>
#include <random>

#include "store/cdx_format.h"
#include "store/expr.h"
#include "store/tests/cdx_test_util.h"
#include "store/value.h"

namespace planilla {
namespace {

using cdxtest::MemTable;

MemTable payroll() {
  MemTable t;
  t.addField("CODIGO", 'C', 10);
  t.addField("NOMBRE", 'C', 30);
  t.addField("MES", 'C', 2);
  t.addField("SUELDO", 'N', 10, 2);
  t.addField("FECHA", 'D', 8);
  t.addField("ACTIVO", 'L', 1);
  t.addField("DIAS", 'N', 3);
  return t;
}

std::string keyOf(const MemTable& t, size_t rec, const std::string& expr) {
  auto e = KeyExpr::compile(expr, t.layout);
  EXPECT_TRUE(e.isOk()) << expr << ": " << e.status().message();
  if (!e) return "<error>";
  auto k = e.value()->key(t.records[rec]);
  EXPECT_TRUE(k.isOk()) << k.status().message();
  return k.isOk() ? k.value() : "<error>";
}

bool truthOf(const MemTable& t, size_t rec, const std::string& expr) {
  auto e = KeyExpr::compile(expr, t.layout);
  EXPECT_TRUE(e.isOk()) << expr << ": " << e.status().message();
  if (!e) return false;
  auto b = e.value()->truth(t.records[rec]);
  EXPECT_TRUE(b.isOk()) << b.status().message();
  return b.isOk() && b.value();
}

class ExprTest : public ::testing::Test {
 protected:
  void SetUp() override {
    t = payroll();
    size_t r = t.append();
    t.set(r, "CODIGO", "E001");
    t.set(r, "NOMBRE", "  Perez Luis");
    t.set(r, "MES", "03");
    t.set(r, "SUELDO", "1500.25");
    t.set(r, "FECHA", "20160331");
    t.set(r, "ACTIVO", "T");
    t.set(r, "DIAS", "30");
  }
  MemTable t;
};

TEST_F(ExprTest, FieldsAnyCaseAndAliasFormsGiveTheFieldBytes) {
  EXPECT_EQ(keyOf(t, 0, "codigo"), "E001      ");
  EXPECT_EQ(keyOf(t, 0, "CoDiGo"), "E001      ");
  EXPECT_EQ(keyOf(t, 0, "pla->codigo"), "E001      ");
  EXPECT_EQ(keyOf(t, 0, "pla.codigo"), "E001      ");
  EXPECT_EQ(keyOf(t, 0, "pla -> codigo"), "E001      ");
}

TEST_F(ExprTest, ConcatenationSumsWidthsAndKeepsBytes) {
  auto e = KeyExpr::compile("MES+CODIGO", t.layout);
  ASSERT_TRUE(e.isOk());
  EXPECT_EQ(e.value()->type(), KeyExpr::Type::Char);
  EXPECT_EQ(e.value()->keyLength(), 12);
  EXPECT_EQ(e.value()->key(t.records[0]).value(), "03E001      ");
  EXPECT_EQ(keyOf(t, 0, "DTOS(fecha)+codigo"), "20160331E001      ");
  EXPECT_EQ(keyOf(t, 0, "mes + 'X' + \"YZ\" + [W]"), "03XYZW");
}

TEST_F(ExprTest, TrimKeepsTheWidthOfItsArgumentInTheKey) {
  auto e = KeyExpr::compile("TRIM(nombre)+codigo", t.layout);
  ASSERT_TRUE(e.isOk());
  EXPECT_EQ(e.value()->keyLength(), 40);
  // The value is trimmed, then the whole key padded: codigo follows the name at once.
  std::string k = e.value()->key(t.records[0]).value();
  EXPECT_EQ(k, "  Perez LuisE001" + std::string(24, ' '));
  EXPECT_EQ(keyOf(t, 0, "ALLTRIM(nombre)"), "Perez Luis" + std::string(20, ' '));
  EXPECT_EQ(keyOf(t, 0, "LTRIM(nombre)"), "Perez Luis" + std::string(20, ' '));
  EXPECT_EQ(keyOf(t, 0, "UPPER(nombre)"), "  PEREZ LUIS" + std::string(18, ' '));
  EXPECT_EQ(keyOf(t, 0, "LOWER(codigo)"), "e001      ");
  // Windows-1252 letters change case too; other bytes stay.
  t.set(0, "NOMBRE", "pe\xf1" "a \xe1" "lvarez \xf7 \xff");
  EXPECT_EQ(keyOf(t, 0, "UPPER(nombre)"), "PE\xd1" "A \xc1" "LVAREZ \xf7 \x9f" + std::string(14, ' '));
  EXPECT_EQ(keyOf(t, 0, "LOWER(UPPER(nombre))"), "pe\xf1" "a \xe1" "lvarez \xf7 \xff" + std::string(14, ' '));
}

TEST_F(ExprTest, SubstringFunctionsHaveStaticWidths) {
  auto l = KeyExpr::compile("LEFT(nombre,7)", t.layout);
  ASSERT_TRUE(l.isOk());
  EXPECT_EQ(l.value()->keyLength(), 7);
  EXPECT_EQ(l.value()->key(t.records[0]).value(), "  Perez");
  EXPECT_EQ(keyOf(t, 0, "RIGHT(codigo,3)"), "   ");
  EXPECT_EQ(keyOf(t, 0, "RIGHT(TRIM(codigo),3)"), "001");
  EXPECT_EQ(keyOf(t, 0, "SUBSTR(codigo,2,3)"), "001");
  auto s = KeyExpr::compile("SUBSTR(nombre,3)", t.layout);
  ASSERT_TRUE(s.isOk());
  EXPECT_EQ(s.value()->keyLength(), 28);
  EXPECT_EQ(keyOf(t, 0, "PADR(TRIM(codigo),6,'*')"), "E001**");
  EXPECT_EQ(keyOf(t, 0, "PADL(TRIM(codigo),6)"), "  E001");
  EXPECT_EQ(keyOf(t, 0, "PADC('AB',6)"), "  AB  ");
}

TEST_F(ExprTest, StrFormatsRightAlignedAndRoundsHalvesAway) {
  EXPECT_EQ(keyOf(t, 0, "STR(dias)"), "        30");
  EXPECT_EQ(keyOf(t, 0, "STR(dias,4)"), "  30");
  EXPECT_EQ(keyOf(t, 0, "STR(sueldo,8,1)"), "  1500.3");
  EXPECT_EQ(keyOf(t, 0, "STR(2.675,5,2)"), " 2.68");
  EXPECT_EQ(keyOf(t, 0, "STR(-1.005,6,2)"), " -1.01");
  EXPECT_EQ(keyOf(t, 0, "STR(123456,3)"), "***");
  EXPECT_EQ(keyOf(t, 0, "STR(VAL('12.5')*2,5,1)"), " 25.0");
  EXPECT_EQ(keyOf(t, 0, "STR(YEAR(fecha),4)+STR(MONTH(fecha),2)+STR(DAY(fecha),2)"), "2016 331");
}

TEST_F(ExprTest, ConditionalsAndComparisons) {
  EXPECT_EQ(keyOf(t, 0, "IIF(activo,'SI','NO ')"), "SI ");
  EXPECT_TRUE(truthOf(t, 0, "codigo = 'E0'"));          // compares up to the right side
  EXPECT_FALSE(truthOf(t, 0, "codigo == 'E0'"));
  EXPECT_TRUE(truthOf(t, 0, "TRIM(codigo) == 'E001'"));
  EXPECT_TRUE(truthOf(t, 0, "codigo # 'E002'"));
  EXPECT_TRUE(truthOf(t, 0, "codigo <> 'E002' .AND. mes != '04'"));
  EXPECT_FALSE(truthOf(t, 0, "codigo < 'E001'"));
  EXPECT_TRUE(truthOf(t, 0, "codigo <= 'E001'"));
  EXPECT_TRUE(truthOf(t, 0, "sueldo > 1500 .AND. sueldo >= 1500.25 .AND. dias < 31"));
  EXPECT_TRUE(truthOf(t, 0, "'Perez' $ nombre"));
  EXPECT_TRUE(truthOf(t, 0, ".NOT. DELETED()"));
  EXPECT_TRUE(truthOf(t, 0, "!DELETED() .OR. .F."));
  EXPECT_FALSE(truthOf(t, 0, "(mes = '03') .AND. !(activo)"));
  EXPECT_TRUE(truthOf(t, 0, "fecha = CTOD('31/03/2016')"));
  EXPECT_TRUE(truthOf(t, 0, "EMPTY(CTOD('9999999931/12/2016')) .AND. EMPTY(CTOD('31-12-2016'))"));
  EXPECT_EQ(keyOf(t, 0, "DTOS(fecha + 10^300)"), "        ");
  EXPECT_TRUE(truthOf(t, 0, "fecha - 1 < fecha .AND. EMPTY(SPACE(3)) .AND. BETWEEN(dias, 1, 31)"));
  t.setDeleted(0, true);
  EXPECT_TRUE(truthOf(t, 0, "DELETED()"));
  EXPECT_FALSE(truthOf(t, 0, ".NOT.DELETED()"));
}

TEST_F(ExprTest, NumericAndDateKeysSortLikeTheirValues) {
  auto e = KeyExpr::compile("sueldo", t.layout);
  ASSERT_TRUE(e.isOk());
  EXPECT_EQ(e.value()->type(), KeyExpr::Type::Numeric);
  EXPECT_EQ(e.value()->keyLength(), 8);
  std::vector<double> values{-99999.5, -2.5, -0.01, 0, 0.01, 1, 2.5, 1500.25, 999999.5};
  std::vector<std::string> keys;
  for (double v : values) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.2f", v);
    t.set(0, "SUELDO", buf);
    keys.push_back(e.value()->key(t.records[0]).value());
    uint8_t raw[8];
    std::memcpy(raw, keys.back().data(), 8);
    EXPECT_DOUBLE_EQ(cdx::decodeDoubleKey(raw), v);
  }
  for (size_t i = 1; i < keys.size(); ++i) EXPECT_LT(keys[i - 1], keys[i]) << values[i];

  auto d = KeyExpr::compile("fecha", t.layout);
  ASSERT_TRUE(d.isOk());
  EXPECT_EQ(d.value()->type(), KeyExpr::Type::Date);
  std::string k = d.value()->key(t.records[0]).value();
  uint8_t raw[8];
  std::memcpy(raw, k.data(), 8);
  EXPECT_DOUBLE_EQ(cdx::decodeDoubleKey(raw), static_cast<double>(Date(2016, 3, 31).julianDay()));
  t.set(0, "FECHA", "20160401");
  EXPECT_LT(k, d.value()->key(t.records[0]).value());
}

TEST(ExprKeys, IntegerAndDatetimeFieldsUseTheirBinaryForms) {
  MemTable t;
  t.addField("ID", 'I', 4);
  t.addField("CUANDO", 'T', 8);
  size_t r = t.append();
  int32_t id = 258;
  std::memcpy(&t.records[r][1], &id, 4);
  uint32_t day = 2449749, ms = 0;
  std::memcpy(&t.records[r][5], &day, 4);
  std::memcpy(&t.records[r][9], &ms, 4);
  auto i = KeyExpr::compile("id", t.layout);
  ASSERT_TRUE(i.isOk());
  EXPECT_EQ(i.value()->type(), KeyExpr::Type::Integer);
  EXPECT_EQ(cdxtest::hex(i.value()->key(t.records[r]).value()), "80000102");
  id = -1;
  std::memcpy(&t.records[r][1], &id, 4);
  EXPECT_EQ(cdxtest::hex(i.value()->key(t.records[r]).value()), "7fffffff");
  auto d = KeyExpr::compile("cuando", t.layout);
  ASSERT_TRUE(d.isOk());
  // Julian day 2449749 at midnight, as a sortable double.
  EXPECT_EQ(cdxtest::hex(d.value()->key(t.records[r]).value()), "c142b0aa80000000");
  ms = 43200000;  // noon: half a day more
  std::memcpy(&t.records[r][9], &ms, 4);
  std::string k = d.value()->key(t.records[r]).value();
  uint8_t raw[8];
  std::memcpy(raw, k.data(), 8);
  EXPECT_DOUBLE_EQ(cdx::decodeDoubleKey(raw), 2449749.5);
  // Arithmetic on an integer field is numeric, not integer.
  auto n = KeyExpr::compile("id+1", t.layout);
  ASSERT_TRUE(n.isOk());
  EXPECT_EQ(n.value()->type(), KeyExpr::Type::Numeric);
}

TEST(ExprKeys, LongNamesOfDatabaseTablesMatchTheirStoredPrefix) {
  MemTable t;
  t.addField("EXPENSEREP", 'C', 4);
  t.addField("EXPENSERP2", 'C', 4);
  size_t r = t.append();
  t.set(r, "EXPENSEREP", "ab");
  t.set(r, "EXPENSERP2", "cd");
  auto e = KeyExpr::compile("expensereportid+expenserp2", t.layout);
  ASSERT_TRUE(e.isOk()) << e.status().message();
  EXPECT_EQ(e.value()->key(t.records[r]).value(), "ab  cd  ");
}

TEST_F(ExprTest, BadExpressionsAreNamedErrors) {
  const char* bad[] = {
      "",           "nosuch",          "UPPER(nosuch)",   "FOO(codigo)",     "codigo+",
      "'abc",       "codigo)",         "(codigo",         "codigo+sueldo",   "sueldo .AND. activo",
      "LEFT(codigo)", "STR('x')",      "IIF(activo,'a',1)", "codigo $ sueldo", "1..2",
      "PADR(codigo,dias)", "codigo = sueldo", "@codigo", "REPLICATE('x',300)", ".NOT. codigo",
  };
  for (const char* b : bad) {
    auto e = KeyExpr::compile(b, t.layout);
    EXPECT_FALSE(e.isOk()) << b;
    if (!e) {
      EXPECT_EQ(e.status().code(), ErrorCode::Invalid) << b;
      EXPECT_FALSE(e.status().message().empty());
    }
  }
  // A key wider than an index allows.
  EXPECT_FALSE(KeyExpr::compile("nombre+nombre+nombre+nombre+nombre+nombre+nombre+nombre+nombre", t.layout).isOk());
  // truth() of a non-logical expression, key() of a short record.
  auto c = KeyExpr::compile("codigo", t.layout);
  ASSERT_TRUE(c.isOk());
  EXPECT_FALSE(c.value()->truth(t.records[0]).isOk());
  EXPECT_FALSE(c.value()->key(std::string_view(t.records[0]).substr(0, 5)).isOk());
  auto z = KeyExpr::compile("STR(dias/0)", t.layout);
  ASSERT_TRUE(z.isOk());
  EXPECT_EQ(z.value()->key(t.records[0]).status().code(), ErrorCode::Invalid);
}

TEST_F(ExprTest, DeepNestingIsRefusedNotOverflowed) {
  std::string deep(5000, '(');
  deep += "codigo";
  deep += std::string(5000, ')');
  EXPECT_FALSE(KeyExpr::compile(deep, t.layout).isOk());
  std::string nots;
  for (int i = 0; i < 5000; ++i) nots += "!";
  EXPECT_FALSE(KeyExpr::compile(nots + "activo", t.layout).isOk());
}

TEST_F(ExprTest, RandomTextNeverCrashes) {
  std::mt19937 rng(7);
  const std::string alphabet = "codigonmbresueldoDTSUPERLFIXAV()+-*/=<>#!$.,'\"[] 0123456789";
  for (int i = 0; i < 5000; ++i) {
    std::string s;
    int n = static_cast<int>(rng() % 30);
    for (int j = 0; j < n; ++j) s += alphabet[rng() % alphabet.size()];
    auto e = KeyExpr::compile(s, t.layout);
    if (e) {
      auto k = e.value()->key(t.records[0]);
      if (k) {
        EXPECT_EQ(static_cast<int>(k.value().size()), e.value()->keyLength()) << s;
      }
    }
  }
}

}  // namespace
}  // namespace planilla
