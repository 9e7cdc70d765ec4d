#include "platform/ShownText.h"

#include "platform/Text.h"

namespace ts {
namespace {

void AppendEscaped(std::string& out, std::string_view bytes) {
    for (unsigned char c : bytes)
        out += Format("\\x%02x", c);
}

// U+0080 to U+009F in UTF-8: "\xC2" followed by 0x80 to 0x9F.
bool IsC1(std::string_view seq) {
    return seq.size() == 2 && static_cast<unsigned char>(seq[0]) == 0xC2 &&
           static_cast<unsigned char>(seq[1]) <= 0x9F;
}

}  // namespace

bool CShownText::Kept(unsigned char c, bool crBeforeLf) const {
    if (c >= 0x20 && c != 0x7F) return true;
    return m_bLines && (c == '\n' || c == '\t' || (c == '\r' && crBeforeLf));
}

std::string CShownText::Feed(std::string_view bytes) {
    std::string text = m_held;
    text.append(bytes);
    m_held.clear();
    std::string out;
    out.reserve(text.size());
    size_t i = 0;
    for (; i < text.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (c < 0x80) {
            // Whether a CR ends a line shows only with the next byte.
            if (c == '\r' && m_bLines && i + 1 == text.size()) break;
            const bool crBeforeLf = i + 1 < text.size() && text[i + 1] == '\n';
            if (Kept(c, crBeforeLf))
                out += static_cast<char>(c);
            else
                AppendEscaped(out, text.substr(i, 1));
            continue;
        }
        const size_t len = Utf8SequenceLength(text, i, true);
        if (len > 0 && i + len == text.size() && Utf8SequenceLength(text, i) == 0) break;
        const std::string_view seq = std::string_view(text).substr(i, len == 0 ? 1 : len);
        if (len == 0 || IsC1(seq))
            AppendEscaped(out, seq);
        else
            out.append(seq);
        i += seq.size() - 1;
    }
    m_held = text.substr(i);
    return out;
}

std::string CShownText::Finish() {
    std::string out;
    for (unsigned char c : m_held) {
        if (c < 0x80 && Kept(c, false))
            out += static_cast<char>(c);
        else
            AppendEscaped(out, std::string_view(reinterpret_cast<const char*>(&c), 1));
    }
    m_held.clear();
    return out;
}

std::string ShownText(std::string_view text, bool lines) {
    // Most names and lines are plain printable ASCII: they are shown as they are.
    bool plain = true;
    for (unsigned char c : text)
        plain = plain && c >= 0x20 && c < 0x7F;
    if (plain) return std::string(text);
    CShownText shown(lines);
    std::string out = shown.Feed(text);
    return out + shown.Finish();
}

// A path as a shell reads it back unchanged: as it is, or in single quotes. A path holding
// bytes a terminal could act on (a line end, an ESC) is written $'...' with those bytes as
// \xNN, which bash, zsh and ksh read back, so that the command shows no control and can still
// be copied.
std::string ShellWord(const std::string& s) {
    if (!s.empty() && s.find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"
                                          "0123456789/._-+=:,@%") == std::string::npos)
        return s;
    if (ShownName(s) != s) {
        std::string quoted;
        for (char c : s)
            quoted += c == '\\' || c == '\'' ? std::string{'\\', c} : std::string(1, c);
        return "$'" + ShownName(quoted) + "'";
    }
    std::string quoted = "'";
    for (char c : s)
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

}  // namespace ts
