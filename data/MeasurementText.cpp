#include "data/MeasurementText.h"

#include <array>
#include <string_view>

namespace {

std::size_t ListViewToTextSize(const TMeasurementTable& table, bool OnlyChecked) {
    std::size_t size = 0;
    for (std::size_t row = 0; row < table.RowCount(); ++row) {
        if (OnlyChecked && !table.Checked(row))
            continue;
        for (int i = 0; i < TMeasurementTable::SubItemCount; ++i) {
            size += table.SubItem(row, i).size() + 1;
        }
    }
    return size;
}

}  // namespace

std::string ListViewToText(const TMeasurementTable& table, bool OnlyChecked) {
    const std::size_t rows = table.RowCount();
    std::string text;
    text.reserve(ListViewToTextSize(table, OnlyChecked));
    for (std::size_t row = 0; row < rows; ++row) {
        if (!OnlyChecked || table.Checked(row))
            table.AppendRowText(row, text);
    }
    return text;
}

namespace {

// What a byte of a cable or fiber asks of the writer. The numbers never hold any of these.
enum TByteNeed : unsigned char {
    bnNone = 0,
    bnQuoteField = 1,  // "@" or a blank: the field split would cut the text
    bnQuoteRow = 2,    // "^" or a blank: the line split would cut the row
    bnRefuse = 4,      // no quoting keeps it: see Refuse
};

constexpr std::array<unsigned char, 256> MakeByteNeeds() {
    std::array<unsigned char, 256> needs{};
    for (int c = 1; c <= 32; ++c)
        needs[c] = bnQuoteField | bnQuoteRow;
    needs['@'] = bnQuoteField;
    needs['^'] = bnQuoteRow;
    needs['\t'] |= bnRefuse;
    needs['\n'] |= bnRefuse;
    needs[0] = bnRefuse;
    return needs;
}
constexpr std::array<unsigned char, 256> ByteNeeds = MakeByteNeeds();

unsigned char Needs(std::string_view text) {
    // A leading quote would make the field split read a quoted piece.
    unsigned char needs = !text.empty() && text.front() == '"' ? bnQuoteField : bnNone;
    for (const char c : text)
        needs |= ByteNeeds[static_cast<unsigned char>(c)];
    return needs;
}

// The split rule's quoting: enclosing quotes, each quote inside doubled.
void AppendQuoted(std::string_view text, std::string& out) {
    out += '"';
    for (const char c : text) {
        if (c == '"')
            out += '"';
        out += c;
    }
    out += '"';
}

void AppendField(std::string_view text, unsigned char needs, std::string& out) {
    if (needs & bnQuoteField) {
        AppendQuoted(text, out);
    } else {
        out.append(text);
    }
}

// A line feed ends the file's line, a zero byte the text the parser reads, and the parser
// reads every TAB as "@". Only a line feed can come in a text, from a quoted dump field.
[[noreturn]] void Refuse(std::size_t row, const char* column, std::string_view text) {
    const std::size_t at = text.find_first_of(std::string_view("\t\n\0", 3));
    const char* what = text[at] == '\t' ? "tab" : text[at] == '\n' ? "line feed" : "zero byte";
    throw EUnsavableText("The " + std::string(column) + " of row " + std::to_string(row + 1) +
                         " holds a " + what + ", which a measurement file cannot keep");
}

}  // namespace

std::string MeasurementFileText(const TMeasurementTable& table) {
    std::string text;
    // Room for the plain text; quotes are rare and may grow it once.
    text.reserve(ListViewToTextSize(table, false));
    std::string rowText;
    for (std::size_t row = 0; row < table.RowCount(); ++row) {
        const std::string_view cable = table.SubItem(row, 0);
        const std::string_view fiber = table.SubItem(row, 1);
        const unsigned char cableNeeds = Needs(cable);
        const unsigned char fiberNeeds = Needs(fiber);
        if ((cableNeeds | fiberNeeds) == bnNone) {
            table.AppendRowText(row, text);
            continue;
        }
        if (cableNeeds & bnRefuse)
            Refuse(row, "cable", cable);
        if (fiberNeeds & bnRefuse)
            Refuse(row, "fiber", fiber);
        rowText.clear();
        AppendField(cable, cableNeeds, rowText);
        rowText += '@';
        AppendField(fiber, fiberNeeds, rowText);
        for (int i = 2; i < TMeasurementTable::SubItemCount; ++i) {
            const std::string_view item = table.SubItem(row, i);
            if (i < 4 || !item.empty()) {
                rowText += '@';
                rowText.append(item);
            }
        }
        // A quoted cable starts the row with a quote, which the line split would take for
        // a quoted row.
        if (((cableNeeds | fiberNeeds) & bnQuoteRow) || (cableNeeds & bnQuoteField)) {
            AppendQuoted(rowText, text);
        } else {
            text += rowText;
        }
        text += '^';
    }
    return text;
}
