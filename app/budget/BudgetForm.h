#pragma once

#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "data/uMeranie.h"
#include "verdict/Budget.h"

// The loss budget as the dialog edits it: every figure a text, every table rows of cell
// texts, so that what the user typed is checked in one place and a bad cell is named rather
// than dropped. Texts are UTF-8, as in the budget.

enum class TBudgetTable { None, Attenuation, MaxLoss, Links, Power };

using TFormRows = std::vector<std::vector<std::string>>;

struct TBudgetForm {
    std::string Name;
    std::string Preset;  // "" for none
    TLossSign LossSign = TLossSign::Negative;
    // Empty: the preset's figure, else the default.
    std::string GainToleranceDb;
    std::string ConnectorDb;
    std::string SpliceDb;
    std::optional<TReferenceMethod> ReferenceMethod;  // none: 1-jumper, left out of the file
    std::string EndConnectorDb;                       // empty: the connector figure
    std::string Launch;
    TFormRows Attenuation;  // wavelength (nm), dB/km
    TFormRows MaxLoss;      // wavelength (nm), max loss (dB)
    TFormRows Links;        // cable, length (m), connectors, splices, preset
    // The links' own attenuations, which the dialog does not show, kept by cable.
    std::map<std::string, TWavelengthTable> LinkAttenuations;
    TFormRows Power;  // wavelength (nm), min (dBm), max (dBm); either bound may be empty
    // Which the dialog does not show either, kept so that saving leaves it as it was.
    std::optional<TPairRule> PairRule;

    bool operator==(const TBudgetForm&) const = default;
};

// The table's name and its column captions, as the dialog shows them and messages say them.
const char* BudgetTableName(TBudgetTable table);
const std::vector<const char*>& BudgetTableColumns(TBudgetTable table);

// A cell or field the budget cannot be made from. Row and Column locate a table's cell
// (Table None for the single fields), so that the dialog can take the user there.
class EBudgetFormError : public std::runtime_error {
public:
    EBudgetFormError(const std::string& message, TBudgetTable table, int row, int column)
        : std::runtime_error(message), Table(table), Row(row), Column(column) {}

    TBudgetTable Table;
    int Row;
    int Column;
};

TBudgetForm BudgetFormFrom(const TBudget& budget);

// The budget the form says. Rows whose cells are all empty are skipped; anything else that
// is not a number where one belongs, a negative length, count or loss, a wavelength that is
// no whole number of nm, a wavelength or cable listed twice, a link without its length or a
// power window without a bound throws EBudgetFormError, e.g.
//   Links, row 2, Length (m): 'abc' is not a number
// naming every bad cell, a line each, and locating the first. "," is taken for "." in
// numbers.
TBudget BudgetFromForm(const TBudgetForm& form);

// Link rows for the cables (UTF-8) that no row of links names yet, in order: each with the
// "*" row's length, connectors, splices and preset, or 0 m, 2 connectors and no splice when
// there is no such row.
TFormRows NewCableRows(const TFormRows& links, const std::vector<std::string>& cables);

// Copies the cell of firstRow in column to the rows after it up to lastRow, making cells as
// needed.
void FillDown(TFormRows& rows, int column, int firstRow, int lastRow);

// The distinct Cable texts of records, in the order they first appear (8-bit, as the
// records hold them).
std::vector<std::string> DistinctCables(const TMeraniaArray& records);
