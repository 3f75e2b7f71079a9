// The worker registration files of March 2026 (company 01, RUC 20100000001): one hire
// paid by deposit, one foreign hire with a 12-character document, one leaver, compared
// line by line with the field lists of the registration; the gap list; the command.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "calc/tests/calc_fixture.h"
#include "exports/tregistro.h"

namespace planilla::exports {
namespace {

using catalog::TableId;
using calc::testing::CalcFixture;
using calc::testing::Fields;

std::string slurp(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  std::ostringstream s;
  s << f.rdbuf();
  return s.str();
}

class TregistroTest : public CalcFixture {
 protected:
  void SetUp() override {
    CalcFixture::SetUp();
    setDate(2026, 3, 31);
    s().YRUC = "20100000001";
    // E0001: hired 02/03/2026, DNI through the master's document code 1, employee
    // (local 23 -> SUNAT 21), fund PRIMA (-> 24), paid into a BCP account.
    master("E0001", "PEREZ", "LOPEZ", "ANA", "MARIA", "F", "1", "40123456", "23", "PRIMA", "123456ABCDE1",
           Date(1990, 3, 15), Date(2026, 3, 2), Date(), 2500);
    extra({{"CODIGO", std::string("E0001")}, {"CELULAR", std::string("987654321")},
           {"EMAIL", std::string("ana.perez@example.pe")}, {"TIPVIA", std::string("03")},
           {"NOMVIA", std::string("LOS PINOS")}, {"NUMVIA", std::string("123")}, {"TIPZONA", std::string("01")},
           {"NOMZONA", std::string("SAN ROQUE")}, {"UBIGEO", std::string("140130")}, {"REGLAB", std::string("01")},
           {"SITEDU", std::string("07")}, {"OCUPACION", std::string("137005")}, {"TIPCONT", std::string("01")},
           {"BANCOSUN", std::string("02")}, {"CTANUM", std::string("19100087910970")}});
    // E0002: hired 16/03/2026, carne de extranjeria of 12 characters (the master holds
    // 8), executive (local 21 -> 19), no fund (ONP 02), paid in cash, at risk (SCTR
    // health by EsSalud), university degree abroad (the studies file).
    master("E0002", "SMITH", "JONES", "JOHN", "", "M", "4", "", "21", "", "", Date(1985, 1, 1), Date(2026, 3, 16),
           Date(), 8000);
    extra({{"CODIGO", std::string("E0002")}, {"TIPDOC", std::string("04")},
           {"NUMDOC", std::string("001234567890")}, {"NACIONAL", std::string("9249")},
           {"CELULAR", std::string("912345678")}, {"EMAIL", std::string("john.smith@example.com")},
           {"TIPZONA", std::string("01")}, {"NOMZONA", std::string("CORPAC")},
           {"REFEREN", std::string("FRENTE AL PARQUE")}, {"UBIGEO", std::string("140124")},
           {"REGLAB", std::string("01")}, {"SITEDU", std::string("13")}, {"OCUPACION", std::string("217007")},
           {"TIPCONT", std::string("13")}, {"TIPPAGO", std::string("1")}, {"SCTRSAL", std::string("1")},
           {"EDUTIPO", std::string("1")}, {"EDUPERU", std::string("0")}, {"EDUANO", std::string("2008")}});
    // E0003: left on 20/03/2026 (renuncia).
    master("E0003", "ROJAS", "DIAZ", "LUIS", "", "M", "1", "40999888", "22", "", "", Date(1980, 6, 1),
           Date(2020, 1, 10), Date(2026, 3, 20), 1500);
    extra({{"CODIGO", std::string("E0003")}, {"MOTBAJA", std::string("01")}});
    // E0004: neither hired nor gone in March; E0005: hired in March but paid as a fee.
    master("E0004", "DIAZ", "RUIZ", "EVA", "", "F", "1", "40111222", "23", "", "", Date(1970, 1, 1),
           Date(2015, 5, 5), Date(), 1200);
    master("E0005", "LUNA", "SOTO", "RAUL", "", "M", "1", "40333444", "23", "", "", Date(1975, 1, 1),
           Date(2026, 3, 10), Date(), 3000, "2");
  }

  void master(const std::string& code, const std::string& ap1, const std::string& ap2, const std::string& n1,
              const std::string& n2, const std::string& sex, const std::string& doc, const std::string& number,
              const std::string& tiptrab, const std::string& afp, const std::string& cuspp, Date born, Date hired,
              Date ceased, double basic, const std::string& retri = "1") {
    Fields f = {{"CODIGO", code},      {"APELLI1", ap1},   {"APELLI2", ap2},  {"NOMBRE1", n1},
                {"NOMBRE2", n2},       {"SEXO", sex},      {"DOCIDEN", doc},  {"ELECTORAL", number},
                {"TIPTRAB", tiptrab},  {"CODAFP", afp},    {"NROAFP", cuspp}, {"SITUACION", std::string("11")},
                {"FECH_NAC", born},    {"FECH_ING", hired}, {"BAS_MEN", basic}, {"RETRI", retri}};
    if (ceased.valid()) f.push_back({"FCESE", ceased});
    add(TableId::EmployeeMaster, f);
  }
  void extra(const Fields& f) { add(TableId::EmployeeExtra, f); }

  bool run(std::vector<std::string>& written, Date from = Date(2026, 3, 1), Date to = Date(2026, 3, 31)) {
    msgs.shown.clear();
    return runTregistro(s(), from, to, "", written);
  }
  std::string file(const char* ext) { return slurp(dir() + "/RP_20100000001" + ext); }
};

TEST_F(TregistroTest, FilesHoldTheHandWorkedLines) {
  std::vector<std::string> written;
  ASSERT_TRUE(run(written)) << msgs.all();
  // Every member but .edu-less sets: here all six, E0001 by deposit (.cta), E0002 with studies (.edu).
  EXPECT_EQ(written.size(), 6u);
  const std::string tail = std::string(15, '|');  // the second address (14 fields) and field 41, empty
  // .ide, 41 fields: document, country (only for passports), birth, surnames, names,
  // sex 1/2, nationality (9589 for a DNI without one), long-distance code (empty),
  // mobile, e-mail, the address's 14 fields (via, name, number, 7 empty, zone, zone
  // name, reference, UBIGEO).
  EXPECT_EQ(file(".ide"),
            "01|40123456||15/03/1990|PEREZ|LOPEZ|ANA MARIA|2|9589||987654321|ana.perez@example.pe|"
            "03|LOS PINOS|123||||||||01|SAN ROQUE||140130|" + tail + "\r\n" +
            "04|001234567890||01/01/1985|SMITH|JONES|JOHN|1|9249||912345678|john.smith@example.com|"
            "||||||||||01|CORPAC|FRENTE AL PARQUE|140124|" + tail + "\r\n");
  // .tra, 23 fields: regime 01, education, occupation, disability 0, CUSPP (fund
  // members only), SCTR pension 0, contract, four flags 0, periodicity 1 (monthly),
  // basic 2500.00, situation 11 -> 1, exempt 0, special 0, payment (2: the account
  // given; 1 typed), category (not for types 19-21), treaty 0, CAS RUC.
  EXPECT_EQ(file(".tra"),
            "01|40123456||01|07|137005|0|123456ABCDE1|0|01|0|0|0|0|1|2500.00|1|0|0|2||0||\r\n"
            "04|001234567890||01|13|217007|0||0|13|0|0|0|0|1|8000.00|1|0|0|1||0||\r\n");
  // .per: per hire the link (1), worker type (2), health 00 (3), pension (4) and, for
  // E0002, SCTR health by EsSalud (5); the leaver's link closed with reason 01.
  EXPECT_EQ(file(".per"),
            "01|40123456||1|1|02/03/2026||||\r\n"
            "01|40123456||1|2|02/03/2026||21||\r\n"
            "01|40123456||1|3|02/03/2026||00||\r\n"
            "01|40123456||1|4|02/03/2026||24||\r\n"
            "04|001234567890||1|1|16/03/2026||||\r\n"
            "04|001234567890||1|2|16/03/2026||19||\r\n"
            "04|001234567890||1|3|16/03/2026||00||\r\n"
            "04|001234567890||1|4|16/03/2026||02||\r\n"
            "04|001234567890||1|5|16/03/2026||1||\r\n"
            "01|40999888||1|1|10/01/2020|20/03/2026|01||\r\n");
  EXPECT_EQ(file(".est"), "01|40123456||20100000001|0000|\r\n04|001234567890||20100000001|0000|\r\n");
  EXPECT_EQ(file(".edu"), "04|001234567890||1|0|||2008|\r\n");
  EXPECT_EQ(file(".cta"), "01|40123456||002|19100087910970|\r\n");

  // Only the leaver's day: the set is replaced whole, the hires' members removed.
  ASSERT_TRUE(run(written = {}, Date(2026, 3, 20), Date(2026, 3, 20))) << msgs.all();
  EXPECT_EQ(written, std::vector<std::string>{dir() + "/RP_20100000001.per"});
  EXPECT_EQ(file(".per"), "01|40999888||1|1|10/01/2020|20/03/2026|01||\r\n");
  EXPECT_FALSE(std::filesystem::exists(dir() + "/RP_20100000001.ide"));
}

TEST_F(TregistroTest, GapsStopTheExportWithOneLinePerEmployee) {
  // A hire without a second record, a leaver without reason, a hire whose mobile,
  // e-mail and UBIGEO are wrong.
  master("E0006", "VEGA", "PAZ", "ROSA", "", "F", "1", "40555666", "23", "", "", Date(1992, 2, 2),
         Date(2026, 3, 5), Date(), 1800);
  master("E0007", "CRUZ", "LEON", "IVAN", "", "M", "1", "40777888", "22", "", "", Date(1988, 8, 8),
         Date(2019, 4, 1), Date(2026, 3, 31), 1600);
  change(TableId::EmployeeExtra, "E0001",
         {{"CELULAR", std::string("87654321")}, {"EMAIL", std::string("ana.perez@")},
          {"UBIGEO", std::string("150130")}});
  std::vector<std::string> written = {"x"};
  EXPECT_FALSE(run(written));
  EXPECT_TRUE(written.empty());
  ASSERT_EQ(msgs.shown.size(), 1u);
  EXPECT_EQ(msgs.shown[0].text,
            "No Se Generaron Los Archivos, Faltan Datos:\r\n"
            "E0001 PEREZ LOPEZ, ANA MARIA: el celular 87654321 no es de 9 digitos empezando en 9, el correo "
            "ana.perez@ no es valido, el UBIGEO 150130 no es un distrito de ubigeo.txt\r\n"
            "E0006 VEGA PAZ, ROSA: no tiene Datos Adicionales, falta el celular, falta el correo electronico, "
            "falta la via o la zona de la direccion, falta el UBIGEO, falta el regimen laboral, falta el tipo de "
            "contrato, falta la situacion educativa, falta la ocupacion (6 digitos)\r\n"
            "E0007 CRUZ LEON, IVAN: falta el motivo de la baja");
  EXPECT_FALSE(std::filesystem::exists(dir() + "/RP_20100000001.per"));
  // No one in the range: refused, nothing written.
  EXPECT_FALSE(run(written = {}, Date(2026, 2, 1), Date(2026, 2, 28)));
  EXPECT_TRUE(msgs.has("No Hay Altas Ni Bajas Del 01/02/2026 Al 28/02/2026: No Se Generaron Archivos"));
  EXPECT_FALSE(run(written, Date(2026, 3, 31), Date(2026, 3, 1)));
  EXPECT_TRUE(msgs.has("Rango De Fechas No Valido"));
}

}  // namespace
}  // namespace planilla::exports
