#include "datalogger/export.h"

#include "datalogger/import.h"
#include "platform/gui.h"

#include <cstdio>
#include <memory>

namespace datalogger {

namespace {

const char* const HeaderTexts[ExportFieldCount] = {"Pos", "Operator", "Date", "Time", "Quantity", "Barcode"};

char LowerAscii(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool IsTxtAt(const std::string& s, size_t at) {
    static const char txt[] = ".txt";
    if (at + 4 > s.size()) return false;
    for (size_t i = 0; i < 4; ++i) {
        if (LowerAscii(s[at + i]) != txt[i]) return false;
    }
    return true;
}

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};

} // namespace

std::string FormatExportLine(const std::vector<std::string>& texts) {
    std::string line;
    line.reserve(ExportLineWidth);
    for (int i = 0; i < ExportFieldCount; ++i) {
        const size_t width = static_cast<size_t>(ExportFieldWidths[i]);
        const std::string empty;
        const std::string& text = i < static_cast<int>(texts.size()) ? texts[i] : empty;
        if (text.size() >= width) {
            line.append(text, 0, width);
        } else {
            line.append(width - text.size(), ' ');
            line.append(text);
        }
    }
    return line;
}

std::string ExportHeaderLine() {
    return FormatExportLine(std::vector<std::string>(HeaderTexts, HeaderTexts + ExportFieldCount));
}

std::string ExportFileName(const std::string& chosen) {
    // Only the file name is renamed: removing ".txt" from a folder name would
    // put the file into another folder.
    const size_t cut = chosen.find_last_of("/\\:");
    const size_t nameStart = cut == std::string::npos ? 0 : cut + 1;
    std::string out = chosen.substr(0, nameStart);
    for (size_t i = nameStart; i < chosen.size();) {
        if (IsTxtAt(chosen, i)) {
            i += 4;
        } else {
            out += chosen[i++];
        }
    }
    return out + ".txt";
}

std::string ExportFileText(const std::vector<std::vector<std::string>>& rows) {
    std::string text = ExportHeaderLine() + "\r\n";
    for (const auto& row : rows) text += FormatExportLine(row) + "\r\n";
    return text;
}

bool WriteExportFile(const std::string& path, const std::string& text) {
    std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path.c_str(), "wb"));
    if (!file) return false;
    return std::fwrite(text.data(), 1, text.size(), file.get()) == text.size();
}

void SaveRecords() {
    const std::string chosen = gui::saveFileDialog(gui::MainWindow, "Please choose file to save data",
                                                   "Fixed Width Text (*.txt)|*.txt");
    if (chosen.empty()) return;

    std::vector<std::vector<std::string>> rows;
    const int count = gui::reportRowCount(gui::MainWindow, RecordList);
    for (int r = 0; r < count; ++r) {
        std::vector<std::string> row;
        for (int c = 0; c < ExportFieldCount; ++c)
            row.push_back(gui::reportCell(gui::MainWindow, RecordList, r, c));
        rows.push_back(row);
    }
    // Nothing is reported when the file cannot be written.
    WriteExportFile(ExportFileName(chosen), ExportFileText(rows));
}

} // namespace datalogger
