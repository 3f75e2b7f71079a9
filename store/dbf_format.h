// The .dbf table file format: header, field descriptors, records and field values,
// and where the locking convention puts its lock bytes. Every byte offset of the
// format is computed here; the cursor code asks these functions for positions and
// never does the arithmetic itself.
//
// Reads are lenient (header length trusted over the terminator, 0x0A accepted as a
// terminator, missing end-of-file mark); writes are strict (0x0D terminator, 0x1A at
// the end, record count and last-update date in the header).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "store/index.h"
#include "store/status.h"
#include "store/table.h"
#include "store/value.h"

namespace planilla::dbf {

inline constexpr size_t kHeaderSize = 32;
inline constexpr size_t kDescriptorSize = 32;
inline constexpr char kTerminator = 0x0D;
inline constexpr char kEndOfFile = 0x1A;
inline constexpr char kLiveFlag = ' ';
inline constexpr char kDeletedFlag = '*';
inline constexpr uint8_t kWriteVersion = 0x03;    // FoxBASE+/FoxPro without memo
inline constexpr uint8_t kWriteCodePage = 0x03;   // Windows-1252
inline constexpr int kMaxFieldName = 10;
inline constexpr uint32_t kMaxRecords = 0x7FFFFFF0u;  // keeps record locks above 0

struct Header {
  uint8_t version = kWriteVersion;
  uint8_t year = 0;   // year of last update, modulo 100
  uint8_t month = 0;
  uint8_t day = 0;
  uint32_t recordCount = 0;
  uint16_t headerLength = 0;
  uint16_t recordLength = 0;
  uint8_t flags = 0;
  uint8_t codePage = 0;
  // Byte 14, kRebuildMark while a rebuild that wrote the records anew has not yet
  // put the index bags built for them in place: the bags on disk may point at other
  // records, so they must not be opened until the table is reindexed.
  bool rebuildPending = false;
};

struct Field {
  std::string name;  // as stored (upper case for files this engine writes)
  char type = 'C';
  int width = 0;
  int decimals = 0;
  uint32_t offset = 0;  // from the start of the record (byte 0 = deletion flag)
  uint8_t flags = 0;
};

struct Layout {
  Header header;
  std::vector<Field> fields;
};

// --- header and descriptors -------------------------------------------------------
// Decodes the fixed 32-byte part. Refuses unknown versions and impossible lengths.
Status decodeHeader(std::string_view bytes, Header* out);
std::string encodeHeader(const Header& h);  // 32 bytes
// Decodes the descriptors from the whole header area (bytes 0 .. headerLength).
// Field offsets are recomputed from the widths; their sum must match recordLength.
Status decodeFields(std::string_view headerArea, const Header& h, std::vector<Field>* out);
// Decodes header and descriptors together from the first headerLength bytes.
Status decodeLayout(std::string_view headerArea, Layout* out);
// Checks a field list for writing (names, types C/N/F/D/L, widths, decimals) and
// builds the layout of a new empty table (version 0x03, code page 0x03).
Result<Layout> layoutFor(const std::vector<FieldSpec>& specs, const Date& today);
// The whole header of a layout: 32 bytes, descriptors, 0x0D, padded to headerLength.
std::string encodeLayout(const Layout& layout);
// Stamps the last-update date.
void setUpdateDate(Header* h, const Date& today);

// Where the rebuild mark lives (a byte FoxPro leaves reserved; dBase IV's "transaction
// not finished" flag), and its value.
inline constexpr uint64_t kRebuildMarkOffset = 14;
inline constexpr uint8_t kRebuildMark = 0x01;

// Where the record count lives in the header, to re-read it alone.
inline constexpr uint64_t kRecordCountOffset = 4;
inline constexpr size_t kRecordCountSize = 4;
uint32_t decodeRecordCount(const char* four);
// The bytes an append rewrites: last-update date and record count, written at
// kUpdateOffset so that reserved header bytes of other writers stay as they are.
inline constexpr uint64_t kUpdateOffset = 1;
std::string encodeUpdate(const Header& h);  // 7 bytes

// --- positions ----------------------------------------------------------------
uint64_t recordOffset(const Header& h, uint32_t recno);  // recno is 1-based
// Offset of the end-of-file mark after `count` records.
uint64_t endOffset(const Header& h, uint32_t count);
// The size the header's record count calls for (end-of-file mark not counted).
uint64_t dataEnd(const Header& h);

// --- locks (FoxPro convention) ------------------------------------------------------
inline constexpr uint64_t kHeaderLockOffset = 0x7FFFFFFEull;
inline uint64_t recordLockOffset(uint32_t recno) { return kHeaderLockOffset - recno; }

// --- records ------------------------------------------------------------------------
std::string blankRecord(const Layout& layout);
inline bool isDeleted(std::string_view record) { return !record.empty() && record[0] == kDeletedFlag; }
inline void setDeleted(std::string& record, bool del) { record[0] = del ? kDeletedFlag : kLiveFlag; }
RecordLayout recordLayout(const Layout& layout);
std::vector<FieldSpec> fieldSpecs(const Layout& layout);

// --- field values ----------------------------------------------------------------------
// Each writes exactly f.width bytes at `out` (the field's place inside a record).
void encodeText(std::string_view text, int width, char* out);  // cut or blank padded
// Right-aligned, rounded to the decimals; Invalid when it does not fit.
Status encodeNumber(double v, int width, int decimals, char* out);
void encodeDate(const Date& d, int width, char* out);
void encodeLogical(bool v, int width, char* out);

// Numeric value of a field of any numeric type (N, F, I, B, Y); blanks give 0.
// *ok is false for text that is not a number (asterisks, garbage) and for text
// holding NUL bytes (a field filled with zeros is damage, not a blank); the value is
// then what a lenient reader shows (0, or the digits around the NULs).
double decodeNumber(const Field& f, std::string_view bytes, bool* ok = nullptr);
Date decodeDate(const Field& f, std::string_view bytes);  // D (YYYYMMDD) and T (julian day)
bool decodeLogical(std::string_view bytes);               // T, t, Y, y are true

}  // namespace planilla::dbf
