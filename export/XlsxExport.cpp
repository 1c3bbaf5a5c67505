#include "export/XlsxExport.h"

#include <dlfcn.h>
#include <locale.h>
#include <xlsxwriter.h>

#include <algorithm>
#include <cerrno>
#include <ctime>
#include <map>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string_view>
#include <vector>

#include "export/ExportFields.h"
#include "export/ExportFile.h"
#include "export/XlsxText.h"
#include "sys/SystemText.h"

namespace {

// The library's own error numbers, for failures that carry no system error.
class TXlsxWriterCategory : public std::error_category {
public:
    const char* name() const noexcept override { return "xlsxwriter"; }
    std::string message(int code) const override {
        return lxw_strerror(static_cast<lxw_error>(code));
    }
};

const std::error_category& XlsxWriterCategory() {
    static const TXlsxWriterCategory category;
    return category;
}

constexpr lxw_col_t MaxColumns = 16384;

struct TWorkbookFree {
    void operator()(lxw_workbook* workbook) const noexcept { lxw_workbook_free(workbook); }
};
using TWorkbookPtr = std::unique_ptr<lxw_workbook, TWorkbookFree>;

bool OnPage(const TMeranie& record, TTablePage page) {
    return page == TTablePage::All || record.IsRelative == (page == TTablePage::Relative);
}

// The records behind the table's rows, in row order.
std::vector<const TMeranie*> PageRecords(const TMeasurementTable& table,
                                         const TMeraniaArray& records) {
    std::vector<const TMeranie*> rows;
    rows.reserve(table.RowCount());
    for (const TMeranie& record : records) {
        if (OnPage(record, table.Page()))
            rows.push_back(&record);
    }
    if (rows.size() != table.RowCount())
        throw std::invalid_argument("the records do not match the table's rows");
    return rows;
}

// The system's error when the library left one, else the library's own.
std::error_code FailureCode(lxw_error error, int systemError) {
    if (systemError != 0)
        return ErrnoCode(systemError);
    return {static_cast<int>(error), XlsxWriterCategory()};
}

// The library prints numbers with the C library's formatting, which follows the thread's
// LC_NUMERIC: a decimal comma there would make the file unreadable. "C" while it writes.
class TCNumericLocale {
public:
    TCNumericLocale() : locale_(::newlocale(LC_NUMERIC_MASK, "C", static_cast<locale_t>(0))) {
        if (locale_ != static_cast<locale_t>(0))
            previous_ = ::uselocale(locale_);
    }
    ~TCNumericLocale() noexcept {
        if (locale_ == static_cast<locale_t>(0))
            return;
        ::uselocale(previous_);
        ::freelocale(locale_);
    }
    TCNumericLocale(const TCNumericLocale&) = delete;
    TCNumericLocale& operator=(const TCNumericLocale&) = delete;

private:
    locale_t locale_;
    locale_t previous_ = LC_GLOBAL_LOCALE;
};

// Writes one worksheet through the library, every call checked.
class TWorkbookWriter {
public:
    TWorkbookWriter(const std::string& writePath, const std::string& path) : path_(path) {
        lxw_workbook_options options{};
        // Each row goes to a temporary file as it is written, so memory stays flat.
        options.constant_memory = LXW_TRUE;
        errno = 0;
        workbook_.reset(workbook_new_opt(writePath.c_str(), &options));
        if (!workbook_)
            Fail(LXW_ERROR_MEMORY_MALLOC_FAILED, errno != 0 ? errno : ENOMEM);
    }

    // budget names the budget's reference method and end-connection figure (UTF-8) for the
    // comments; empty for none.
    void SetProperties(const std::string& deviceName, const std::string& budget) {
        const std::string subject = XlsxPropertyText(deviceName);
        const std::string comments = XlsxUtf8PropertyText(budget);
        std::string title = "MERIDAX measurements";
        lxw_doc_properties properties{};
        properties.title = title.data();
        properties.subject = subject.empty() ? nullptr : const_cast<char*>(subject.c_str());
        properties.comments = comments.empty() ? nullptr : const_cast<char*>(comments.c_str());
        properties.created = std::time(nullptr);
        Check(workbook_set_properties(workbook_.get(), &properties));
    }

    void AddSheet(const char* name) {
        sheet_ = workbook_add_worksheet(workbook_.get(), name);
        bold_ = workbook_add_format(workbook_.get());
        if (sheet_ == nullptr || bold_ == nullptr)
            Fail(LXW_ERROR_MEMORY_MALLOC_FAILED, errno);
        format_set_bold(bold_);
    }

    void ColumnWidth(lxw_col_t column, double width) {
        Check(worksheet_set_column(sheet_, column, column, width, nullptr));
    }

    void HeaderAt(lxw_row_t row, lxw_row_t lastRow, lxw_col_t lastColumn) {
        worksheet_freeze_panes(sheet_, row + 1, 0);
        Check(worksheet_autofilter(sheet_, row, 0, lastRow, lastColumn));
    }

    void Utf8Text(lxw_row_t row, lxw_col_t column, std::string_view utf8, bool bold = false) {
        utf8_.clear();
        AppendXlsxUtf8CellText(utf8, utf8_);
        if (!utf8_.empty())
            Check(
                worksheet_write_string(sheet_, row, column, utf8_.c_str(), bold ? bold_ : nullptr));
    }

    // A number shown with decimals (general for -1).
    void Number(lxw_row_t row, lxw_col_t column, double value, int decimals) {
        if (decimals < 0) {
            Number(row, column, value);
            return;
        }
        Check(worksheet_write_number(sheet_, row, column, XlsxWritableNumber(value),
                                     DecimalsFormat(decimals)));
    }

    void Text(lxw_row_t row, lxw_col_t column, std::string_view latin1, bool bold = false) {
        lxw_format* format = bold ? bold_ : nullptr;
        if (latin1.empty()) {
            if (format != nullptr)
                Check(worksheet_write_blank(sheet_, row, column, format));
            return;
        }
        utf8_.clear();
        AppendXlsxCellText(latin1, utf8_);
        Check(worksheet_write_string(sheet_, row, column, utf8_.c_str(), format));
    }

    // The library writes 16 significant digits: every double read from a text of up to 16
    // digits comes back bit for bit; one that needs 17 comes back as its 16-digit neighbour.
    void Number(lxw_row_t row, lxw_col_t column, double value) {
        Check(worksheet_write_number(sheet_, row, column, XlsxWritableNumber(value), nullptr));
    }

    // A verdict's figure with the decimals the texts show it with (VerdictDecimals); the cell
    // keeps the double.
    void Number(lxw_row_t row, lxw_col_t column, const TFigure& value, int decimals) {
        if (value)
            Number(row, column, *value, decimals);
    }

    void Close() {
        CheckRowFile(sheet_->optimize_tmpfile);
        errno = 0;
        const lxw_error error = workbook_close(workbook_.release());
        if (error != LXW_NO_ERROR)
            Fail(error, errno);
    }

private:
    lxw_format* DecimalsFormat(int decimals) {
        lxw_format*& format = decimalsFormats_[decimals];
        if (format == nullptr) {
            format = workbook_add_format(workbook_.get());
            if (format == nullptr)
                Fail(LXW_ERROR_MEMORY_MALLOC_FAILED, errno);
            format_set_num_format(
                format, decimals == 0 ? "0" : ("0." + std::string(decimals, '0')).c_str());
        }
        return format;
    }

    // The library writes the rows to its temporary file without looking at the result: a
    // full disk there would otherwise give a silently shortened sheet.
    void CheckRowFile(FILE* file) {
        if (file == nullptr)
            return;
        errno = 0;
        if (std::fflush(file) == 0 && std::ferror(file) == 0)
            return;
        Fail(LXW_ERROR_CREATING_TMPFILE, errno != 0 ? errno : EIO);
    }

    void Check(lxw_error error) {
        if (error != LXW_NO_ERROR)
            Fail(error, 0);
    }

    [[noreturn]] void Fail(lxw_error error, int systemError) {
        workbook_.reset();
        ThrowExportError("Cannot create", path_, FailureCode(error, systemError));
    }

    const std::string& path_;
    TWorkbookPtr workbook_;
    lxw_worksheet* sheet_ = nullptr;
    lxw_format* bold_ = nullptr;
    std::map<int, lxw_format*> decimalsFormats_;  // by decimals; owned by the workbook
    std::string utf8_;
};

[[noreturn]] void RefuseWorkbook(const std::string& path, const std::string& reason) {
    throw EExportError("Cannot export to \"" + path + "\": " + reason, path,
                       std::make_error_code(std::errc::file_too_large));
}

}  // namespace

// The workbook library (1.1.4) has minizip deflate every part at zlib's default level and
// offers no setting for it; that compression is a third of the export's time. Its call to
// minizip is taken here and handed on with the fastest level, which halves the export's CPU
// time for files about a fifth larger. The executable defines the symbol the library
// imports, so the dynamic linker binds the library's call to this one.
namespace {

using TOpenFileInZip = int (*)(void*, const char*, const void*, const void*, unsigned, const void*,
                               unsigned, const char*, int, int, int, int, int, int, const char*,
                               unsigned long, unsigned long, unsigned long, int);

constexpr int ZipInternalError = -104;
constexpr int FastestLevel = 1;
constexpr int Deflated = 8;

}  // namespace

extern "C" int zipOpenNewFileInZip4_64(
    void* file, const char* name, const void* info, const void* localExtra, unsigned localExtraSize,
    const void* globalExtra, unsigned globalExtraSize, const char* comment, int method, int level,
    int raw, int windowBits, int memLevel, int strategy, const char* password, unsigned long crc,
    unsigned long versionMadeBy, unsigned long flagBase, int zip64) {
    static const auto minizip =
        reinterpret_cast<TOpenFileInZip>(::dlsym(RTLD_NEXT, "zipOpenNewFileInZip4_64"));
    if (minizip == nullptr)
        return ZipInternalError;
    if (method == Deflated && raw == 0)
        level = FastestLevel;
    return minizip(file, name, info, localExtra, localExtraSize, globalExtra, globalExtraSize,
                   comment, method, level, raw, windowBits, memLevel, strategy, password, crc,
                   versionMadeBy, flagBase, zip64);
}

const char* XlsxSheetName(TTablePage page) {
    switch (page) {
        case TTablePage::Absolute:
            return "Absolute";
        case TTablePage::Relative:
            return "Relative";
        case TTablePage::All:
            break;
    }
    return "All";
}

namespace {

void CheckFits(const std::string& path, std::size_t rows, std::size_t deviceFields) {
    if (rows > XlsxMaxRows) {
        RefuseWorkbook(path, std::to_string(rows) + " rows do not fit; a worksheet holds at most " +
                                 std::to_string(XlsxMaxRows) + " rows");
    }
    if (deviceFields > MaxColumns) {
        RefuseWorkbook(path, "the device details have " + std::to_string(deviceFields) +
                                 " fields; a worksheet holds at most " +
                                 std::to_string(MaxColumns) + " columns");
    }
}

// The device row, then the caption row when it is written; gives the first data row.
lxw_row_t WriteHeadRows(TWorkbookWriter& writer, const std::vector<std::string_view>& device,
                        const std::vector<std::string_view>& captions, bool withCaptions,
                        lxw_row_t lastRow) {
    const auto lastColumn = static_cast<lxw_col_t>(captions.size() - 1);
    for (lxw_col_t column = 0; column <= lastColumn; ++column) {
        const auto captionLength = static_cast<double>(captions[column].size());
        writer.ColumnWidth(column, std::max(LXW_DEF_COL_WIDTH, captionLength + 3));
    }
    lxw_row_t row = 0;
    if (!device.empty()) {
        for (lxw_col_t column = 0; column < device.size(); ++column)
            writer.Text(row, column, device[column]);
        ++row;
    }
    if (withCaptions) {
        writer.HeaderAt(row, lastRow, lastColumn);
        for (lxw_col_t column = 0; column <= lastColumn; ++column)
            writer.Text(row, column, captions[column], true);
        ++row;
    }
    return row;
}

void WriteDataRow(TWorkbookWriter& writer, lxw_row_t row, const TMeasurementTable& table,
                  std::size_t item, const TMeranie& record, const TVerdict* verdict) {
    writer.Text(row, 0, table.SubItem(item, 0));
    writer.Text(row, 1, table.SubItem(item, 1));
    writer.Number(row, 2, record.WaveLength);
    writer.Number(row, 3, record.Value);
    if (record.IsRelative)
        writer.Number(row, 4, record.Reference);
    if (verdict != nullptr) {
        const TVerdictDecimals decimals = VerdictDecimals(*verdict);
        writer.Number(row, 5, verdict->Loss, decimals.Loss);
        writer.Number(row, 6, verdict->Limit, decimals.Limit);
        writer.Number(row, 7, verdict->Margin, decimals.Margin);
        writer.Text(row, 8, VerdictText(verdict->Kind));
    }
}

}  // namespace

void ExportToXlsx(const TMeasurementTable& table, const TMeraniaArray& records,
                  const TExportOptions& options, const std::string& path) {
    const std::vector<std::string_view> device = DeviceFields(options.DeviceDetails);
    const bool withCaptions = CaptionRowWritten(options);
    const std::size_t rows = (device.empty() ? 0 : 1) + (withCaptions ? 1 : 0) +
                             ExportedRowCount(table, options.OnlyChecked);
    CheckFits(path, rows, device.size());
    const std::vector<const TMeranie*> numbers = PageRecords(table, records);
    const std::vector<TVerdict>* verdicts = options.Verdicts;
    if (verdicts != nullptr && verdicts->size() != table.RowCount())
        throw std::invalid_argument("the verdicts do not match the table's rows");

    WriteSeekingExportFile(path, [&](const std::string& writePath) {
        const TCNumericLocale cNumbers;
        TWorkbookWriter writer(writePath, path);
        writer.SetProperties(options.DeviceName, options.BudgetDescription);
        writer.AddSheet(XlsxSheetName(table.Page()));
        lxw_row_t row = WriteHeadRows(writer, device, Captions(table, verdicts != nullptr),
                                      withCaptions, static_cast<lxw_row_t>(rows - 1));
        for (std::size_t item = 0; item < table.RowCount(); ++item) {
            if (!RowExported(table, item, options.OnlyChecked))
                continue;
            WriteDataRow(writer, row++, table, item, *numbers[item],
                         verdicts != nullptr ? &(*verdicts)[item] : nullptr);
        }
        writer.Close();
    });
}

void ExportGridToXlsx(const TExportGrid& grid, const std::string& path) {
    CheckFits(path, grid.Rows.size() + 1, 0);
    CheckGridRows(grid);
    WriteSeekingExportFile(path, [&](const std::string& writePath) {
        const TCNumericLocale cNumbers;
        TWorkbookWriter writer(writePath, path);
        writer.SetProperties("", "");
        writer.AddSheet(grid.SheetName.c_str());
        const auto lastColumn = static_cast<lxw_col_t>(grid.Captions.size() - 1);
        writer.HeaderAt(0, static_cast<lxw_row_t>(grid.Rows.size()), lastColumn);
        for (lxw_col_t column = 0; column <= lastColumn; ++column) {
            const auto width = static_cast<double>(grid.Captions[column].size());
            writer.ColumnWidth(column, std::max(LXW_DEF_COL_WIDTH, width + 3));
            writer.Utf8Text(0, column, grid.Captions[column], true);
        }
        lxw_row_t row = 1;
        for (const std::vector<TGridCell>& cells : grid.Rows) {
            for (lxw_col_t column = 0; column <= lastColumn; ++column) {
                const TGridCell& cell = cells[column];
                if (cell.Number)
                    writer.Number(row, column, *cell.Number, cell.Decimals);
                else
                    writer.Utf8Text(row, column, cell.Text);
            }
            ++row;
        }
        writer.Close();
    });
}
