#include "export/uNativeXLSExport.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "sys/FullPath.h"
#include "sys/ProtectedFiles.h"
#include "sys/SystemText.h"

namespace {

constexpr std::size_t XlsFlushSize = 64 * 1024;

[[noreturn]] void ThrowFileError(const char* what, const std::string& fileName,
                                 const std::error_code& code) {
    throw EXLSWriteError(
        std::string(what) + " \"" + FullPath(fileName) + "\". " + SystemErrorText(code), fileName,
        code);
}

}  // namespace

void FillCellAttributes(TCellAttributes Attributes, std::uint8_t (&Bytes)[3]) {
    Bytes[0] = Bytes[1] = Bytes[2] = 0;
    if (Attributes.Contains(caHidden))
        Bytes[0] |= 0x80;
    if (Attributes.Contains(caLocked))
        Bytes[0] |= 0x40;
    if (Attributes.Contains(caShaded))
        Bytes[2] |= 0x80;
    if (Attributes.Contains(caBottomBorder))
        Bytes[2] |= 0x40;
    if (Attributes.Contains(caTopBorder))
        Bytes[2] |= 0x20;
    if (Attributes.Contains(caRightBorder))
        Bytes[2] |= 0x10;
    if (Attributes.Contains(caLeftBorder))
        Bytes[2] |= 0x08;
    // The alignment field takes one value: the first alignment in the set wins.
    if (Attributes.Contains(caAlignLeft)) {
        Bytes[2] |= 1;
    } else if (Attributes.Contains(caAlignCenter)) {
        Bytes[2] |= 2;
    } else if (Attributes.Contains(caAlignRight)) {
        Bytes[2] |= 3;
    } else if (Attributes.Contains(caAlignFill)) {
        Bytes[2] |= 4;
    }
}

// An existing file is opened for writing and emptied; otherwise it is created. Either way
// the writer takes an exclusive flock first, so two exports (or a program honouring the
// lock) never write one file at the same time and a locked file is left as it was.
// Linux has no mandatory sharing modes; flock is the advisory equivalent.
TXLSWriter::TXLSWriter(const std::string& FileName, const std::string& WritePath)
    : name_(FileName) {
    const std::string& path = WritePath.empty() ? FileName : WritePath;
    struct stat status {};
    const bool exists = ::stat(path.c_str(), &status) == 0;
    const char* failure = exists ? "Cannot open file" : "Cannot create file";
    // Written in place (the window's export): an archive of jobs is refused before a byte.
    if (const std::error_code refusal = OutputRefusal(path))
        ThrowFileError(failure, FileName, refusal);
    TUniqueFd fd(exists ? ::open(path.c_str(), O_WRONLY | O_CLOEXEC)
                        : ::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
    if (!fd)
        ThrowFileError(failure, FileName, ErrnoCode());
    if (::flock(fd.Get(), LOCK_EX | LOCK_NB) != 0)
        ThrowFileError(failure, FileName, ErrnoCode());
    if (exists && S_ISREG(status.st_mode) && ::ftruncate(fd.Get(), 0) != 0) {
        ThrowFileError(failure, FileName, ErrnoCode());
    }
    buffer_.reserve(XlsFlushSize + 512);
    fd_ = std::move(fd);
}

TXLSWriter::~TXLSWriter() noexcept {
    // What was written so far reaches the file, as with an unbuffered stream; a failure
    // here can only be reported by Finish().
    if (fd_)
        static_cast<void>(WriteAll(fd_.Get(), buffer_.data(), buffer_.size()));
}

void TXLSWriter::WriteBOF() {
    WriteWord(0x0809);
    WriteWord(0x0006);
    WriteWord(0x0000);
    WriteWord(0x0010);
    WriteWord(0x0000);
}

void TXLSWriter::WriteDimensions() {
    WriteWord(0x0000);
    WriteWord(0x0008);
    WriteWord(0);
    WriteWord(MaxRows);
    WriteWord(0);
    WriteWord(MaxCols);
}

void TXLSWriter::WriteLabel(std::uint16_t Row, std::uint16_t Col, std::string_view Text,
                            TCellAttributes Attributes) {
    // The character count is one byte; a longer text would corrupt the record stream.
    if (Text.size() > 255) {
        throw EXLSWriteError("Cannot write a cell of " + std::to_string(Text.size()) +
                                 " characters to \"" + FullPath(name_) +
                                 "\": a cell holds at most 255 characters",
                             name_);
    }
    WriteWord(0x0004);
    WriteWord(static_cast<std::uint16_t>(Text.size() + 8));
    WriteWord(Row);
    WriteWord(Col);
    std::uint8_t attributes[3];
    FillCellAttributes(Attributes, attributes);
    WriteBytes(attributes, sizeof attributes);
    const auto count = static_cast<std::uint8_t>(Text.size());
    WriteBytes(&count, 1);
    WriteBytes(Text.data(), Text.size());
}

void TXLSWriter::WriteEOF() {
    WriteWord(0x000A);
    WriteWord(0x0000);
}

void TXLSWriter::WriteWord(std::uint16_t Value) {
    const std::uint8_t bytes[2] = {static_cast<std::uint8_t>(Value & 0xFF),
                                   static_cast<std::uint8_t>(Value >> 8)};
    WriteBytes(bytes, sizeof bytes);
}

void TXLSWriter::WriteBytes(const void* data, std::size_t size) {
    if (!fd_)
        throw EXLSWriteError("The file \"" + FullPath(name_) + "\" is closed", name_);
    buffer_.append(static_cast<const char*>(data), size);
    if (buffer_.size() >= XlsFlushSize)
        Flush();
}

void TXLSWriter::Flush() {
    const std::error_code error = WriteAll(fd_.Get(), buffer_.data(), buffer_.size());
    buffer_.clear();
    if (error)
        ThrowFileError("Cannot write file", name_, error);
}

void TXLSWriter::Finish() {
    if (!fd_)
        return;
    Flush();
    if (const std::error_code error = fd_.Close())
        ThrowFileError("Cannot write file", name_, error);
}
