// The association report as a person reads it and as a script reads it.
#ifndef KORVANE_REPORT_REPORT_OUTPUT_H
#define KORVANE_REPORT_REPORT_OUTPUT_H

#include <string>

#include "report/association_state.h"

// One section per part, the labels in one aligned column, a summary line at
// the end; texts from the resource module.
std::wstring FormatReportText(const AssociationReport& report);

// Registry text as one row can show it: a line break, another control
// character or a mark that turns the direction of text, written into the
// report, would break its table or forge a line, so each is shown by a
// visible mark instead ("<CR>", "<LF>", "<TAB>", "<U+202E>").
std::wstring Visible(const std::wstring& text);

// UTF-16 text as UTF-8, as the JSON library takes text.
std::string Utf8(const std::wstring& text);

// The same facts as one JSON document, in ASCII (every other character
// escaped); names and values are fixed English words, never translated.
std::string FormatReportJson(const AssociationReport& report);

#endif
