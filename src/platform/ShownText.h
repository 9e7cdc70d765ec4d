// Text from the site as a person is shown it. File names and URLs may hold any bytes: an ESC
// sequence in a name could move the cursor, retitle the window or rewrite what the user has
// read, and a line end in one would write lines that look like the report's own. Every byte a
// terminal could act on is shown as "\xNN" (two lower-case hex digits) instead: the C0
// controls, DEL, the C1 controls U+0080 to U+009F (each of their two UTF-8 bytes), and every
// byte that is not part of valid UTF-8 (a terminal in an 8-bit mode reads 0x9B as a control).
// A backslash itself is shown as it is: the form is for reading, not for reading back. The
// report's lines show names so; the command line shows everything it writes for a person so.
#pragma once

#include <string>
#include <string_view>

namespace ts {

class CShownText {
public:
    // lines: the text is made of lines; its line ends (LF, CR LF) and tabs are kept.
    explicit CShownText(bool lines) : m_bLines(lines) {}

    // The shown form of the next bytes of the text. A character or CR LF that the block cuts
    // is held until the next block or Finish.
    std::string Feed(std::string_view bytes);
    // The shown form of what is still held.
    std::string Finish();

private:
    bool Kept(unsigned char c, bool crBeforeLf) const;

    bool m_bLines;
    std::string m_held;
};

// Shows a whole text; lines as above.
std::string ShownText(std::string_view text, bool lines);

// A name or path: every control is shown, tabs and line ends too.
inline std::string ShownName(std::string_view name) {
    return ShownText(name, false);
}

// A path as a POSIX shell reads it back unchanged, quoted when it must be.
std::string ShellWord(const std::string& s);

}  // namespace ts
