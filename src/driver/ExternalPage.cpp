#include "driver/ExternalPage.h"

#include <cerrno>

#include "base/RunContext.h"
#include "base/Strings.h"
#include "platform/Path.h"
#include "platform/ShownText.h"
#include "site/DirNode.h"
#include "site/TreeWriter.h"

namespace ts {

CExternalPage::CExternalPage(CTreeWriter& writer, const CDirNode& top, std::string path)
    : m_writer(writer), m_strPath(std::move(path)), m_strName(BaseName(m_strPath)) {
    m_bInside = m_strPath.starts_with(top.m_strPath + "/");
    if (m_bInside) m_pDir = DirInSite(top);
}

CExternalPage::~CExternalPage() {
    Drop();
}

// The directory is named as the user knew it: one the run renamed takes the page along.
const CDirNode* CExternalPage::DirInSite(const CDirNode& top) {
    const std::string parent = DirName(m_strPath);
    const CDirNode* dir = &top;
    while (dir && dir->OrigPath() != parent) {
        const CDirNode* next = nullptr;
        for (const auto& child : dir->Children()) {
            const std::string& orig = child->OrigPath();
            if (child->IsDirNode() && parent.starts_with(orig) &&
                (parent.size() == orig.size() || parent[orig.size()] == '/'))
                next = static_cast<const CDirNode*>(child.get());
        }
        dir = next;
    }
    if (dir) m_strPath = JoinPath(dir->m_strPath, m_strName);
    return dir;
}

CFile* CExternalPage::Begin() {
    CRunContext& ctx = m_writer.Ctx();
    if (m_bInside) {
        if (m_pDir) m_pFile = m_writer.BeginOwnFile(*m_pDir, m_strTemp);
    } else {
        const std::string parent = DirName(m_strPath);
        m_pOutside = ctx.fs.OpenDir(parent.empty() ? "/" : parent);
        if (m_pOutside) m_pFile = m_pOutside->CreateTemp(".ts_", m_strTemp);
    }
    if (!m_pFile) {
        // A directory inside the site that the scan never saw has no open handle to write in.
        ctx.ErrorLine(m_strPath,
                      FailureText(IDS_OPEN_FAILED, m_bInside && !m_pDir ? ENOENT : errno));
        m_strTemp.clear();
    }
    return m_pFile.get();
}

void CExternalPage::Drop() {
    if (m_pFile) m_pFile->Close();
    m_pFile.reset();
    if (m_strTemp.empty()) return;
    if (m_bInside)
        m_writer.RemoveOwnFile(*m_pDir, m_strTemp);
    else
        m_pOutside->Remove(m_strTemp);
    m_strTemp.clear();
}

bool CExternalPage::Put(const std::function<bool()>& journal) {
    if (!m_pFile) return false;
    const bool closed = m_pFile->Close();
    m_pFile.reset();
    if (!closed) {
        m_writer.Ctx().ErrorLine(m_strPath, LoadString(IDS_WRITE_FAILED));
        Drop();
        return false;
    }
    const bool put = m_bInside ? PutInside(journal) : PutOutside();
    if (!put) Drop();
    m_strTemp.clear();
    return put;
}

// The user named this place outside the site: what was there gives way, as any file written
// to a path given on purpose would.
bool CExternalPage::PutOutside() {
    const bool ok =
        m_pOutside->SetMode(m_strTemp, 0644) && m_pOutside->Replace(m_strTemp, m_strName);
    if (!ok) m_writer.Ctx().ErrorLine(m_strPath, FailureText(IDS_WRITE_FAILED, errno));
    return ok;
}

// A run that changes nothing else has no journal; the page then replaces a file of the same
// name only once a journal keeps that file, so that no file of the user's goes without a way
// back.
bool CExternalPage::PutInside(const std::function<bool()>& journal) {
    CRunContext& ctx = m_writer.Ctx();
    FileStat st;
    const bool taken = ctx.fs.Stat(m_strPath, st);
    // A name that cannot be looked at may hold the user's file: nothing is put there.
    if (!taken && errno != ENOENT) {
        ctx.ErrorLine(m_strPath, FailureText(IDS_OPEN_FAILED, errno));
        return false;
    }
    if (taken && !m_writer.HasJournal() && !journal()) {
        ctx.ErrorLine(m_strPath, LoadString(IDS_JOURNAL_FAILED));
        return false;
    }
    // PutOwnFile takes the temporary file away when it returns; should it throw, the temporary
    // name stays known so that Drop removes the file.
    const bool put = m_writer.PutOwnFile(*m_pDir, m_strTemp, m_strName, "external page",
                                         ShownName(m_strPath) + "\n");
    m_strTemp.clear();
    return put;
}

}  // namespace ts
