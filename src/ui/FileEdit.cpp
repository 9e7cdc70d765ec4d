#include "ui/FileEdit.h"

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMenu>

namespace ts {
namespace {

int Bytes(const QString& text, int units) {
    return static_cast<int>(text.left(units).toUtf8().size());
}

bool IsControl(char32_t ch) {
    return ch < 0x20 || (ch >= 0x7F && ch < 0xA0);
}

}  // namespace

CFileEdit::CFileEdit(QWidget* parent) : QLineEdit(parent) {
    // The rules count bytes; the box's own limit in characters would only get in the way.
    setMaxLength(32767);
    setAcceptDrops(false);
}

std::string CFileEdit::Utf8(int& selStart, int& selEnd) const {
    const QString t = text();
    int s = cursorPosition(), e = s;
    if (hasSelectedText()) {
        s = selectionStart();
        e = selectionEnd();
    }
    selStart = Bytes(t, s);
    selEnd = Bytes(t, e);
    return t.toStdString();
}

void CFileEdit::Refuse(int code) {
    QApplication::beep();
    emit refused(code);
}

bool CFileEdit::TypeText(const QString& typed) {
    int s, e;
    std::string cur = Utf8(s, e);
    size_t selS = static_cast<size_t>(s), selE = static_cast<size_t>(e);
    std::string accepted;
    int firstRefusal = KEY_OK;
    for (char32_t ch : typed.toUcs4()) {
        int code = IsControl(ch) ? KEY_INVALID_CHAR : m_filter.Check(cur, selS, selE, ch);
        if (code != KEY_OK) {
            if (firstRefusal == KEY_OK) firstRefusal = code;
            continue;
        }
        std::string piece = m_filter.ShowCase(Utf8Encode(ch));
        cur = cur.substr(0, selS) + piece + cur.substr(selE);
        selS += piece.size();
        selE = selS;
        accepted += piece;
    }
    // One step for the box's undo, replacing the selection.
    if (!accepted.empty()) insert(QString::fromStdString(accepted));
    if (firstRefusal != KEY_OK) Refuse(firstRefusal);
    return firstRefusal == KEY_OK;
}

bool CFileEdit::DeleteChecked(bool forward) {
    int s, e;
    std::string cur = Utf8(s, e);
    if (s == e) {
        const QString t = text();
        int caret = cursorPosition();
        // Nothing to delete: the box does nothing either.
        if (forward ? caret >= t.size() : caret <= 0) return true;
        if (forward) {
            // Delete is Backspace from behind the next character.
            int next = caret + (t.at(caret).isHighSurrogate() && caret + 1 < t.size() ? 2 : 1);
            s = e = Bytes(t, next);
        }
    }
    int code = m_filter.Check(cur, static_cast<size_t>(s), static_cast<size_t>(e), KEY_BACKSPACE);
    if (code != KEY_OK) {
        Refuse(code);
        return false;
    }
    if (hasSelectedText() || forward)
        del();
    else
        backspace();
    return true;
}

void CFileEdit::PasteFiltered() {
    if (isReadOnly()) return;
    QString pasted = QApplication::clipboard()->text(QClipboard::Clipboard);
    if (!pasted.isEmpty()) TypeText(pasted);
}

void CFileEdit::CutFiltered() {
    if (!hasSelectedText() || isReadOnly() || echoMode() != Normal) return;
    QString selected = selectedText();
    if (DeleteChecked(false)) QApplication::clipboard()->setText(selected);
}

bool CFileEdit::DeleteByKey(QKeyEvent* e) {
    // Deleting a word or the rest of the line is deleting a selection of that extent.
    const bool wordBack = e->matches(QKeySequence::DeleteStartOfWord);
    const bool wordForward = e->matches(QKeySequence::DeleteEndOfWord);
    const bool toEnd = e->matches(QKeySequence::DeleteEndOfLine);
    const bool line = e->matches(QKeySequence::DeleteCompleteLine);
    if (!wordBack && !wordForward && !toEnd && !line) return false;
    if (hasSelectedText()) {
        DeleteChecked(false);
        return true;
    }
    int caret = cursorPosition();
    if (wordBack) cursorWordBackward(true);
    if (wordForward) cursorWordForward(true);
    if (toEnd) end(true);
    if (line) selectAll();
    if (hasSelectedText() && !DeleteChecked(false)) setCursorPosition(caret);
    return true;
}

bool CFileEdit::TypeByKey(QKeyEvent* e) {
    const QString typed = e->text();
    const bool command = (e->modifiers() & (Qt::ControlModifier | Qt::MetaModifier)) != 0;
    if (typed.isEmpty() || command) return false;
    for (char32_t ch : typed.toUcs4())
        if (IsControl(ch)) return false;
    TypeText(typed);
    return true;
}

void CFileEdit::keyPressEvent(QKeyEvent* e) {
    if (isReadOnly()) {
        QLineEdit::keyPressEvent(e);
        return;
    }
    if (e->matches(QKeySequence::Paste)) {
        PasteFiltered();
        return;
    }
    if (e->matches(QKeySequence::Cut)) {
        CutFiltered();
        return;
    }
    if (DeleteByKey(e)) return;
    if (e->key() == Qt::Key_Backspace || e->key() == Qt::Key_Delete) {
        DeleteChecked(e->key() == Qt::Key_Delete);
        return;
    }
    if (TypeByKey(e)) return;
    // Moving, selecting, copying, undo, and keys for the dialog (Enter, Escape).
    QLineEdit::keyPressEvent(e);
}

void CFileEdit::inputMethodEvent(QInputMethodEvent* e) {
    if (e->commitString().isEmpty() || isReadOnly()) {
        QLineEdit::inputMethodEvent(e);
        return;
    }
    // The composition ends as the box shows it; the composed text is typed like keys.
    QInputMethodEvent rest;
    QLineEdit::inputMethodEvent(&rest);
    TypeText(e->commitString());
}

void CFileEdit::contextMenuEvent(QContextMenuEvent* e) {
    // The box's own menu, so that its editing commands go through the rules like the keys.
    auto* menu = new QMenu(this);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    auto add = [menu](const QString& text, QKeySequence::StandardKey key, bool enabled) {
        QString shortcut = QKeySequence(key).toString(QKeySequence::NativeText);
        QAction* action = menu->addAction(shortcut.isEmpty() ? text : text + '\t' + shortcut);
        action->setEnabled(enabled);
        return action;
    };
    const bool editable = !isReadOnly();
    const bool selection = hasSelectedText();
    connect(add(tr("&Undo"), QKeySequence::Undo, editable && isUndoAvailable()),
            &QAction::triggered, this, &QLineEdit::undo);
    connect(add(tr("&Redo"), QKeySequence::Redo, editable && isRedoAvailable()),
            &QAction::triggered, this, &QLineEdit::redo);
    menu->addSeparator();
    connect(add(tr("Cu&t"), QKeySequence::Cut, editable && selection), &QAction::triggered, this,
            &CFileEdit::CutFiltered);
    connect(add(tr("&Copy"), QKeySequence::Copy, selection), &QAction::triggered, this,
            &QLineEdit::copy);
    connect(add(tr("&Paste"), QKeySequence::Paste,
                editable && !QApplication::clipboard()->text().isEmpty()),
            &QAction::triggered, this, &CFileEdit::PasteFiltered);
    connect(add(tr("Delete"), QKeySequence::UnknownKey, editable && selection), &QAction::triggered,
            this, [this] { DeleteChecked(false); });
    menu->addSeparator();
    connect(add(tr("Select All"), QKeySequence::SelectAll, !text().isEmpty()), &QAction::triggered,
            this, &QLineEdit::selectAll);
    menu->popup(e->globalPos());
}

}  // namespace ts
