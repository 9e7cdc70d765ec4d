#include "cli/ReportOutput.h"

#include <cerrno>
#include <cstring>
#include <vector>

#include "driver/TessaryDoc.h"
#include "platform/ShownText.h"

namespace ts {
namespace {

// The report of the document: the file it was left in, or its text. Copied in blocks, so a
// large site's report is never held whole.
class CReportSource {
public:
    CReportSource(CFileSystem& fs, const CTessaryDoc& doc)
        : m_fs(fs), m_file(doc.m_strReportFile), m_text(doc.m_strReport), m_bCrLf(true) {}
    CReportSource(CFileSystem& fs, const std::string& text) : m_fs(fs), m_text(text) {}

    // The text has the saved report's CR LF line ends (a machine-readable one has LF).
    bool CrLf() const { return m_bCrLf; }

    // Hands each block to put; false when the report file could not be read or put failed.
    template <class Put>
    bool Copy(Put put) const {
        if (m_file.empty()) return put(m_text.data(), m_text.size());
        auto in = m_fs.OpenRead(m_file);
        if (!in) return false;
        std::vector<char> buf(1 << 16);
        long long n;
        while ((n = in->Read(buf.data(), buf.size())) > 0)
            if (!put(buf.data(), static_cast<size_t>(n))) return false;
        return n == 0;
    }

private:
    CFileSystem& m_fs;
    const std::string m_file;  // the report's file, or "" when m_text holds it
    const std::string& m_text;
    const bool m_bCrLf = false;
};

bool WriteFile(CFileSystem& fs, const std::string& path, const CReportSource& report) {
    auto f = fs.OpenWrite(path);
    return f && report.Copy([&f](const char* p, size_t n) { return f->Write(p, n); }) && f->Close();
}

bool Put(std::FILE* out, std::string_view bytes) {
    return std::fwrite(bytes.data(), 1, bytes.size(), out) == bytes.size();
}

// LF line ends; on a terminal the report's controls are shown escaped as well (names and URLs
// come from the site).
bool WriteOut(const CReportSource& report, const CliStreams& io) {
    CLfText lf;
    CShownText shown(true);
    auto put = [&](std::string_view bytes) {
        return io.outTerminal ? Put(io.out, shown.Feed(bytes)) : Put(io.out, bytes);
    };
    const bool copied = report.Copy([&](const char* p, size_t n) {
        return report.CrLf() ? put(lf.Feed({p, n})) : put({p, n});
    });
    const bool whole =
        copied && put(lf.Finish()) && (!io.outTerminal || Put(io.out, shown.Finish()));
    return std::fflush(io.out) == 0 && whole && !std::ferror(io.out);
}

bool Print(CFileSystem& fs, const std::string& reportFile, const CReportSource& report,
           const CliStreams& io) {
    errno = 0;
    if (!reportFile.empty() && reportFile != "-") {
        if (WriteFile(fs, reportFile, report)) return true;
        std::fprintf(io.err, "tessary-cli: cannot write the report to \"%s\": %s\n",
                     ShownName(reportFile).c_str(), std::strerror(errno ? errno : EIO));
        return false;
    }
    if (WriteOut(report, io)) return true;
    std::fprintf(io.err, "tessary-cli: cannot write the report to standard output: %s\n",
                 std::strerror(errno ? errno : EIO));
    return false;
}

}  // namespace

std::string CLfText::Feed(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size() + 1);
    if (m_bHeldCr && (bytes.empty() || bytes[0] != '\n')) out += '\r';
    m_bHeldCr = false;
    for (size_t i = 0; i < bytes.size(); ++i) {
        if (bytes[i] != '\r') {
            out += bytes[i];
        } else if (i + 1 == bytes.size()) {
            m_bHeldCr = true;
        } else if (bytes[i + 1] != '\n') {
            out += '\r';
        }
    }
    return out;
}

std::string CLfText::Finish() {
    const bool held = m_bHeldCr;
    m_bHeldCr = false;
    return held ? "\r" : "";
}

bool PrintReport(CFileSystem& fs, const std::string& reportFile, const CTessaryDoc& doc,
                 const CliStreams& io) {
    return Print(fs, reportFile, CReportSource(fs, doc), io);
}

bool PrintText(CFileSystem& fs, const std::string& reportFile, const std::string& text,
               const CliStreams& io) {
    return Print(fs, reportFile, CReportSource(fs, text), io);
}

}  // namespace ts
