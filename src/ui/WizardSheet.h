// The setup wizard: a modal sheet of pages with Back, Next, Finish and Cancel, through which
// the user chooses the options of a run. The pages exchange their controls with one page-values
// record; the settings are read back from it only when the sheet ends with Finish.
#pragma once

#include <QDialog>
#include <QString>
#include <utility>
#include <vector>

#include "base/RunSettings.h"

class QLabel;
class QPushButton;
class QStackedWidget;
class QVBoxLayout;

namespace ts {

class CBigButton;
class CFileSystem;
class CWizardSheet;

// The wizard buttons a page asks for.
enum { PSWIZB_BACK = 0x1, PSWIZB_NEXT = 0x2, PSWIZB_FINISH = 0x4 };

// The pages in the sheet's order.
enum {
    PAGE_INTRO,
    PAGE_TARGET,
    PAGE_LINE_ENDS,
    PAGE_CHECK_URLS,
    PAGE_RENAME,
    PAGE_PROMPT,
    PAGE_READ_ONLY,
    PAGE_DIRECTORY,
    PAGE_HOME_PAGE,
    PAGE_REPORT_LINKS,
    PAGE_SUMMARY,
    PAGE_COUNT
};

class CWizardPage : public QWidget {
    Q_OBJECT
public:
    // What OnWizardNext and OnWizardBack answer besides a page index.
    static constexpr int kFollowing = -1;  // the following (or preceding) page in order
    static constexpr int kStay = -2;

    CWizardPage(CWizardSheet& sheet, const QString& title, int buttons);

    const QString& Title() const { return m_strTitle; }
    // "Tessary: <title>", shown in the sheet's title bar while the page is current.
    const QString& Caption() const { return m_strCaption; }
    CBigButton* Picture() const { return m_picture; }

    // Activation: the wizard buttons, the picture (first time), the page's own preparation,
    // then its values into its controls.
    void Activate();
    // Deactivation: the controls into the values; false keeps the page.
    bool KillActive() { return DoDataExchange(true); }

    virtual int OnWizardNext() { return kFollowing; }
    virtual int OnWizardBack() { return kFollowing; }

protected:
    // Runs on every activation before the values reach the controls.
    virtual void OnSetActive() {}
    // save: controls into values; otherwise values into controls. False when a value is bad.
    virtual bool DoDataExchange(bool save) {
        (void)save;
        return true;
    }

    CWizardSheet& Sheet() const { return m_sheet; }
    PageValues& Values() const;
    QVBoxLayout* Body() const { return m_pBody; }
    // A paragraph of plain text added to the page.
    QLabel* AddText(const QString& text);
    // A paragraph from the string table whose "%1" is the application's name (set again on
    // every activation).
    QLabel* AddAppText(int id);
    // A message box over the sheet; returns ID_OK or ID_CANCEL.
    int Box(const std::string& text, int style = 0) const;

private:
    CWizardSheet& m_sheet;
    QString m_strTitle;
    QString m_strCaption;
    int m_nButtons;
    CBigButton* m_picture;
    bool m_bPictureAttached = false;
    QVBoxLayout* m_pBody;
    std::vector<std::pair<QLabel*, int>> m_appTexts;
};

class CWizardSheet : public QDialog {
    Q_OBJECT
public:
    explicit CWizardSheet(CFileSystem& fs, QWidget* parent = nullptr);
    ~CWizardSheet() override;

    // Loads the pages from the settings, runs the sheet and, after Finish only, reads the
    // pages back into the settings.
    bool Run(RunSettings& settings);

    PageValues& Values() { return m_values; }
    // The current choices: the values of every page as a settings record.
    RunSettings CurrentChoices() const;
    CFileSystem& FileSystem() const { return m_fs; }

    int PageCount() const { return static_cast<int>(m_pages.size()); }
    CWizardPage* Page(int index) const { return m_pages.at(static_cast<size_t>(index)); }
    int CurrentIndex() const { return m_nCurrent; }
    CWizardPage* CurrentPage() const { return Page(m_nCurrent); }
    // Shows a page without deactivating the current one (the first page, and tests).
    void SetActivePage(int index);
    void SetWizardButtons(int flags);

    QPushButton* BackButton() const { return m_pBack; }
    QPushButton* NextButton() const { return m_pNext; }
    QPushButton* FinishButton() const { return m_pFinish; }
    QPushButton* CancelButton() const { return m_pCancel; }

public slots:
    void Back();
    void Next();
    void Finish();

private:
    void Move(int target, int step);

    CFileSystem& m_fs;
    PageValues m_values;
    std::vector<CWizardPage*> m_pages;
    int m_nCurrent = -1;
    QStackedWidget* m_pStack;
    QPushButton* m_pBack;
    QPushButton* m_pNext;
    QPushButton* m_pFinish;
    QPushButton* m_pCancel;
};

}  // namespace ts
