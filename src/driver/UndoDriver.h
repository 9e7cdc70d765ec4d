// Undo of the last run, from its journal (site/JournalUndo.h): it works the same whether the
// run ended, was cancelled or was killed, in this process or an earlier one, and writes the
// undo report: names given back, re-pointed links, link texts and line ends restored, and an
// error line for everything that changed since the run and was left as it is.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "site/JournalUndo.h"

namespace ts {

class CRunContext;
class CRunUi;
class CTempReports;
class CTessaryDoc;
class CTreeLock;

class CUndoDriver {
public:
    explicit CUndoDriver(CTessaryDoc& doc);
    ~CUndoDriver();

    void Run();

private:
    // False when the journal could not be read: nothing was undone.
    bool Undo();
    // Tells why the journal of the run on top could not be read; false.
    bool NotRead(const std::string& top);
    void Report(const std::vector<UndoOutcome>& outcomes);
    void Finish();
    // -1 when the user must be told that the reports were moved.
    int FinalReport(bool reportsWhole, std::string& shown);

    CTessaryDoc& m_doc;
    CRunUi& m_ui;
    std::unique_ptr<CRunContext> m_pCtx;
    std::string m_strFolder;
    std::string m_strTop;
    // Something could not be undone and may be tried again.
    bool m_bFailed = false;
    // Files changed since the run were left: the journal keeps their originals.
    bool m_bPartly = false;
    // The run's changes were never made: there is nothing to report.
    bool m_bNothing = false;
    std::unique_ptr<CTempReports> m_pReports;
    std::unique_ptr<CTreeLock> m_pTreeLock;
};

}  // namespace ts
