// A site in a temporary folder, scanned into a run context whose status and error reports go to
// files the test can read back, for driving the link engine's passes one by one.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "base/RunContext.h"
#include "html/Hierarchy.h"
#include "html/HtmlNode.h"
#include "html/TagScanner.h"
#include "platform/FileSystem.h"
#include "site/DirXpNode.h"
#include "support/ScriptedUi.h"
#include "support/TempDir.h"

namespace ts::test {

class CLinkSite {
public:
    explicit CLinkSite(CFileSystem& fs = RealFileSystem()) : ctx(fs, ui) {
        m_status = fs.OpenWrite(reports / "status");
        m_error = fs.OpenWrite(reports / "error");
        ctx.statusReport.Attach(m_status.get());
        ctx.errorReport.Attach(m_error.get());
    }
    ~CLinkSite() {
        top.reset();
        ctx.statusReport.Detach();
        ctx.errorReport.Detach();
    }

    std::string Write(const std::string& rel, const std::string& content) {
        return dir.Write(rel, content);
    }
    // Scans the site as a run does.
    void Scan() {
        top.reset();  // its site map goes with it
        top = MakeRunTree(ctx, dir.Path(), MakeWebFileNode);
        top->Scan(true, nullptr, false);
    }
    CFileNode* Node(const std::string& rel) { return top->SiteMap().Lookup(dir / rel); }
    CHtmlNode& Html(const std::string& rel) {
        CFileNode* n = Node(rel);
        EXPECT_TRUE(n && n->IsHtmlNode()) << rel;
        return static_cast<CHtmlNode&>(*n);
    }
    // Scans and walks from the home page with ParseLinks; the walk's result.
    int Parse(const std::string& home = "index.html") {
        if (!top) Scan();
        return WalkHierarchy(Html(home), ParseLinks, "Checking URL Links");
    }
    // The records of a page as "line kind url -> target" lines.
    std::string Links(const std::string& rel) {
        CHtmlNode& n = Html(rel);
        std::string out;
        if (!n.m_pTags) return out;
        for (const auto& t : *n.m_pTags) {
            // A link to a file that needs no rewrite keeps no URL.
            out += std::to_string(t.m_nLine) + " " + "LEB"[static_cast<int>(t.m_nKind)];
            if (!t.m_strUrl.empty()) out += " " + t.m_strUrl.Str();
            if (t.m_pTarget) {
                const std::string& path = t.m_pTarget->m_strPath;
                // The top directory is "."
                out +=
                    " -> " + (path.size() > dir.Path().size() ? path.substr(dir.Path().size() + 1)
                                                              : std::string("."));
            }
            if (t.m_bRewrite) out += " !";
            out += "\n";
        }
        return out;
    }
    std::string Status() {
        ctx.statusReport.Flush();
        return Lf(ReadFile(reports / "status"));
    }
    std::string Errors() {
        ctx.errorReport.Flush();
        return Lf(ReadFile(reports / "error"));
    }
    std::string Path(const std::string& rel) const { return dir / rel; }

    CTempDir dir;
    CTempDir reports;
    CScriptedUi ui;
    CRunContext ctx;
    std::unique_ptr<CDirXpNode> top;

private:
    std::unique_ptr<CFile> m_status;
    std::unique_ptr<CFile> m_error;
};

}  // namespace ts::test
