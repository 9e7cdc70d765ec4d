// The report view: the report as editable plain text without wrapping, in the font the user
// chose (kept in the profile), printable with the same font.
#pragma once

#include <QPlainTextEdit>
#include <string>

class QPrinter;

namespace ts {

class CViewFont;

class CTessaryView : public QPlainTextEdit {
    Q_OBJECT
public:
    CTessaryView(CViewFont& viewFont, QWidget* parent = nullptr);

    // Replaces the whole text with a report's bytes; the view counts as unchanged.
    void SetReportText(const std::string& bytes);
    // The report as bytes: exactly what was set while the user has not edited it, otherwise
    // the edited text with the report's own line ends and encoding.
    std::string ReportBytes() const;
    // After a save: the current text becomes the unchanged state.
    void MarkSaved(const std::string& bytes);

    // "Set Font...": the platform's font dialog, starting from the current font.
    void OnSetFont();
    // Sets a font chosen by the user and remembers it for the profile.
    void ApplyFont(const QFont& font);

    void Print(QPrinter* printer);

private:
    CViewFont& m_viewFont;
    std::string m_strOriginal;
    std::string m_strLineEnd = "\r\n";
    bool m_bLatin1 = false;
};

}  // namespace ts
