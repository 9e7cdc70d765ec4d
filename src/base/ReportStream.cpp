#include "base/ReportStream.h"

#include <cstdarg>
#include <cstdio>

#include "platform/ShownText.h"
#include "platform/Text.h"

namespace ts {

void CReportStream::Attach(CFile* f) {
    Detach();
    m_pFile = f;
    m_bFailed = false;
}

void CReportStream::Detach() {
    Flush();
    // The last text gets the second chance every other text gets with the next line.
    if (m_bFailed) Flush();
    m_buffer.clear();
    m_pFile = nullptr;
}

CReportStream& CReportStream::operator<<(std::string_view text) {
    if (!m_pFile) return *this;
    size_t pos = 0;
    while (pos < text.size()) {
        size_t nl = text.find('\n', pos);
        if (nl == std::string_view::npos) {
            m_buffer.append(text.substr(pos));
            break;
        }
        m_buffer.append(text.substr(pos, nl - pos));
        m_buffer += "\r\n";
        pos = nl + 1;
    }
    if (m_buffer.size() > 65536) Flush();
    return *this;
}

CReportStream& CReportStream::operator<<(int n) {
    return *this << std::to_string(n);
}

void CReportStream::WriteRaw(std::string_view bytes) {
    if (!m_pFile) return;
    m_buffer.append(bytes);
    if (m_buffer.size() >= 65536) Flush();
}

void CReportStream::EndLine() {
    *this << "\n";
}

void CReportStream::Flush() {
    if (!m_pFile || m_buffer.empty()) {
        m_buffer.clear();
        return;
    }
    if (!m_pFile->Write(m_buffer.data(), m_buffer.size())) {
        m_bFailed = true;
        return;
    }
    m_bFailed = false;
    m_buffer.clear();
}

std::string ErrorLine(std::string_view path, std::string_view text) {
    std::string line = PadRight(ShownName(path), 36);
    line += kIndent;
    line += ShownName(text);
    line += '\n';
    return line;
}

std::string HeadingBlock(std::string_view heading) {
    std::string block(kSeparatorLine);
    block += heading;
    block += '\n';
    block += kSeparatorLine;
    return block;
}

bool CHeldReport::CMemoryFile::Write(const void* buf, size_t n) {
    text.append(static_cast<const char*>(buf), n);
    return true;
}

std::string CHeldReport::Take() {
    m_stream.Flush();
    std::string held = std::move(m_file.text);
    m_file.text.clear();
    return held;
}

}  // namespace ts
