#include "export/CsvExport.h"

#include <fcntl.h>

#include <cerrno>
#include <stdexcept>
#include <string_view>

#include "data/NumberText.h"
#include "export/ExportFields.h"
#include "export/ExportFile.h"
#include "sys/SystemText.h"
#include "sys/UniqueFd.h"

namespace {

constexpr std::size_t FlushSize = 64 * 1024;

// A number as a person writes it ("-3.52", "+1", "-0,5"): a spreadsheet reads it as the
// number it is, so it keeps its sign.
bool IsPlainNumber(std::string_view text) {
    std::size_t i = text.empty() || (text[0] != '+' && text[0] != '-') ? 0 : 1;
    std::size_t digits = 0;
    bool separator = false;
    for (; i < text.size(); ++i) {
        if (text[i] >= '0' && text[i] <= '9')
            ++digits;
        else if ((text[i] == '.' || text[i] == ',') && !separator)
            separator = true;
        else
            return false;
    }
    return digits > 0;
}

// Spreadsheets evaluate a field that begins with one of these as a formula (a cable named
// "=HYPERLINK(...)" would run when the file is opened).
bool LooksLikeFormula(std::string_view text) {
    return !text.empty() && std::string_view("=+-@\t\r").find(text[0]) != std::string_view::npos &&
           !IsPlainNumber(text);
}

// Collects the lines and writes them to the file in large pieces, every write checked.
class TCsvWriter {
public:
    TCsvWriter(int fd, const std::string& path, bool decimalComma)
        : path_(path), delimiter_(decimalComma ? ';' : ','), decimalComma_(decimalComma), fd_(fd) {
        buffer_.reserve(FlushSize + 1024);
        buffer_ = "\xEF\xBB\xBF";
    }

    void Field(std::string_view latin1, bool first) {
        quoted_.clear();
        AppendLatin1AsUtf8(latin1, quoted_);
        PutField(first);
    }

    void Utf8Field(std::string_view utf8, bool first) {
        quoted_.assign(utf8);
        PutField(first);
    }

    // Numbers of a grid, whose figures are made for the file.
    void Figure(std::string_view text, bool first) {
        if (!first)
            buffer_ += delimiter_;
        buffer_ += text;
    }

    // The field in quoted_, quoted when it must be; a text a spreadsheet would take for a
    // formula gets the leading apostrophe that keeps it a text.
    void PutField(bool first) {
        if (!first)
            buffer_ += delimiter_;
        if (LooksLikeFormula(quoted_))
            quoted_.insert(0, 1, '\'');
        if (quoted_.find_first_of(Specials()) == std::string::npos) {
            buffer_ += quoted_;
            return;
        }
        buffer_ += '"';
        for (const char c : quoted_) {
            buffer_ += c;
            if (c == '"')
                buffer_ += '"';
        }
        buffer_ += '"';
    }

    // A number text is ASCII and never holds a quote, a line break or the delimiter: only
    // its decimal point may change.
    void Number(std::string_view text) {
        buffer_ += delimiter_;
        const std::size_t start = buffer_.size();
        buffer_ += text;
        if (decimalComma_) {
            for (std::size_t i = start; i < buffer_.size(); ++i) {
                if (buffer_[i] == '.')
                    buffer_[i] = ',';
            }
        }
    }

    void EndLine() {
        buffer_ += "\r\n";
        if (buffer_.size() >= FlushSize)
            Flush();
    }

    void Finish() { Flush(); }

private:
    std::string_view Specials() const {
        return decimalComma_ ? std::string_view(";\"\r\n") : std::string_view(",\"\r\n");
    }

    void Flush() {
        if (const std::error_code error = WriteAll(fd_, buffer_.data(), buffer_.size()))
            Fail(error);
        buffer_.clear();
    }

    [[noreturn]] void Fail(const std::error_code& error) const {
        ThrowExportError("Cannot create", path_, error);
    }

    const std::string& path_;
    const char delimiter_;
    const bool decimalComma_;
    const int fd_;
    std::string buffer_;
    std::string quoted_;
};

}  // namespace

void WriteCsv(const TMeasurementTable& table, const TExportOptions& options, int fd,
              const std::string& name) {
    const std::vector<TVerdict>* verdicts = options.Verdicts;
    if (verdicts != nullptr && verdicts->size() != table.RowCount())
        throw std::invalid_argument("the verdicts do not match the table's rows");
    TCsvWriter csv(fd, name, options.DecimalSeparator == ",");
    if (!options.DeviceDetails.empty()) {
        bool first = true;
        for (const std::string_view field : DeviceFields(options.DeviceDetails)) {
            csv.Field(field, first);
            first = false;
        }
        csv.EndLine();
    }
    if (CaptionRowWritten(options)) {
        bool first = true;
        for (const std::string_view caption : Captions(table, verdicts != nullptr)) {
            csv.Field(caption, first);
            first = false;
        }
        csv.EndLine();
    }
    for (std::size_t row = 0; row < table.RowCount(); ++row) {
        if (!RowExported(table, row, options.OnlyChecked))
            continue;
        csv.Field(table.SubItem(row, 0), true);
        csv.Field(table.SubItem(row, 1), false);
        for (int item = 2; item < TMeasurementTable::SubItemCount; ++item)
            csv.Number(table.SubItem(row, item));
        if (verdicts != nullptr) {
            const TVerdict& verdict = (*verdicts)[row];
            const TVerdictDecimals decimals = VerdictDecimals(verdict);
            const std::pair<TFigure, int> figures[] = {{verdict.Loss, decimals.Loss},
                                                       {verdict.Limit, decimals.Limit},
                                                       {verdict.Margin, decimals.Margin}};
            for (const auto& [figure, places] : figures)
                csv.Number(figure ? FixedText(*figure, places) : std::string());
            csv.Field(VerdictText(verdict.Kind), false);
        }
        csv.EndLine();
    }
    csv.Finish();
}

void ExportToCsv(const TMeasurementTable& table, const TExportOptions& options,
                 const std::string& path) {
    if (options.Verdicts != nullptr && options.Verdicts->size() != table.RowCount())
        throw std::invalid_argument("the verdicts do not match the table's rows");
    WriteExportFile(path, [&](const std::string& writePath) {
        TUniqueFd fd(::open(writePath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666));
        if (!fd)
            ThrowExportError("Cannot create", path, ErrnoCode());
        WriteCsv(table, options, fd.Get(), path);
        if (const std::error_code error = fd.Close())
            ThrowExportError("Cannot create", path, error);
    });
}

void WriteGridCsv(const TExportGrid& grid, int fd, const std::string& name) {
    CheckGridRows(grid);
    TCsvWriter csv(fd, name, false);
    for (std::size_t column = 0; column < grid.Captions.size(); ++column)
        csv.Utf8Field(grid.Captions[column], column == 0);
    csv.EndLine();
    for (const std::vector<TGridCell>& row : grid.Rows) {
        for (std::size_t column = 0; column < row.size(); ++column) {
            if (row[column].Number)
                csv.Figure(row[column].Text, column == 0);
            else
                csv.Utf8Field(row[column].Text, column == 0);
        }
        csv.EndLine();
    }
    csv.Finish();
}

void ExportGridToCsv(const TExportGrid& grid, const std::string& path) {
    CheckGridRows(grid);
    WriteExportFile(path, [&](const std::string& writePath) {
        TUniqueFd fd(::open(writePath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666));
        if (!fd)
            ThrowExportError("Cannot create", path, ErrnoCode());
        WriteGridCsv(grid, fd.Get(), path);
        if (const std::error_code error = fd.Close())
            ThrowExportError("Cannot create", path, error);
    });
}
