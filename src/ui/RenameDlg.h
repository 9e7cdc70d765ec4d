// The "Rename File" prompt: the entry's directory and name, and a box in which only a valid
// name for the target can be typed. The name-check pass asks it for every entry that needs a
// new name (with "Accept All" and "No Rename"); Verify Filenames uses it to edit one name.
#pragma once

#include <QDialog>
#include <string>

#include "site/RenamePrompt.h"

class QLabel;
class QLineEdit;
class QPushButton;

namespace ts {

class CFileEdit;
class CFileNode;

class CRenameDlg : public QDialog {
    Q_OBJECT
public:
    // The dialog ends with RENAME_ACCEPT, RENAME_ACCEPT_ALL, RENAME_NO_RENAME or
    // RENAME_CANCEL; an accepted name has been stored in the node.
    CRenameDlg(CFileNode* node, int nTarget, bool bInPass, QWidget* parent = nullptr);
    // The prompt's entry, target and buttons.
    explicit CRenameDlg(const CRenamePrompt& prompt, QWidget* parent = nullptr);

    QLabel* MessageLabel() const { return m_pMessage; }
    QLineEdit* DirectoryField() const { return m_pDirectory; }
    QLineEdit* OriginalField() const { return m_pOriginal; }
    CFileEdit* NameEdit() const { return m_pName; }
    QPushButton* AcceptButton() const { return m_pAccept; }
    QPushButton* AcceptAllButton() const { return m_pAcceptAll; }
    QPushButton* NoRenameButton() const { return m_pNoRename; }
    QPushButton* CancelButton() const { return m_pCancel; }

public slots:
    void reject() override;

protected:
    void showEvent(QShowEvent* e) override;

private:
    void OnAccept(int result);
    // The field's text as bytes; an untouched field gives back the bytes it was filled with,
    // so a name that is not valid UTF-8 survives being shown.
    std::string FieldBytes() const;
    void SetField(const std::string& bytes);

    CRenamePrompt m_prompt;
    std::string m_strFieldBytes;
    QLabel* m_pMessage;
    QLineEdit* m_pDirectory;
    QLineEdit* m_pOriginal;
    CFileEdit* m_pName;
    QPushButton* m_pAccept;
    QPushButton* m_pAcceptAll;
    QPushButton* m_pNoRename;
    QPushButton* m_pCancel;
};

}  // namespace ts
