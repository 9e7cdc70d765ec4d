// The eleven pages of the setup wizard. Each page shows some of the page values; the pages
// that decide where Next and Back go, or check what was typed, do so from the current choices.
#pragma once

#include <string>
#include <vector>

#include "ui/WizardSheet.h"

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QLineEdit;
class QPlainTextEdit;
class QRadioButton;

namespace ts {

// Creates the pages in the sheet's order.
std::vector<CWizardPage*> MakeWizardPages(CWizardSheet& sheet);

// A page whose controls are groups of radio buttons, check boxes and drop-down lists, each
// bound to one page value.
class CChoicePage : public CWizardPage {
    Q_OBJECT
public:
    using CWizardPage::CWizardPage;

    // The n-th radio button of the page's g-th group.
    QRadioButton* Radio(int group, int n) const;

protected:
    QButtonGroup* AddRadioGroup(int PageValues::*value, const QStringList& texts);
    QCheckBox* AddCheck(int PageValues::*value, const QString& text);
    QComboBox* AddList(int PageValues::*value, const QString& label, const char* const* rows,
                       const int* codes, int count);
    bool DoDataExchange(bool save) override;

private:
    struct Binding {
        QButtonGroup* group = nullptr;
        QCheckBox* check = nullptr;
        QComboBox* list = nullptr;
        int PageValues::*value;
    };
    std::vector<Binding> m_bindings;
    std::vector<QButtonGroup*> m_groups;
};

class CPage1 : public CWizardPage {
    Q_OBJECT
public:
    explicit CPage1(CWizardSheet& sheet);
};

class CPage2 : public CChoicePage {
    Q_OBJECT
public:
    explicit CPage2(CWizardSheet& sheet);
    QComboBox* TargetList() const { return m_pList; }

private:
    QComboBox* m_pList;
};

class CPage3 : public CChoicePage {
    Q_OBJECT
public:
    explicit CPage3(CWizardSheet& sheet);
    QComboBox* LineEndList() const { return m_pList; }

private:
    QComboBox* m_pList;
};

// Check URLs: whether links are checked, and the Web-extension convention, which follows the
// target.
class CPage6 : public CChoicePage {
    Q_OBJECT
public:
    explicit CPage6(CWizardSheet& sheet);
    int OnWizardNext() override;

protected:
    void OnSetActive() override;

private:
    void OnCheckUrls();
    QButtonGroup* m_pFilesOnly;
    QButtonGroup* m_pRenameHtml;
};

class CPage4 : public CChoicePage {
    Q_OBJECT
public:
    explicit CPage4(CWizardSheet& sheet);
    QComboBox* RedirectList() const { return m_pRedirects; }

private:
    QComboBox* m_pRedirects;
};

class CPage5 : public CChoicePage {
    Q_OBJECT
public:
    explicit CPage5(CWizardSheet& sheet);
};

class CPage9 : public CChoicePage {
    Q_OBJECT
public:
    explicit CPage9(CWizardSheet& sheet);
    int OnWizardBack() override;
};

// Directory: the directory to process, checked before the user may go on.
class CPageF : public CChoicePage {
    Q_OBJECT
public:
    explicit CPageF(CWizardSheet& sheet);
    int OnWizardNext() override;
    int OnWizardBack() override;

    QLineEdit* DirectoryEdit() const { return m_pDirectory; }
    QCheckBox* UseSubdirsBox() const { return m_pUseSubdirs; }
    QCheckBox* LogSubdirsBox() const { return m_pLogSubdirs; }
    QCheckBox* ReportSpecialBox() const { return m_pReportSpecial; }
    QLabel* LogText() const { return m_pLogText; }
    const std::string& ShownDirectory() const { return m_strShownDirectory; }

protected:
    void OnSetActive() override;
    bool DoDataExchange(bool save) override;

private:
    void EnableLogOptions();
    void OnBrowse();

    QLineEdit* m_pDirectory;
    QCheckBox* m_pUseSubdirs;
    QCheckBox* m_pLogSubdirs;
    QCheckBox* m_pReportSpecial;
    QLabel* m_pLogText;
    std::string m_strShownDirectory;
};

// Home Page: the page the site's hierarchy starts from.
class CPage7 : public CWizardPage {
    Q_OBJECT
public:
    explicit CPage7(CWizardSheet& sheet);
    int OnWizardNext() override;
    QLineEdit* HomePageEdit() const { return m_pHomePage; }

protected:
    void OnSetActive() override;
    bool DoDataExchange(bool save) override;

private:
    void OnBrowse();
    QLineEdit* m_pHomePage;
};

class CPage8 : public CChoicePage {
    Q_OBJECT
public:
    explicit CPage8(CWizardSheet& sheet);
    QCheckBox* UnresolvedBox() const { return m_pUnresolved; }
    QCheckBox* UnusedBox() const { return m_pUnused; }
    QCheckBox* ExternalBox() const { return m_pExternal; }
    QCheckBox* FragmentsBox() const { return m_pFragments; }
    QCheckBox* CheckExternalBox() const { return m_pCheckExternal; }

private:
    QCheckBox* m_pUnresolved;
    QCheckBox* m_pFragments;
    QCheckBox* m_pUnused;
    QCheckBox* m_pExternal;
    QCheckBox* m_pCheckExternal;
};

// Summary: every choice in words, before Finish starts the run.
class CPageG : public CWizardPage {
    Q_OBJECT
public:
    explicit CPageG(CWizardSheet& sheet);
    int OnWizardBack() override;
    QPlainTextEdit* SummaryEdit() const { return m_pSummary; }

protected:
    void OnSetActive() override;

private:
    QPlainTextEdit* m_pSummary;
};

// The summary text as the page shows it: the settings summary, and the advice to back up
// when the run is going to change files.
std::string WizardSummary(const RunSettings& s);

}  // namespace ts
