#include "base/Profile.h"

#include <cerrno>
#include <climits>
#include <cstdlib>

#include "platform/SafeRewrite.h"
#include "platform/Text.h"

namespace ts {
namespace {

std::string Trim(const std::string& s) {
    size_t b = s.find_first_not_of(" \t\r");
    if (b == std::string::npos) return std::string();
    size_t e = s.find_last_not_of(" \t\r");
    return s.substr(b, e - b + 1);
}

// Blanks around a value are not part of it when it is read, so a value that begins or ends
// with one is written in double quotes, and so is one that is itself in quotes; reading takes
// one pair of quotes off, as INI readers do.
bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

bool IsQuoted(const std::string& v) {
    return v.size() >= 2 && v.front() == '"' && v.back() == '"';
}

std::string Quoted(const std::string& v) {
    if (v.empty() || !(IsBlank(v.front()) || IsBlank(v.back()) || IsQuoted(v))) return v;
    return '"' + v + '"';
}

std::string Unquoted(const std::string& v) {
    return IsQuoted(v) ? v.substr(1, v.size() - 2) : v;
}

}  // namespace

void CProfile::Load(CFileSystem& fs) {
    std::string text;
    if (m_path.empty() || !ReadWholeFile(fs, m_path, text)) text.clear();
    Parse(text);
}

void CProfile::Parse(const std::string& text) {
    m_lines.clear();
    m_eol = "\n";
    bool eolSeen = false;
    std::string section;
    size_t pos = 0;
    while (pos < text.size()) {
        size_t nl = text.find('\n', pos);
        std::string raw = text.substr(pos, nl == std::string::npos ? std::string::npos : nl - pos);
        pos = nl == std::string::npos ? text.size() : nl + 1;
        Line line;
        if (nl != std::string::npos) {
            line.eol = "\n";
            if (!raw.empty() && raw.back() == '\r') {
                raw.pop_back();
                line.eol = "\r\n";
            }
            if (!eolSeen) m_eol = line.eol;
            eolSeen = true;
        }
        line.text = raw;
        std::string t = Trim(raw);
        if (t.size() >= 2 && t.front() == '[' && t.back() == ']') {
            section = Trim(t.substr(1, t.size() - 2));
            line.isHeader = true;
            line.section = section;
        } else {
            line.section = section;
            size_t eq = t.find('=');
            if (eq != std::string::npos && t[0] != ';' && t[0] != '#') {
                line.name = Trim(t.substr(0, eq));
                line.value = Unquoted(Trim(t.substr(eq + 1)));
            }
        }
        m_lines.push_back(std::move(line));
    }
}

std::string CProfile::Text() const {
    // Lines keep their own line ends, so what we do not own is written back byte for byte;
    // only a last line that others now follow gets one.
    std::string out;
    for (size_t i = 0; i < m_lines.size(); ++i) {
        const Line& l = m_lines[i];
        out += l.text;
        out += l.eol.empty() && i + 1 < m_lines.size() ? m_eol : l.eol;
    }
    return out;
}

bool CProfile::Save(CFileSystem& fs) const {
    if (m_path.empty()) return false;
    std::string dir = DirName(m_path);
    if (!dir.empty() && !MakeDirectories(dir)) return false;
    unsigned mode = 0644;
    FileStat st;
    if (fs.Stat(m_path, st) && st.kind == EntryKind::File) {
        if (st.isLink) return false;  // never replace a link with a file of our own
        mode = st.mode;
    }
    return RewriteWholeFile(fs, m_path, Text(), mode);
}

const CProfile::Line* CProfile::Find(const std::string& section, const std::string& name) const {
    for (const Line& l : m_lines) {
        if (!l.isHeader && !l.name.empty() && EqualsNoCase(l.section, section) &&
            EqualsNoCase(l.name, name))
            return &l;
    }
    return nullptr;
}

bool CProfile::Has(const std::string& section, const std::string& name) const {
    return Find(section, name) != nullptr;
}

int CProfile::GetInt(const std::string& section, const std::string& name, int def) const {
    const Line* l = Find(section, name);
    if (!l || l->value.empty()) return def;
    const char* begin = l->value.c_str();
    char* end = nullptr;
    errno = 0;
    long v = std::strtol(begin, &end, 10);
    if (end == begin || *end != '\0' || errno == ERANGE || v < INT_MIN || v > INT_MAX) return def;
    return static_cast<int>(v);
}

std::string CProfile::GetString(const std::string& section, const std::string& name,
                                const std::string& def) const {
    const Line* l = Find(section, name);
    return l ? l->value : def;
}

void CProfile::SetInt(const std::string& section, const std::string& name, int value) {
    SetString(section, name, std::to_string(value));
}

void CProfile::SetString(const std::string& section, const std::string& name,
                         const std::string& value) {
    // A value holding a line end would corrupt the file; such a value is cut there.
    std::string v = value.substr(0, value.find_first_of("\r\n"));
    for (Line& l : m_lines) {
        if (!l.isHeader && !l.name.empty() && EqualsNoCase(l.section, section) &&
            EqualsNoCase(l.name, name)) {
            l.value = v;
            l.text = l.name + "=" + Quoted(v);
            return;
        }
    }
    Line line;
    line.section = section;
    line.name = name;
    line.value = v;
    line.text = name + "=" + Quoted(v);
    line.eol = m_eol;
    // After the last line of the section, or in a new section at the end.
    size_t insertAt = m_lines.size();
    bool found = false;
    for (size_t i = 0; i < m_lines.size(); ++i) {
        if (EqualsNoCase(m_lines[i].section, section) && (m_lines[i].isHeader || found)) {
            found = true;
            if (m_lines[i].isHeader || !Trim(m_lines[i].text).empty()) insertAt = i + 1;
        } else if (found && m_lines[i].isHeader) {
            break;
        }
    }
    if (!found) {
        if (!m_lines.empty() && !Trim(m_lines.back().text).empty()) {
            Line blank;
            blank.section = m_lines.back().section;
            blank.eol = m_eol;
            m_lines.push_back(blank);
        }
        Line header;
        header.isHeader = true;
        header.section = section;
        header.text = "[" + section + "]";
        header.eol = m_eol;
        m_lines.push_back(header);
        insertAt = m_lines.size();
    }
    m_lines.insert(m_lines.begin() + static_cast<long>(insertAt), line);
}

}  // namespace ts
