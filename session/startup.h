// Start-up logic that runs without windows: the login check, the working-date
// derivation, the company code check, the acceptance of the working-date dialog and
// the main window's title. The dialogs (ACCESO1, ELEGIRCIA) bind their fields to the
// session globals and call these functions; tests call them directly.
#pragma once

#include <string>
#include <vector>

#include "session/session.h"

namespace planilla {

// The login name the program accepts ("QTR ", four characters).
inline constexpr const char* kLoginUser = "QTR ";

// The process-wide part of the start-up settings: asks the operating system for at
// least `handles` open files (the soft limit is raised, never lowered). The rest of the
// settings live in the engine (deleted records hidden, four-digit years) and in the
// session (RED decides the default open mode). Returns the soft limit in force.
long applyProcessSettings(long handles = 60);

// Spanish month name of month 1..12 ("Enero" ... "Diciembre"); "" otherwise.
const char* monthName(int month);

// The year as the system writes it in dates of text: a number right-aligned in five
// characters (2016 -> " 2016").
std::string yearText5(int year);

// The function codes of the users table that stand for the top-level menu groups, in
// menu order: "FECHA", "MAESTROS", "DATOS", "PROCESOS", "REPORTES", "AFPNET",
// "SUELDOS", "HERRAMIENT". Other codes ("FUN001" ...) grant no group of their own.
const std::vector<std::string>& functionCodes();

// What one password opens, from its records of the users table (FUNCION, ACCESO):
// nothing unless some record has "T"; then every group unless some record names a
// function code, in which case only the groups whose record has "T". The login reads
// it; the users screen asks it of the records a change would leave.
struct PasswordAccess {
  bool granted = false;
  bool limited = false;
  std::vector<std::string> groups;
  bool opens(const std::string& group) const;
};
struct AccessRecord {
  std::string funcion;
  std::string acceso;
};
PasswordAccess accessOf(const std::vector<AccessRecord>& records);

// Login check (action of "&Aceptar"): user must be exactly "QTR " after upper-casing
// (the field's "@!" picture), the password (upper-cased, padded to ten; one with
// more than ten characters before trailing blanks is refused) is sought as a prefix
// of INICIA+FUNCION in kylusua. Sets s.LACCESO. The password's records then decide
// what it opens: when every one has ACCESO other than "T" it is refused with "Acceso
// Denegado"; when some name a function code, it opens only the groups whose record
// has "T" (s.accessLimited, s.accessGroups); otherwise everything. When kylusua.DBF or its
// index is missing shows "Archivo De Accesos-1  No Existe" / "...-2  No Existe" and
// sets s.endRequested. An index that is there but damaged is named in a warning and
// the table is read without it, so that the reindex can still be reached. Every table
// is closed afterwards. Returns true (the button's result); read s.LACCESO for the
// outcome.
bool VALACEPTAR(Session& s, const std::string& password, const std::string& user);

// Working-date derivation (validation of the date field): sets DIA_CIE, YDIA, YMES
// ("00" on 1 January), MES_CIE, ANO_CIE, YANO from `date`. An empty date is refused
// with "Ingrese Fecha Del Sistema" (empty title); a date that is not a calendar day
// or lies outside the years 1900 to 2099 with "Fecha No Valida" (empty title).
bool FECRETE(Session& s, const Date& date);

// Company code validation of the working-date dialog. Requires the institution table
// open in the current area (as the dialog opens it, alias xSeteoCia). Blank: "Codigo
// Institucion En Blanco"; not found: "Codigo Ingresado " + code + " No Existe". Found:
// `code` becomes COD_CIA and YNOMBRE1 becomes NOM_CIA.
bool CHEKCIA(Session& s, std::string& code);

// What CONSULCIA does with the row chosen in the institution lookup (KYL202CIA):
// YCIA = COD_CIA and YNOMBRE1 = NOM_CIA of the table's current record. The lookup
// does not run CHEKCIA.
void applyCompanyChoice(Session& s, const Table& institutions);

// Opens the institution table for the working-date dialog in the current area under
// alias xSeteoCia. Shows "WARNING MAIN" / "WARNING MAIN-2" and returns false when the
// table or its index is missing. A damaged index is named in a warning and the table
// is opened without it (CHEKCIA and the acceptance then read the records in order,
// and the institution record is not updated).
bool openInstitutions(Session& s);

// The acceptance of the working-date dialog ("&Aceptar"), from step 5 on: derives the
// period from YFECHA when it has not been derived for that date (FECRETE; refused
// dates end here with its message and false), seeks YCIA in the institution table,
// updates the record under LAN_REG (FECHA, YDESCRI, DESCRI_MES), sets YNOMBRE1,
// YABREV, YRUC, rewrites s.windowTitle and closes all tables. Opens the institution
// table itself when it is not open in the current area. Returns false only when the
// date was refused or the institution files are missing.
bool acceptWorkingDate(Session& s);

// Cancelling the working-date dialog: "Ingrese Fecha Del Sistema" ("Mensaje").
void cancelWorkingDate(Session& s);

// The main window's title for the current globals:
// YCIA + " " + YABREV + three blanks + DIA_CIE + " de " + MES_CIE + " de " + year(5).
std::string mainTitle(const Session& s);

// The opening check of the screens: false, after "Primero, Elija La Compania Con Que
// Va a Trabajar (cia)" ("Mensaje"), when YCIA is blank (and, with `needPeriod`, when
// YMES or YANO is blank).
bool requireCompany(Session& s, bool needPeriod = false);

// The date check of the utilities: "Primero, Ingrese Fecha" ("Mensaje").
bool requireDate(Session& s, bool needPeriod = false);

}  // namespace planilla
