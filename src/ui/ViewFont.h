// The report view's font as the profile keeps it (section "Font"): the fields of a classic
// logical-font record, of which only a few are stored, and the values as last loaded or saved,
// so that shut-down writes only what changed.
#pragma once

#include <QFont>
#include <string>

namespace ts {

class CProfile;

struct LogFont {
    int nHeight = 0;  // < 0: character height in pixels; 0: no font chosen
    int nWidth = 0;
    int nEscapement = 0;
    int nOrientation = 0;
    int nWeight = 0;  // 400 normal, 700 bold
    int nItalic = 0;
    int nUnderline = 0;
    int nStrikeOut = 0;
    int nCharSet = 0;
    int nOutPrecision = 0;
    int nClipPrecision = 0;
    int nQuality = 0;
    int nPitchAndFamily = 0;
    std::string strFaceName;  // at most 31 bytes

    bool operator==(const LogFont&) const = default;
};

class CViewFont {
public:
    // Reads "Height"; when it is not 0, the other stored values (with their defaults).
    void Load(const CProfile& profile);
    // Writes the values that differ from those last loaded or saved.
    void Save(CProfile& profile);

    // True when the user has chosen a font (height not 0).
    bool IsChosen() const { return m_current.nHeight != 0; }
    const LogFont& Current() const { return m_current; }
    void SetCurrent(const LogFont& lf) { m_current = lf; }

    // Conversions between the record and Qt's font; dpi is the screen's logical resolution.
    static QFont ToQFont(const LogFont& lf);
    static LogFont FromQFont(const QFont& font, double dpi);

private:
    LogFont m_current;
    LogFont m_saved;
};

}  // namespace ts
