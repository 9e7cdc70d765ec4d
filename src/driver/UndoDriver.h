// Undo of the last run: renames reversed (directories before their contents), symbolic links
// given their old texts, links rewritten to the restored names, converted line ends converted
// back. It works once on the tree the run kept, which is discarded at its end.
#pragma once

#include <memory>
#include <string>

#include "site/Rename.h"

namespace ts {

class CDirXpNode;
class CReportStream;
class CRunContext;
class CRunUi;
class CTempReports;
class CTessaryDoc;
class CTreeWriter;

class CUndoDriver {
public:
    explicit CUndoDriver(CTessaryDoc& doc);
    ~CUndoDriver();

    void Run();

private:
    void RunPasses();
    bool UndoRenames();
    void UndoLineEnds();
    void Finish();
    // -1 when the user must be told that the reports were moved.
    int FinalReport(bool reportsWhole, int nEntries, int nDirs, std::string& shown);

    CTessaryDoc& m_doc;
    CRunUi& m_ui;
    CRunContext& m_ctx;
    CDirXpNode& m_top;
    CTreeWriter& m_writer;
    ReadOnlyChoice m_autoReadOnly = RO_ASK;
    // Something was taken back, so there is a report to show.
    bool m_bUndone = false;
    std::unique_ptr<CTempReports> m_pReports;
};

}  // namespace ts
