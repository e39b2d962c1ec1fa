// Fixed-width text export of RecordList: a header line and one line per row,
// six right-aligned fields of 79 characters in all, CR LF after every line.
#pragma once

#include <string>
#include <vector>

namespace datalogger {

constexpr int ExportFieldCount = 6;
constexpr int ExportFieldWidths[ExportFieldCount] = {3, 8, 10, 5, 8, 45};
constexpr int ExportLineWidth = 79;

// One line without its CR LF: each text right-aligned in its field, cut to
// the field's width when longer; missing texts are blank fields.
std::string FormatExportLine(const std::vector<std::string>& texts);
std::string ExportHeaderLine();

// The name the file is saved under: every ".txt" of the chosen file name is
// removed, in any letter case, and ".txt" appended. Folders are left alone.
std::string ExportFileName(const std::string& chosen);

// The whole file: header, then one line per row, each with CR LF.
std::string ExportFileText(const std::vector<std::vector<std::string>>& rows);

// Creates or empties the file and writes the text; false when it cannot.
bool WriteExportFile(const std::string& path, const std::string& text);

// The handler of SaveButton.
void SaveRecords();

} // namespace datalogger
