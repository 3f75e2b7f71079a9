// The house-keeping utilities of the tools menu: rebuilding the index files of one table
// (removing its deleted records), blanking the month's active employees, and rewriting
// the general employee master into the current layout. Each asks for confirmation in a
// small dialog, works on whole files held exclusively and ends with "Fin De Proceso".
//
// Every utility obtains exclusive use of the files it changes before it changes any:
// when another station has one open, it says so and leaves every file as it was.
#pragma once

#include <string>
#include <vector>

#include "session/session.h"
#include "store/catalog.h"
#include "ui/toolkit.h"

namespace planilla::admin {

// The tables of the master reindex by selector (1 employee master, 5 institutions,
// 6 to 9 the month's inputs, 11 active employees, 12 to 17 masters, 18 and 19 the
// calculated salaries and gratifications), with the dialog's title.
struct ReindexSelector {
  int n;
  const char* title;  // UTF-8
  catalog::TableId id;
};
const std::vector<ReindexSelector>& reindexSelectors();
// The table of selector `n` for the session's period; false for an unknown selector.
// For 18 and 19 the table's bag gets a `codigo` tag after its own.
bool reindexTableOf(const Session& s, int n, catalog::TableDef* def);

// Master reindex: needs a working date ("Primero, Ingrese Fecha").
void F_102PLAREIN(Session& s, ui::Toolkit& tk, int n);
// The work of its "&Reindexar" button, with `work` showing what is being done. False
// when it stopped on a message.
bool PLANI102(Session& s, ui::Label& work, int n);
// Users reindex (kylusua) and accounting-parameters reindex (paracont).
void F_105REIN(Session& s, ui::Toolkit& tk, int n = 5);
void F_109REIN(Session& s, ui::Toolkit& tk, int n = 1);
// Blanks the active employees of the period: deletes p9<mes><ano><cia> and its bags, so
// that the next opening of the active-employee screen builds it anew.
void F_P888(Session& s, ui::Toolkit& tk);
bool blankActiveEmployees(Session& s);
// Migration of the general employee master into the 73-field layout.
void F_MAESEMPLEADATA(Session& s, ui::Toolkit& tk);
// The migration itself: the new master is written beside the old one (work file
// pxs<cia><ano>), values matched by field name (matchFieldsByName: the two `movili` of
// the layout take the old file's first and second `movili`; an old file with one fills
// the first and leaves the second at zero), its bags built, and then it replaces the
// old master in one rename. Old fields with no place in the layout are named in a
// message (and in `dropped`). False when it stopped on a message; the old master is
// then as it was, unless the message says the new one awaits its reindex.
bool MAESTRO01(Session& s, std::vector<std::string>* dropped = nullptr);

}  // namespace planilla::admin
