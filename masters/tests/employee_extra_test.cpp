// The employee's second record: made on first use, read back field for field, absent
// for an employee who has none; the CCI check digits.
#include <gtest/gtest.h>

#include <fstream>

#include "masters/employee_extra.h"
#include "masters/employees.h"
#include "masters/sunat_codes.h"
#include "masters/tests/employees_test_util.h"
#include "masters/tests/masters_test_util.h"

namespace planilla::masters {
namespace {

using testing::Station;
using testing::TempDir;

TEST(EmployeeExtra, CreatedOnFirstUseWrittenAndReadBack) {
  TempDir dir;
  Station st(dir.path(), true);
  EXPECT_FALSE(dir.has("pmae1101.dbf"));
  auto t = openEmployeeExtra(st.session, OpenMode::Shared);
  ASSERT_TRUE(t.isOk()) << t.status().message();
  EXPECT_TRUE(dir.has("pmae1101.dbf"));
  EXPECT_TRUE(dir.has("pmae1101.cdx"));

  EmployeeExtra none;
  EXPECT_FALSE(readEmployeeExtra(**t, "E0001", &none));
  EXPECT_EQ(none.codigo, "E0001");
  EXPECT_EQ(none.email, "");

  EmployeeExtra e;
  e.codigo = "E0002";
  e.email = "ana.rios@example.pe";
  e.celular = "987654321";
  e.tipdoc = "04";
  e.numdoc = "001234567890";  // a 12-character foreigner's card: longer than the master's 8
  e.bancosun = "02";
  e.ctanum = "19100087910970";
  e.ctacci = "00963200000380987111";
  e.ctamon = "S";
  e.ubigeo = "150130";
  e.motbaja = "01";
  ASSERT_TRUE(writeEmployeeExtra(**t, e).isOk());
  e.celular = "912345678";  // a second write changes the record, adds none
  ASSERT_TRUE(writeEmployeeExtra(**t, e).isOk());
  EXPECT_EQ((*t)->recordCount(), 1u);
  (*t)->close();

  // Another station reads what was written, through a fresh open.
  Station other(dir.path(), true);
  auto r = openEmployeeExtra(other.session, OpenMode::Shared);
  ASSERT_TRUE(r.isOk());
  EmployeeExtra back;
  ASSERT_TRUE(readEmployeeExtra(**r, "E0002", &back));
  EXPECT_EQ(back.email, "ana.rios@example.pe");
  EXPECT_EQ(back.celular, "912345678");
  EXPECT_EQ(back.numdoc, "001234567890");
  EXPECT_EQ(back.ctacci, "00963200000380987111");
  EXPECT_EQ(back.ctamon, "S");
  EXPECT_EQ(back.ubigeo, "150130");
  EXPECT_EQ(back.motbaja, "01");
  EXPECT_FALSE(readEmployeeExtra(**r, "E000", nullptr));  // a code is sought whole, not by its start
}

TEST(EmployeeExtra, CciCheckDigits) {
  // 009632 -> 0,0,9,6x2=12->3,3,2x2=4: sum 19, check 1.
  // 000003809871 -> 3x2=6, 8, 9, 8x2=16->7, 7, 1x2=2: sum 39, check 1.
  EXPECT_TRUE(cciValid("00963200000380987111"));
  // 002191 -> 0,0,2,1x2=2,9,1x2=2: sum 15, check 5.
  // 000012345678 -> 1, 2x2=4, 3, 4x2=8, 5, 6x2=12->3, 7, 8x2=16->7: sum 38, check 2.
  EXPECT_TRUE(cciValid("00219100001234567852"));
  for (const char* bad : {"00963200000380987112",   // second check digit wrong
                          "00963200000380987101",   // first check digit wrong
                          "0096320000038098711",    // 19 digits
                          "0096320000038098711A",   // not a digit
                          "00963200000380987111 ",  // 21 characters
                          ""})
    EXPECT_FALSE(cciValid(bad)) << bad;
}

TEST(EmployeeExtra, ContactAndDocumentChecks) {
  struct Case {
    bool (*check)(const std::string&);
    const char* value;
    bool ok;
  };
  const Case cases[] = {
      {emailValid, "ana.rios@example.pe", true},
      {emailValid, "a@b.pe", true},
      {emailValid, "ana.rios@example", false},  // no dot in the domain
      {emailValid, "ana rios@example.pe", false},
      {emailValid, "ana|rios@example.pe", false},  // would split the record
      {emailValid, "@example.pe", false},
      {emailValid, "ana@@example.pe", false},
      {emailValid, "ana@example.p", false},
      {emailValid, "ana@example..pe", false},
      {mobileValid, "987654321", true},
      {mobileValid, "87654321", false},
      {mobileValid, "887654321", false},  // a landline, not a mobile
      {mobileValid, "98765432a", false},
      {dniValid, "40123456", true},
      {dniValid, "4012345", false},
      {dniValid, "4012345X", false},
  };
  for (const Case& c : cases) EXPECT_EQ(c.check(c.value), c.ok) << c.value;
  EXPECT_TRUE(emailValid(std::string(39, 'a') + "@example.pe"));   // 50 characters
  EXPECT_FALSE(emailValid(std::string(40, 'a') + "@example.pe"));  // 51
  EXPECT_TRUE(documentNumberValid("04", "001234567890"));          // 12: a carne
  EXPECT_FALSE(documentNumberValid("04", "0012345678901"));        // 13
  EXPECT_TRUE(documentNumberValid("23", "0012345678901"));         // a PTP takes 15
  EXPECT_FALSE(documentNumberValid("07", "AB-123"));
  EXPECT_FALSE(documentNumberValid("01", "001234567"));
}

TEST(SunatCodes, ShippedTablesReadAndRefuseBadLines) {
  Result<SunatCodes> r = parseSunatCodes(defaultSunatTablesText(), defaultUbigeoText());
  ASSERT_TRUE(r.isOk()) << r.status().message();
  const SunatCodes& c = r.value();
  ASSERT_NE(c.find(tabla::kMotivoBaja, "01"), nullptr);
  EXPECT_EQ(c.find(tabla::kMotivoBaja, "01")->name, "RENUNCIA");
  EXPECT_EQ(c.find(tabla::kMotivoBaja, "10"), nullptr);  // pensioners only: not shipped
  EXPECT_NE(c.find(tabla::kBanco, "002"), nullptr);
  // San Isidro, province and department Lima; a province code is not a district.
  EXPECT_EQ(c.placeName("140124"), "SAN ISIDRO - LIMA - LIMA");
  EXPECT_FALSE(c.district("1401"));
  EXPECT_FALSE(c.district("150130"));
  // The file is Windows-1252: "JIRON" with its accent is one byte.
  EXPECT_EQ(c.find(tabla::kVia, "02")->name, "JIR\xD3N");
  Result<SunatCodes> bad = parseSunatCodes("5 01 AVENIDA\r\n5 XX CALLE\r\n", "");
  ASSERT_FALSE(bad.isOk());
  EXPECT_EQ(bad.status().message(),
            "tablas_sunat.txt, linea 2: se espera TABLA CODIGO DESCRIPCION (la tabla y el codigo con digitos)");
  EXPECT_FALSE(parseSunatCodes("", "14012 LIMA\n").isOk());
}

TEST(SunatCodes, FilesAreMadeOnFirstUseAndTheOperatorsChangesKept) {
  TempDir dir;
  Station st(dir.path());
  ASSERT_TRUE(loadSunatCodes(st.session).isOk());
  ASSERT_TRUE(dir.has("tablas_sunat.txt"));
  ASSERT_TRUE(dir.has("ubigeo.txt"));
  {
    std::ofstream add(dir.path() + "/ubigeo.txt", std::ios::app | std::ios::binary);
    add << "259999 DISTRITO NUEVO\r\n";
  }
  Result<SunatCodes> again = loadSunatCodes(st.session);
  ASSERT_TRUE(again.isOk());
  EXPECT_TRUE(again.value().district("259999"));
}

class ExtraScreen : public testing::EmployeesFixture {};

// From the general master's bar: the second record of the employee under the cursor,
// created on this first edit; wrong mobile, UBIGEO and CCI refused when left; the
// lists store their codes; the defaults of a new record kept.
TEST_F(ExtraScreen, BarButtonEditsTheSecondRecordWithItsChecks) {
  seedCodeTables();
  seedMaster({{"E0001", "PEREZ", "ANA", " "}});
  using ui::MsgKind;
  st.tk.expectDialog("MANTEP02")
      .pressBar(6)
      .expectDialog("EDITADIC", "Datos Adicionales E0001 PEREZ , ANA")
      .type(105, "98765432")
      .leave()
      .expectMessage(MsgKind::Stop, "El Celular Debe Tener 9 Digitos Y Empezar Con 9", "Mensaje")
      .type(105, "987654321")
      .type(106, "Ana.Perez@example.pe")
      .type(120, "150130")
      .leave()
      .expectMessage(MsgKind::Stop, "UBIGEO 150130 No Existe En ubigeo.txt", "Mensaje")
      .type(120, "140124")
      .leave()
      .expectText(121, "SAN ISIDRO - LIMA - LIMA")
      .choose(107, "03 CALLE")
      .type(108, "los pinos")
      .choose(123, "01 RENUNCIA")
      .chooseIndex(162, 1)  // the first bank of table 36: 002
      .type(163, "19100087910970")
      .type(165, "00963200000380987112")
      .leave()
      .expectMessage(MsgKind::Stop,
                     "CCI No Valido: Son 20 Digitos Y Sus Dos Digitos De Control No Corresponden", "Mensaje")
      .type(165, "00963200000380987111")
      .press(401)
      .pressBar(7);
  F_PJLG01(st.session, st.tk);
  ASSERT_TRUE(st.tk.ok()) << st.tk.report();

  auto t = openEmployeeExtra(st.session, OpenMode::Shared);
  ASSERT_TRUE(t.isOk());
  EmployeeExtra x;
  ASSERT_TRUE(readEmployeeExtra(**t, "E0001", &x));
  EXPECT_EQ(x.celular, "987654321");
  EXPECT_EQ(x.email, "Ana.Perez@example.pe");  // an address keeps its case
  EXPECT_EQ(x.ubigeo, "140124");
  EXPECT_EQ(x.tipvia, "03");
  EXPECT_EQ(x.nomvia, "LOS PINOS");
  EXPECT_EQ(x.motbaja, "01");
  EXPECT_EQ(x.bancosun, "02");
  EXPECT_EQ(x.ctanum, "19100087910970");
  EXPECT_EQ(x.ctacci, "00963200000380987111");
  EXPECT_EQ(x.reglab, "01");  // the defaults of a first edit
  EXPECT_EQ(x.periodic, "1");
  EXPECT_EQ(x.regsal, "00");
  EXPECT_EQ(x.ctamon, "S");
}

}  // namespace
}  // namespace planilla::masters
