// The report screens of the reports menu besides the payslip (payslip_screen.h): each
// checks its preconditions, shows its small dialog and calls its writer. The main
// menu finds them by function name.
#pragma once

#include <functional>
#include <string>

#include "session/session.h"
#include "ui/toolkit.h"

namespace planilla::reports {

void F_P406(Session& s, ui::Toolkit& tk);                 // payroll book
void F_XXP404(Session& s, ui::Toolkit& tk);               // PDT summary
void F_XXP405(Session& s, ui::Toolkit& tk);               // pension contributions
void F_P426(Session& s, ui::Toolkit& tk, int selector);   // net pay (3: soles)
void F_P403(Session& s, ui::Toolkit& tk);                 // gratification payslips
void F_P402(Session& s, ui::Toolkit& tk);                 // gratification book
void F_P430(Session& s, ui::Toolkit& tk);                 // CTS certificate
void F_P431(Session& s, ui::Toolkit& tk, int selector);   // CTS deposits (3 soles, 2 dollars)
void F_P429(Session& s, ui::Toolkit& tk);                 // vacation record
void F_P424(Session& s, ui::Toolkit& tk);                 // year's fifth-category summary
void F_P425(Session& s, ui::Toolkit& tk);                 // year's pension contributions
void F_PESSALUD(Session& s, ui::Toolkit& tk);             // year's EsSalud contributions
void F_P419(Session& s, ui::Toolkit& tk);                 // fifth-category certificate
void F_P414(Session& s, ui::Toolkit& tk);                 // pension withholding statement
void F_P420(Session& s, ui::Toolkit& tk);                 // pension withholding voucher
void F_PCOSTOCC(Session& s, ui::Toolkit& tk);             // month's cost by cost centre

// The year of a year's document, asked in an input box titled `title` that starts on
// the working year. False when the operator cancels, or after a stop box when the
// answer is not a four-digit year.
bool askYear(Session& s, ui::Toolkit& tk, const std::string& title, int& year);

// The screen a menu entry names ("F_P406", "F_P426(3)", "F_P431(2)" ...); empty when
// the name is not one of the report screens (the payslip F_P401 included).
std::function<void(Session&, ui::Toolkit&)> findReportScreen(const std::string& function);

}  // namespace planilla::reports
