#include "site/LineEndVerify.h"

#include "base/RunContext.h"
#include "base/Strings.h"
#include "platform/ShownText.h"
#include "site/DirNode.h"

namespace ts {

std::vector<LineEndRow> LineEndRows(CDirNode& top) {
    std::vector<LineEndRow> rows;
    size_t n = top.m_strPath.size();
    CTreeIterator it(&top);
    while (CFileNode* node = it.Next()) {
        if (!node->m_bMarked) continue;
        LineEndRow row;
        row.node = node;
        row.text = node->m_strPath.substr(std::min(n, node->m_strPath.size()));
        rows.push_back(std::move(row));
    }
    return rows;
}

int ApplyLineEndRows(CRunContext& ctx, const std::vector<LineEndRow>& rows) {
    bool heading = false;
    int checked = 0;
    for (const LineEndRow& row : rows) {
        if (row.checked) {
            ++checked;
            continue;
        }
        if (!heading) {
            ctx.statusReport << kSeparatorLine << LoadString(IDS_NOT_UPDATED_HEADING) << "\n"
                             << kSeparatorLine;
            heading = true;
        }
        row.node->m_bMarked = false;
        ctx.statusReport << ShownName(row.node->m_strPath) << "\n";
    }
    if (heading) ctx.statusReport << kSectionGap;
    return checked > 0 ? 1 : 0;
}

VerifyAsciiResult VerifyLineEnds(CRunContext& ctx, CRunUi& ui, CDirNode& top) {
    std::vector<LineEndRow> rows = LineEndRows(top);
    VerifyChoices choices = ui.VerifyLineEnds(top.m_strPath, rows);
    if (!choices.bOk) return VERIFY_ASCII_CANCEL;
    for (size_t i = 0; i < rows.size() && i < choices.checked.size(); ++i)
        rows[i].checked = choices.checked[i];
    return ApplyLineEndRows(ctx, rows) > 0 ? VERIFY_ASCII_SOME : VERIFY_ASCII_NONE;
}

}  // namespace ts
