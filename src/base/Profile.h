// The program's profile: an INI file of sections and "name=value" lines. Section and value
// names ignore case; a value with blanks at either end is written in double quotes. Unknown
// sections, values and comments are kept exactly when the file is written back, and the file is
// replaced in one step so a crash never leaves half a profile.
#pragma once

#include <string>
#include <vector>

#include "platform/FileSystem.h"

namespace ts {

class CProfile {
public:
    CProfile() = default;
    explicit CProfile(std::string path) : m_path(std::move(path)) {}

    const std::string& Path() const { return m_path; }
    void SetPath(std::string path) { m_path = std::move(path); }

    // Reads the file; a missing or unreadable file gives an empty profile.
    void Load(CFileSystem& fs);
    // Parses profile text (also used by tests and the fuzzer).
    void Parse(const std::string& text);
    std::string Text() const;
    // Writes the file atomically, creating its directory; false when that failed.
    bool Save(CFileSystem& fs) const;

    // A missing value, or one that is not a whole decimal number, gives def.
    int GetInt(const std::string& section, const std::string& name, int def) const;
    std::string GetString(const std::string& section, const std::string& name,
                          const std::string& def = std::string()) const;
    bool Has(const std::string& section, const std::string& name) const;
    void SetInt(const std::string& section, const std::string& name, int value);
    void SetString(const std::string& section, const std::string& name, const std::string& value);

private:
    struct Line {
        std::string text;     // the line as read, for lines we do not own
        std::string eol;      // its line end as read: "\n", "\r\n", or "" at the very end
        std::string section;  // the section this line belongs to ("" before the first)
        std::string name;     // non-empty for "name=value" lines
        std::string value;
        bool isHeader = false;
    };
    const Line* Find(const std::string& section, const std::string& name) const;

    std::string m_path;
    std::vector<Line> m_lines;
    // The line end of the file as read, for the lines we add.
    std::string m_eol = "\n";
};

}  // namespace ts
