// Encoding and decoding of the .dbf header, descriptors and field values.
#include "store/dbf_format.h"

#include <gtest/gtest.h>

namespace planilla {
namespace {

dbf::Layout sampleLayout() {
  auto l = dbf::layoutFor({{"codigo", 'C', 6, 0}, {"SUELDO", 'N', 10, 2}, {"FECHA", 'D', 8, 0}, {"OK", 'L', 1, 0}},
                          Date(2026, 3, 31));
  EXPECT_TRUE(l.isOk()) << l.status().message();
  return *l;
}

TEST(DbfHeader, EncodeDecodeRoundTrip) {
  dbf::Layout l = sampleLayout();
  l.header.recordCount = 1234;
  std::string bytes = dbf::encodeLayout(l);
  ASSERT_EQ(bytes.size(), 32u + 4 * 32 + 1);
  EXPECT_EQ(bytes.back(), 0x0D);
  EXPECT_EQ(static_cast<uint8_t>(bytes[0]), 0x03);
  EXPECT_EQ(static_cast<uint8_t>(bytes[29]), 0x03);  // Windows-1252 mark
  EXPECT_EQ(static_cast<uint8_t>(bytes[1]), 26);     // year modulo 100
  EXPECT_EQ(bytes[2], 3);
  EXPECT_EQ(bytes[3], 31);

  dbf::Layout back;
  ASSERT_TRUE(dbf::decodeLayout(bytes, &back).isOk());
  EXPECT_EQ(back.header.recordCount, 1234u);
  EXPECT_EQ(back.header.headerLength, l.header.headerLength);
  EXPECT_EQ(back.header.recordLength, 1 + 6 + 10 + 8 + 1);
  ASSERT_EQ(back.fields.size(), 4u);
  EXPECT_EQ(back.fields[0].name, "CODIGO");  // written upper case
  EXPECT_EQ(back.fields[1].type, 'N');
  EXPECT_EQ(back.fields[1].decimals, 2);
  EXPECT_EQ(back.fields[1].offset, 7u);
  EXPECT_EQ(back.fields[3].offset, 25u);
  EXPECT_EQ(dbf::recordOffset(back.header, 1), back.header.headerLength);
  EXPECT_EQ(dbf::recordOffset(back.header, 3), back.header.headerLength + 2u * back.header.recordLength);
}

TEST(DbfHeader, UpdateBytesCarryCountAndDate) {
  dbf::Layout l = sampleLayout();
  l.header.recordCount = 0x01020304;
  std::string full = dbf::encodeHeader(l.header);
  std::string upd = dbf::encodeUpdate(l.header);
  EXPECT_EQ(upd, full.substr(dbf::kUpdateOffset, 7));
  EXPECT_EQ(dbf::decodeRecordCount(full.data() + dbf::kRecordCountOffset), 0x01020304u);
}

TEST(DbfHeader, LenientTerminatorAndHeaderLengthTrusted) {
  dbf::Layout l = sampleLayout();
  std::string bytes = dbf::encodeLayout(l);
  bytes[bytes.size() - 1] = 0x0A;  // as some writers do
  dbf::Layout back;
  ASSERT_TRUE(dbf::decodeLayout(bytes, &back).isOk());
  EXPECT_EQ(back.fields.size(), 4u);

  // A longer header (Visual FoxPro's backlink area) is trusted as given.
  l.header.headerLength = static_cast<uint16_t>(l.header.headerLength + 263);
  bytes = dbf::encodeLayout(l);
  ASSERT_EQ(bytes.size(), l.header.headerLength);
  ASSERT_TRUE(dbf::decodeLayout(bytes, &back).isOk());
  EXPECT_EQ(back.fields.size(), 4u);
  EXPECT_EQ(dbf::recordOffset(back.header, 1), l.header.headerLength);
}

TEST(DbfHeader, DamageGivesNamedCorruption) {
  dbf::Layout l = sampleLayout();
  const std::string good = dbf::encodeLayout(l);
  dbf::Layout back;

  std::string b = good;
  b[0] = 0x7F;  // unknown version
  Status st = dbf::decodeLayout(b, &back);
  EXPECT_EQ(st.code(), ErrorCode::Corrupt);
  EXPECT_NE(st.message().find("version"), std::string::npos);

  b = good;
  b[10] = 9;  // record length no longer the sum of the widths
  b[11] = 0;
  st = dbf::decodeLayout(b, &back);
  EXPECT_EQ(st.code(), ErrorCode::Corrupt);
  EXPECT_NE(st.message().find("longitud de registro"), std::string::npos);

  b = good;
  b[32 + 16] = 0;  // zero width
  EXPECT_EQ(dbf::decodeLayout(b, &back).code(), ErrorCode::Corrupt);

  b = good;
  b[32 + 32 + 11] = 0x01;  // field type not a letter
  st = dbf::decodeLayout(b, &back);
  EXPECT_EQ(st.code(), ErrorCode::Corrupt);
  EXPECT_NE(st.message().find("tipo de campo"), std::string::npos);

  b = good;
  b[32] = '\0';  // nameless descriptor
  EXPECT_EQ(dbf::decodeLayout(b, &back).code(), ErrorCode::Corrupt);

  EXPECT_EQ(dbf::decodeLayout(good.substr(0, 20), &back).code(), ErrorCode::Corrupt);
  st = dbf::decodeLayout(good.substr(0, 70), &back);  // descriptors cut off
  EXPECT_EQ(st.code(), ErrorCode::Corrupt);
  EXPECT_NE(st.message().find("truncado"), std::string::npos);
}

TEST(DbfHeader, EveryFlipOfEveryHeaderByteIsHandled) {
  // No byte flip may crash the decoder or give a layout whose fields overrun the record.
  const std::string good = dbf::encodeLayout(sampleLayout());
  for (size_t i = 0; i < good.size(); ++i) {
    for (int bit = 0; bit < 8; ++bit) {
      std::string b = good;
      b[i] = static_cast<char>(b[i] ^ (1 << bit));
      dbf::Layout back;
      Status st = dbf::decodeLayout(b, &back);
      if (!st) {
        EXPECT_EQ(st.code(), ErrorCode::Corrupt);
        EXPECT_FALSE(st.message().empty());
        continue;
      }
      uint32_t end = 1;
      for (const auto& f : back.fields) {
        EXPECT_EQ(f.offset, end);
        end += static_cast<uint32_t>(f.width);
      }
      EXPECT_EQ(end, back.header.recordLength);
    }
  }
}

TEST(DbfLayout, RefusesBadFieldLists) {
  Date d(2026, 1, 1);
  EXPECT_EQ(dbf::layoutFor({}, d).status().code(), ErrorCode::Invalid);
  EXPECT_EQ(dbf::layoutFor({{"NOMBRELARGO1", 'C', 5, 0}}, d).status().code(), ErrorCode::Invalid);
  EXPECT_EQ(dbf::layoutFor({{"A B", 'C', 5, 0}}, d).status().code(), ErrorCode::Invalid);
  EXPECT_EQ(dbf::layoutFor({{"X", 'C', 0, 0}}, d).status().code(), ErrorCode::Invalid);
  EXPECT_EQ(dbf::layoutFor({{"X", 'C', 255, 0}}, d).status().code(), ErrorCode::Invalid);
  EXPECT_EQ(dbf::layoutFor({{"X", 'N', 4, 3}}, d).status().code(), ErrorCode::Invalid);
  EXPECT_EQ(dbf::layoutFor({{"X", 'D', 6, 0}}, d).status().code(), ErrorCode::Invalid);
  EXPECT_EQ(dbf::layoutFor({{"X", 'M', 10, 0}}, d).status().code(), ErrorCode::Unsupported);
  // Two fields of one name are a valid layout.
  auto dup = dbf::layoutFor({{"X", 'C', 2, 0}, {"x", 'N', 3, 0}}, d);
  ASSERT_TRUE(dup.isOk());
  EXPECT_EQ(dup->fields[1].name, "X");
}

TEST(DbfValues, NumbersRightAlignedAndRounded) {
  char out[10];
  ASSERT_TRUE(dbf::encodeNumber(1500, 8, 2, out).isOk());
  EXPECT_EQ(std::string(out, 8), " 1500.00");
  ASSERT_TRUE(dbf::encodeNumber(1.005, 6, 2, out).isOk());
  EXPECT_EQ(std::string(out, 6), "  1.01");
  ASSERT_TRUE(dbf::encodeNumber(1.25 * 8.02, 6, 2, out).isOk());
  EXPECT_EQ(std::string(out, 6), " 10.03");
  ASSERT_TRUE(dbf::encodeNumber(-2.675, 6, 2, out).isOk());
  EXPECT_EQ(std::string(out, 6), " -2.68");
  ASSERT_TRUE(dbf::encodeNumber(-0.001, 5, 2, out).isOk());
  EXPECT_EQ(std::string(out, 5), " 0.00");  // no negative zero
  ASSERT_TRUE(dbf::encodeNumber(7, 3, 0, out).isOk());
  EXPECT_EQ(std::string(out, 3), "  7");

  std::string keep(10, '#');
  Status st = dbf::encodeNumber(100000, 8, 2, keep.data());
  EXPECT_EQ(st.code(), ErrorCode::Invalid);  // never asterisks in the file
  EXPECT_EQ(keep, std::string(10, '#'));     // and nothing written
  EXPECT_EQ(dbf::encodeNumber(1.0 / 0.0, 8, 2, keep.data()).code(), ErrorCode::Invalid);

  dbf::Field n;
  n.type = 'N';
  bool ok = false;
  EXPECT_DOUBLE_EQ(dbf::decodeNumber(n, " 1500.00", &ok), 1500.0);
  EXPECT_TRUE(ok);
  EXPECT_DOUBLE_EQ(dbf::decodeNumber(n, "   -2.50", &ok), -2.5);
  EXPECT_DOUBLE_EQ(dbf::decodeNumber(n, "        ", &ok), 0.0);
  EXPECT_TRUE(ok);
  EXPECT_DOUBLE_EQ(dbf::decodeNumber(n, "********", &ok), 0.0);
  EXPECT_FALSE(ok);
  EXPECT_DOUBLE_EQ(dbf::decodeNumber(n, "  12,5  ", &ok), 0.0);
  EXPECT_FALSE(ok);
  for (const char* word : {"     INF", "     nan", "-INFINITY"}) {  // letters, though strtod reads them
    EXPECT_DOUBLE_EQ(dbf::decodeNumber(n, word, &ok), 0.0) << word;
    EXPECT_FALSE(ok) << word;
  }
}

TEST(DbfValues, BinaryNumericTypesDecode) {
  dbf::Field i;
  i.type = 'I';
  const char minusTwo[4] = {'\xFE', '\xFF', '\xFF', '\xFF'};
  EXPECT_DOUBLE_EQ(dbf::decodeNumber(i, std::string_view(minusTwo, 4)), -2.0);
  dbf::Field y;
  y.type = 'Y';
  const char cur[8] = {'\x10', '\x27', 0, 0, 0, 0, 0, 0};  // 10000 -> 1.0000
  EXPECT_DOUBLE_EQ(dbf::decodeNumber(y, std::string_view(cur, 8)), 1.0);
  bool ok = true;
  EXPECT_DOUBLE_EQ(dbf::decodeNumber(i, "ab", &ok), 0.0);  // too short
  EXPECT_FALSE(ok);
}

TEST(DbfValues, DatesTextLogicals) {
  char out[8];
  dbf::encodeDate(Date(2016, 3, 31), 8, out);
  EXPECT_EQ(std::string(out, 8), "20160331");
  dbf::encodeDate(Date(), 8, out);
  EXPECT_EQ(std::string(out, 8), "        ");
  dbf::Field d;
  d.type = 'D';
  EXPECT_EQ(dbf::decodeDate(d, "20160331"), Date(2016, 3, 31));
  EXPECT_TRUE(dbf::decodeDate(d, "        ").empty());
  dbf::Field t;
  t.type = 'T';
  int64_t jd = Date(2020, 2, 29).julianDay();
  char tb[8] = {char(jd & 0xFF), char((jd >> 8) & 0xFF), char((jd >> 16) & 0xFF), char((jd >> 24) & 0xFF), 0, 0, 0, 0};
  EXPECT_EQ(dbf::decodeDate(t, std::string_view(tb, 8)), Date(2020, 2, 29));

  char txt[5];
  dbf::encodeText("ABCDEFG", 5, txt);
  EXPECT_EQ(std::string(txt, 5), "ABCDE");
  dbf::encodeText("AB", 5, txt);
  EXPECT_EQ(std::string(txt, 5), "AB   ");

  char l;
  dbf::encodeLogical(true, 1, &l);
  EXPECT_EQ(l, 'T');
  dbf::encodeLogical(false, 1, &l);
  EXPECT_EQ(l, 'F');
  EXPECT_TRUE(dbf::decodeLogical("y"));
  EXPECT_FALSE(dbf::decodeLogical("?"));
  EXPECT_FALSE(dbf::decodeLogical(" "));
}

TEST(DbfLocks, FoxProLockBytes) {
  EXPECT_EQ(dbf::kHeaderLockOffset, 0x7FFFFFFEull);
  EXPECT_EQ(dbf::recordLockOffset(1), 0x7FFFFFFDull);
  EXPECT_EQ(dbf::recordLockOffset(1000), 0x7FFFFFFEull - 1000);
  EXPECT_GT(kUseLockOffset, dbf::kHeaderLockOffset);
}

}  // namespace
}  // namespace planilla
