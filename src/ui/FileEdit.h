// The box in which a new file name is typed. Every key that would change the text goes through
// the file-name keystroke rules of the target first: a refused key beeps and changes nothing,
// and letters appear in the target's case. Pasted and dropped text is typed through the same
// rules, character by character; dropping text is not offered.
#pragma once

#include <QLineEdit>
#include <string>

#include "site/FileKeyFilter.h"

namespace ts {

class CFileEdit : public QLineEdit {
    Q_OBJECT
public:
    explicit CFileEdit(QWidget* parent = nullptr);

    void SetTarget(int nTarget) { m_filter.SetTarget(nTarget); }
    void SetMaxLength(int nMaxLen) { m_filter.SetMaxLength(nMaxLen); }
    const CFileKeyFilter& Filter() const { return m_filter; }

    // Types text at the caret, replacing the selection, as if each character were a key;
    // refused characters are left out. False when any was refused.
    bool TypeText(const QString& text);

signals:
    // A key or a pasted character was refused (the code says why).
    void refused(int code);

protected:
    void keyPressEvent(QKeyEvent* e) override;
    void inputMethodEvent(QInputMethodEvent* e) override;
    void contextMenuEvent(QContextMenuEvent* e) override;

private:
    // The text as UTF-8 and the selection (or caret) in bytes.
    std::string Utf8(int& selStart, int& selEnd) const;
    // Deletes the selection, or the character before (Backspace) or after (Delete) the
    // caret, when the rules allow it; true when they did.
    bool DeleteChecked(bool forward);
    void Refuse(int code);
    void PasteFiltered();
    void CutFiltered();
    // The keys that delete a word or a line; false for any other key.
    bool DeleteByKey(QKeyEvent* e);
    // A key that types printable text; false for any other key.
    bool TypeByKey(QKeyEvent* e);

    CFileKeyFilter m_filter;
};

}  // namespace ts
