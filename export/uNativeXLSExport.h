#pragma once

#include <cstdint>
#include <cstdio>
#include <stdexcept>
#include <string>
#include <string_view>

#include "data/Errors.h"
#include "data/MeasurementTable.h"
#include "sys/UniqueFd.h"

// A file that cannot be opened, created or written ("Cannot create file "%s". %s"), or a
// table the file cannot hold.
class EXLSWriteError : public EFileError {
public:
    using EFileError::EFileError;
};

enum TCellAttribute {
    caHidden,
    caLocked,
    caShaded,
    caBottomBorder,
    caTopBorder,
    caRightBorder,
    caLeftBorder,
    caAlignLeft,
    caAlignCenter,
    caAlignRight,
    caAlignFill
};

// A set of TCellAttribute: element n is bit n.
class TCellAttributes {
public:
    constexpr TCellAttributes() = default;
    constexpr TCellAttributes(std::initializer_list<TCellAttribute> items) {
        for (auto item : items)
            bits_ = static_cast<std::uint16_t>(bits_ | (1u << item));
    }
    constexpr bool Contains(TCellAttribute item) const { return (bits_ >> item) & 1u; }
    constexpr std::uint16_t Bits() const { return bits_; }

private:
    std::uint16_t bits_ = 0;
};

void FillCellAttributes(TCellAttributes Attributes, std::uint8_t (&Bytes)[3]);

// Writes a bare BIFF record stream of text cells. One writer per export.
class TXLSWriter {
public:
    // Messages name the file FileName; the bytes go to WritePath when given (a temporary file
    // that takes FileName's place afterwards).
    explicit TXLSWriter(const std::string& FileName, const std::string& WritePath = {});
    ~TXLSWriter() noexcept;
    TXLSWriter(const TXLSWriter&) = delete;
    TXLSWriter& operator=(const TXLSWriter&) = delete;

    std::uint16_t MaxCols = 100;
    std::uint16_t MaxRows = 65535;

    void WriteBOF();
    void WriteDimensions();
    void WriteLabel(std::uint16_t Row, std::uint16_t Col, std::string_view Text,
                    TCellAttributes Attributes = {});
    void WriteEOF();
    void WriteWord(std::uint16_t Value);

    // Flushes and closes the file, reporting a failure; the destructor closes silently.
    void Finish();

private:
    void WriteBytes(const void* data, std::size_t size);
    void Flush();

    std::string name_;
    TUniqueFd fd_;
    std::string buffer_;
};

// Writes the (checked) rows of table into FileName, preceded by the optional device row
// (DeviceDetails, TAB-separated) and caption row. Every "." of a data cell becomes
// DecimalSeparator. WritePath as for TXLSWriter.
void ExportListViewToXLS(const TMeasurementTable& ListView, bool OnlyChecked, bool ExportHeader,
                         std::string_view DeviceDetails, std::string_view DecimalSeparator,
                         const std::string& FileName, const std::string& WritePath = {});
