// The table catalog: every table of the system, its file-name rule, its layout, its
// index bags and tags, its usual alias, and how it comes into being.
//
// This is the one place that knows a layout. Screens, runs, reports and utilities
// ask the catalog for a TableDef (built from the working period) and then create,
// open or reindex through the functions below. Nothing here shows messages: the
// functions return a Status whose code tells the caller which of the system's
// messages applies (see app/tables.h, which does that for the screens):
//   InUse     -> "Apertura Denegada El Archivo Esta En Uso"
//   NotFound  -> a missing template ("WARNING 14P", "WARNING  P18!!  "), a missing
//                source table or a missing index bag (message names the file).
//
// File names are relative to a data directory and matched without regard to case.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "store/io.h"
#include "store/status.h"
#include "store/table.h"

namespace planilla::catalog {

// The period part of the file names: YCIA, YMES, YANO of the session.
// cia is 2 characters, mes 2 ("00" when the working date is 1 January), ano 2.
struct Period {
  std::string cia;
  std::string mes;
  std::string ano;
};

enum class TableId {
  Institutions,       // pmae0001                (shipped)
  Users,              // kylusua                 (shipped)
  AccountingParams,   // paracont
  ExchangeRates,      // tcam<ano>
  RollTemplate,       // pbase14                 (shipped template)
  CalcTemplate,       // pbase18                 (shipped template)
  EmployeeMaster,     // pmae01<cia>             (+ bag pmno01<cia>)
  UniqueCodes,        // pmae02<cia>  "planilla unica" codes
  PensionerTypes,     // pmae03<cia>
  CostCentres,        // pmae04<cia>
  Rates,              // pmae05<cia>  rates and percentages, one record
  Situations,         // pmae07<cia>
  WorkerTypes,        // pmae08<cia>
  DocumentTypes,      // pmae09<cia>
  MovementTypes,      // pmae10<cia>
  Banks,              // bmae01<cia>
  PensionFunds,       // pm06<cia><ano>
  Earnings,           // habe<cia><ano>
  Deductions,         // rete<cia><ano>
  Health,             // salu<cia><ano>
  PrePayroll,         // apor<cia><ano>
  CtsMay,             // cts1<cia><ano>
  CtsNovember,        // cts2<cia><ano>
  IncomeEntries,      // ph<cia><mes><ano>
  VacationRoll,       // ve<cia><mes><ano>       (structure of pbase14)
  GratificationRoll,  // ge<cia><mes><ano>       (structure of pbase14)
  ActiveEmployees,    // p9<mes><ano><cia>       (+ bag p8<mes><ano><cia>; copy of the master)
  PayrollSoles,       // e2<cia><mes><ano>       (structure of pbase18)
  PayrollDollars,     // e1<cia><mes><ano>
  GratSoles,          // he<cia><mes><ano>
  GratDollars,        // h1<cia><mes><ano>
  ReportWork,         // xx<cia><mes><ano>       (structure of the report's source)
  ExtraGrat,          // ke<cia><mes><ano>       (read when present, never created)
  RunStamps,          // sp<cia><mes><ano>       the month's runs: one record per run kind
  Settlements,        // lq<cia><ano>            termination settlements of the year (by termination date)
  RunRegister,        // rproc<cia>              every run and export: who, when, totals, how it ended
  ChangeLog,          // bitac<cia>              every change made by hand, field by field (append only)
  TaxSettings,        // pmae13<cia>  the company's fifth-category settings, one record
  EmployeeExtra,      // pmae11<cia>  the employee's second record: what the state's registration
                      //              needs and the master lacks (keyed by CODIGO, made on first use)
  ChargeAccounts,     // bmae02<cia>  the company's bank accounts charged with salary transfers
  PayslipDeliveries,  // eb<cia><ano>            electronic payslips sent: one record per sending
  DeliverySettings,   // pmae12<cia>             signing and e-mail settings of the company, one record
};

// Every id, in catalog order.
const std::vector<TableId>& allTables();

// How a table comes into being when it is missing.
enum class Origin {
  Shipped,       // installed with the program; never created by the system (init does)
  Layout,        // created from `fields`
  RollTemplate,  // structure copied from pbase14
  CalcTemplate,  // structure copied from pbase18, recreated on every run
  MasterCopy,    // structure of pmae01<cia>, filled with the employees whose baja is blank
  WorkFile,      // report work file: structure and tags chosen by each report
  External,      // not created by the system
};

// One index tag. `bag` is the bag's base name (".cdx" is added). An empty `name`
// means a single-index tag, named after its bag.
struct TagDef {
  std::string bag;
  std::string name;
  std::string key;
  std::string forExpr;
};

struct TableDef {
  TableId id{};
  Period period;                  // the period the names were built from
  std::string base;               // base file name, at most 8 characters ("pmae0101")
  Origin origin = Origin::Layout;
  std::vector<FieldSpec> fields;  // empty unless origin is Layout or Shipped
  std::vector<TagDef> tags;       // in the order the bags are opened and tags built
  std::string alias;              // the usual alias (screens may pass their own)
  std::string role;               // a few words of Spanish, for listings and messages

  std::string dbf() const { return base + ".dbf"; }
  // Distinct bag file names ("pmae0101.cdx", "pmno0101.cdx") in opening order.
  std::vector<std::string> bags() const;
};

// The definition of `id` for the period. Fields of CalcTemplate and RollTemplate are
// the layouts `planilla init` installs. Rows whose name carries the month use p.mes
// (pass another Period to name e.g. he<cia>07<ano>).
TableDef define(TableId id, const Period& p);
std::string baseName(TableId id, const Period& p);

// Layouts (also reachable through define()).
const std::vector<FieldSpec>& employeeFields();       // 73 fields, movili at 30 and 70
const std::vector<FieldSpec>& ratesFields();          // 41 fields
const std::vector<FieldSpec>& employeeExtraFields();  // pmae11<cia>, the second record
// The 45 fields of the general master carried into the active employees of a month
// (at creation and by the refresh operations); the others start empty.
const std::vector<std::string>& activeCarriedFields();
const std::vector<FieldSpec>& institutionFields();    // pmae0001 as installed
const std::vector<FieldSpec>& userFields();           // kylusua as installed
const std::vector<FieldSpec>& rollTemplateFields();   // pbase14 as installed
const std::vector<FieldSpec>& calcTemplateFields();   // pbase18 as installed
const std::vector<FieldSpec>& settlementFields();     // lq<cia><ano>
// Code tables by the selector of their maintenance screen: 1 cost centres, 2 "planilla
// unica", 3 pensioner types, 7 situations, 8 worker types, 9 document types, 10
// movement types. Returns false for any other selector.
bool codeTableId(int selector, TableId* id);

// The names of the twelve month fields of the year tables ("ene" ... "dic").
const std::vector<std::string>& monthFieldNames();

// The catalog table a file name belongs to (any folder and extension, case ignored),
// with the period read from the name: "rete0116.dbf" is the withholding table of
// company 01, year 16. False for names the catalog does not know.
bool identify(const std::string& fileName, TableDef* out);

// Joins a data directory and a file name ("" or "." give the name itself).
std::string joinPath(const std::string& dir, const std::string& name);

// True when the table file exists (case-insensitive name match). A result table of
// the calculation runs (CalcTemplate) also exists while a run builds it for the first
// time: opening it then says the run is in progress.
bool tableExists(FileSystem& fs, const std::string& dir, const TableDef& def);

// The name a calculation run builds a table or bag under, beside the file it replaces:
// the file's name + ".run.tmp". Only the runs write such files; the next run or reindex
// puts in place or removes what a run that was cut short left.
std::string runBuildPath(const std::string& path);

// What a reader of a run's results (CalcTemplate tables) is told by openTable instead of
// "in use" or "reindex": while a run on another station holds or builds them (InUse),
// and when a run was cut short while putting them in place (NeedsReindex).
inline constexpr const char* kRunInProgress = "Planilla En Proceso De Calculo En Otra Estacion, Intente Mas Tarde";
inline constexpr const char* kRunInterrupted =
    "El Ultimo Calculo Del Mes Quedo Interrumpido: Vuelva A Calcular O Reindexe";

// Create on first use. When the table file is missing: creates it (from its layout,
// from the template, or as a copy of the employee master of the same company for
// ActiveEmployees), opens it exclusively, fills it (the rates table gets its one blank
// record), builds its bags and closes it; all of it under a temporary name (the file
// name + ".tmp"), the table getting its own name last, so that an interruption never
// leaves a table half made. When the file exists, does nothing. `*created`
// (optional) tells which happened.
// Errors: NotFound for a missing template (message "WARNING 14P" for pbase14) or a
// missing employee master; InUse when the exclusive open is refused; Unsupported for
// origins that are never created here (Shipped, WorkFile, External, CalcTemplate).
Status ensureTable(FileSystem& fs, const std::string& dir, const TableDef& def, bool* created = nullptr);

// Deletes the table (and its bags) and creates it anew, empty, from pbase18, with its
// single-index tag. For the calculated files. NotFound ("WARNING  P18!!  ") when the
// template is missing; InUse when another station holds the file open (nothing
// deleted then).
Status recreateCalcFile(FileSystem& fs, const std::string& dir, const TableDef& def);

// The bags of `def` with their tags, as Table::rebuildBags takes them (paths in `dir`).
std::vector<BagSpec> bagSpecs(const std::string& dir, const TableDef& def);

// NeedsReindex naming the bag, the tag and the table to reindex when a bag of `def`
// that `t` has open lacks one of its tags (tables the system does not make are not
// checked).
Status checkTags(Table& t, const TableDef& def);

// Opens the table with its bags in catalog order (code order first for the
// two-bag tables) and selects order 1 when it has tags. A missing bag is not rebuilt:
// NotFound naming it. A bag that lacks a tag of `def`, or a table whose last rebuild
// was cut short, is refused with NeedsReindex and a message naming what to reindex.
// A result table of the runs gives kRunInProgress / kRunInterrupted instead.
// `alias` empty uses def.alias.
Result<std::unique_ptr<Table>> openTable(FileSystem& fs, const std::string& dir, const TableDef& def,
                                         OpenMode mode, const std::string& alias = "");

// Builds the table's bags anew with every tag over the live records, after packing
// (exclusive open; InUse when refused), each beside the old one and renamed into
// place (Table::rebuildBags): an interruption never leaves a bag without its tags.
// For the reindex utilities and `planilla reindexar`.
Status rebuildIndexes(FileSystem& fs, const std::string& dir, const TableDef& def, bool pack = true);

// Creates a table from `fields` with every tag of `def` (used by `planilla init` for
// the shipped tables, and by tests). Fails with InUse/IoError; replaces nothing: an
// existing file is an error (Invalid).
Status createWithTags(FileSystem& fs, const std::string& dir, const TableDef& def);

}  // namespace planilla::catalog
