// The text streams every pass writes its findings to, and the constant texts they share.
// Report files are text files with CR LF line ends on every platform: each "\n" written
// reaches the file as "\r\n". Lines are gathered into large blocks (one system call per line
// would dominate a run over a large tree); a stream is flushed whenever it is detached from
// its file, so an interrupted run or undo still leaves every finished line on the disk.
#pragma once

#include <string>
#include <string_view>

#include "platform/FileSystem.h"
#include "platform/Text.h"

namespace ts {

inline constexpr std::string_view kSeparatorLine =
    "--------------------------------------------------------------------------------\n";
inline constexpr std::string_view kSectionGap = "\n\n\n";
inline constexpr std::string_view kIndent = "    ";
inline constexpr std::string_view kLinePrefix = "line ";
inline constexpr std::string_view kColonSep = ": ";
inline constexpr std::string_view kCrLf = "\r\n";
inline constexpr std::string_view kExternalPageName = "report_of_external_refs.htm";
inline constexpr std::string_view kTempPrefix = "ts_";
inline constexpr std::string_view kRenameLogName = "RENAME.LOG";

class CReportStream {
public:
    CReportStream() = default;
    CReportStream(const CReportStream&) = delete;
    CReportStream& operator=(const CReportStream&) = delete;

    // The stream writes to f until detached; it does not own f.
    void Attach(CFile* f);
    // Writes what is still held; Failed() then tells whether the file got all of the text.
    void Detach();
    bool IsAttached() const { return m_pFile != nullptr; }
    // True when text could not be written. A failed write leaves the file as it was, so the
    // text is kept and written again with the next flush: a passing failure loses nothing.
    bool Failed() const { return m_bFailed; }

    // Writes text; each "\n" becomes "\r\n". Text holding a line end is flushed.
    CReportStream& operator<<(std::string_view text);
    CReportStream& operator<<(int n);
    // Writes bytes as they are: a report copied into another keeps its line ends.
    void WriteRaw(std::string_view bytes);
    // Ends the line and flushes it.
    void EndLine();
    void Flush();

private:
    CFile* m_pFile = nullptr;
    std::string m_buffer;
    bool m_bFailed = false;
};

// A report stream that keeps its bytes (line ends as report files have them) in memory: work
// done on another thread holds its lines there until they can be written in their order.
class CHeldReport {
public:
    CHeldReport() { m_stream.Attach(&m_file); }
    CHeldReport(const CHeldReport&) = delete;
    CHeldReport& operator=(const CHeldReport&) = delete;

    CReportStream& Stream() { return m_stream; }
    // The bytes written so far, which the stream then no longer holds.
    std::string Take();

private:
    class CMemoryFile : public CFile {
    public:
        long long Read(void*, size_t) override { return 0; }
        bool Write(const void* buf, size_t n) override;
        bool Seek(uint64_t) override { return false; }
        bool Resize(uint64_t) override { return false; }
        long long Length() override { return static_cast<long long>(text.size()); }
        bool Sync() override { return true; }
        bool Close() override { return true; }
        std::string text;
    };
    CMemoryFile m_file;
    CReportStream m_stream;
};

// An error-report line: the path left-justified in 36 columns, four spaces, the text, "\n".
std::string ErrorLine(std::string_view path, std::string_view text);

// A heading block of the status report: separator, heading, separator.
std::string HeadingBlock(std::string_view heading);

}  // namespace ts
