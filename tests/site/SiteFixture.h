// A scanned site in a temporary directory, with its run context, reports and scripted user
// interface, for tests of the passes that work on the tree.
#pragma once

#include <memory>
#include <string>

#include "base/RunContext.h"
#include "html/HtmlNode.h"
#include "site/DirXpNode.h"
#include "site/Rename.h"
#include "site/TreeWriter.h"
#include "support/ScriptedUi.h"
#include "support/TempDir.h"

namespace ts::test {

class CSiteFixture {
public:
    explicit CSiteFixture(CFileSystem& fs = RealFileSystem()) : ctx(fs, ui) {
        m_status = fs.CreateTemp(tmp.Path(), "ts_", m_statusPath);
        m_error = fs.CreateTemp(tmp.Path(), "ts_", m_errorPath);
        ctx.statusReport.Attach(m_status.get());
        ctx.errorReport.Attach(m_error.get());
    }
    ~CSiteFixture() {
        top.reset();
        ctx.statusReport.Detach();
        ctx.errorReport.Detach();
    }

    // Scans the site directory (logs opened as a renaming run with logs would).
    void Scan(bool logs = false) {
        top = MakeRunTree(ctx, site.Path(), MakeWebFileNode);
        top->Scan(true, logs ? &writer : nullptr, false);
    }
    // The name-check pass; the number of entries that need a new name, or -1.
    int CheckNames(int target, int webExt = 0, bool autoFileName = true) {
        m_bAutoFileName = autoFileName;
        return top->ForEach(
            [&](CFileNode& node, bool& cancel) {
                return node.CheckName(target, &m_bAutoFileName, webExt, &cancel) ? 1 : 0;
            },
            "Validating Filenames");
    }
    int RenameAll(bool log, ReadOnlyChoice* autoReadOnly) {
        return top->ForEach(
            [&](CFileNode& node, bool&) {
                return RenameEntry(writer, node, log, *autoReadOnly) ? 1 : 0;
            },
            "Renaming Files");
    }
    // The node scanned at a path relative to the site.
    CFileNode* Node(const std::string& rel) { return top->SiteMap().Lookup(site / rel); }
    std::string NewName(const std::string& rel) {
        CFileNode* n = Node(rel);
        return n ? n->m_strNewName : "<no node>";
    }
    // The reports so far, with "\n" line ends.
    std::string Status() { return Read(ctx.statusReport, m_statusPath); }
    std::string Errors() { return Read(ctx.errorReport, m_errorPath); }

    CTempDir site, tmp;
    CScriptedUi ui;
    CRunContext ctx;
    CTreeWriter writer{ctx};
    std::unique_ptr<CDirXpNode> top;

private:
    static std::string Read(CReportStream& stream, const std::string& path) {
        stream.Flush();
        return Lf(ReadFile(path));
    }

    bool m_bAutoFileName = true;
    std::string m_statusPath, m_errorPath;
    std::unique_ptr<CFile> m_status, m_error;
};

}  // namespace ts::test
