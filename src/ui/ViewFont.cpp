#include "ui/ViewFont.h"

#include <QFontInfo>
#include <algorithm>
#include <cmath>

#include "base/Profile.h"
#include "platform/Text.h"

namespace ts {
namespace {

const char* const kFontSection = "Font";
constexpr size_t kFaceNameMax = 31;

// Pitch and family as the classic record codes them.
enum { FIXED_PITCH = 1, VARIABLE_PITCH = 2 };
enum { FF_ROMAN = 0x10, FF_SWISS = 0x20, FF_MODERN = 0x30, FF_SCRIPT = 0x40, FF_DECORATIVE = 0x50 };
constexpr int kDefaultCharSet = 1;

}  // namespace

void CViewFont::Load(const CProfile& p) {
    m_current.nHeight = p.GetInt(kFontSection, "Height", 0);
    if (m_current.nHeight == 0) return;
    m_current.nWeight = p.GetInt(kFontSection, "Weight", 0);
    m_current.nItalic = p.GetInt(kFontSection, "Italic", 0);
    m_current.nUnderline = p.GetInt(kFontSection, "Underline", 0);
    m_current.nPitchAndFamily = p.GetInt(kFontSection, "PitchAndFamily", 0);
    m_current.nCharSet = p.GetInt(kFontSection, "CharSet", kDefaultCharSet);
    m_current.strFaceName = Utf8Cut(p.GetString(kFontSection, "FaceName", "System"), kFaceNameMax);
    m_saved = m_current;
}

void CViewFont::Save(CProfile& p) {
    const LogFont& c = m_current;
    if (c.nHeight != m_saved.nHeight) p.SetInt(kFontSection, "Height", c.nHeight);
    if (c.nHeight != 0) {
        auto put = [&p](const char* name, int value, int saved) {
            if (value != saved) p.SetInt(kFontSection, name, value);
        };
        put("Weight", c.nWeight, m_saved.nWeight);
        put("Italic", c.nItalic, m_saved.nItalic);
        put("Underline", c.nUnderline, m_saved.nUnderline);
        put("PitchAndFamily", c.nPitchAndFamily, m_saved.nPitchAndFamily);
        put("CharSet", c.nCharSet, m_saved.nCharSet);
        if (c.strFaceName != m_saved.strFaceName)
            p.SetString(kFontSection, "FaceName", c.strFaceName);
    }
    m_saved = m_current;
}

QFont CViewFont::ToQFont(const LogFont& lf) {
    QFont font(QString::fromStdString(lf.strFaceName));
    // Negative heights are character heights, positive ones cell heights; both are close
    // enough to Qt's pixel size for a text view.
    font.setPixelSize(std::max(1, std::abs(lf.nHeight)));
    if (lf.nWeight > 0) font.setWeight(QFont::Weight(std::clamp(lf.nWeight, 1, 1000)));
    font.setItalic(lf.nItalic != 0);
    font.setUnderline(lf.nUnderline != 0);
    font.setStrikeOut(lf.nStrikeOut != 0);
    if ((lf.nPitchAndFamily & 3) == FIXED_PITCH) font.setFixedPitch(true);
    switch (lf.nPitchAndFamily & 0xF0) {
        case FF_ROMAN:
            font.setStyleHint(QFont::Serif);
            break;
        case FF_SWISS:
            font.setStyleHint(QFont::SansSerif);
            break;
        case FF_MODERN:
            font.setStyleHint(QFont::Monospace);
            break;
        case FF_SCRIPT:
            font.setStyleHint(QFont::Cursive);
            break;
        case FF_DECORATIVE:
            font.setStyleHint(QFont::Decorative);
            break;
        default:
            break;
    }
    return font;
}

LogFont CViewFont::FromQFont(const QFont& font, double dpi) {
    LogFont lf;
    int px = font.pixelSize();
    if (px <= 0) px = static_cast<int>(std::lround(font.pointSizeF() * dpi / 72.0));
    lf.nHeight = -std::max(1, px);
    lf.nWeight = font.weight();
    lf.nItalic = font.italic() ? 1 : 0;
    lf.nUnderline = font.underline() ? 1 : 0;
    lf.nStrikeOut = font.strikeOut() ? 1 : 0;
    lf.nCharSet = kDefaultCharSet;
    QFontInfo info(font);
    int family = 0;
    switch (font.styleHint()) {
        case QFont::Serif:
            family = FF_ROMAN;
            break;
        case QFont::SansSerif:
            family = FF_SWISS;
            break;
        case QFont::Monospace:
        case QFont::TypeWriter:
            family = FF_MODERN;
            break;
        case QFont::Cursive:
            family = FF_SCRIPT;
            break;
        case QFont::Decorative:
            family = FF_DECORATIVE;
            break;
        default:
            break;
    }
    if (info.fixedPitch() && family == 0) family = FF_MODERN;
    lf.nPitchAndFamily = (info.fixedPitch() ? FIXED_PITCH : VARIABLE_PITCH) | family;
    lf.strFaceName = Utf8Cut(font.family().toStdString(), kFaceNameMax);
    return lf;
}

}  // namespace ts
