// The association report as a person reads it and as a script reads it.
#ifndef KORVANE_REPORT_REPORT_OUTPUT_H
#define KORVANE_REPORT_REPORT_OUTPUT_H

#include <string>

#include "report/association_state.h"

// One section per part, the labels in one aligned column, a summary line at
// the end; texts from the resource module.
std::wstring FormatReportText(const AssociationReport& report);

// UTF-16 text as UTF-8, as the JSON library takes text.
std::string Utf8(const std::wstring& text);

// The version of the JSON document's form (docs/report.schema.json): raised
// whenever a name goes or changes its meaning; names may be added.
constexpr int kReportSchemaVersion = 1;

// The same facts as one JSON document, in ASCII (every other character
// escaped); names and values are fixed English words in camelCase, never
// translated, and "none" is always null.
std::string FormatReportJson(const AssociationReport& report);

#endif
