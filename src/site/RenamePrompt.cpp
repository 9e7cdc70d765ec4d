#include "site/RenamePrompt.h"

#include "base/RunContext.h"
#include "base/Strings.h"
#include "platform/ShownText.h"
#include "site/DirNode.h"
#include "site/NameRules.h"

namespace ts {

CRenamePrompt::CRenamePrompt(CFileNode* node, int nTarget, bool bInPass)
    : m_pNode(node), m_nTarget(nTarget), m_bInPass(bInPass) {
    m_filter.SetTarget(nTarget);
    m_filter.SetMaxLength(node ? MaxNewNameLength(*node, nTarget) : RulesOf(nTarget).nMaxName);
}

std::string CRenamePrompt::Message() const {
    return FormatMessage(IDS_RENAME_PROMPT_MESSAGE, RulesOf(m_nTarget).strPromptName);
}

std::string CRenamePrompt::Directory() const {
    return m_pNode ? DirName(m_pNode->m_strPath) : std::string();
}

std::string CRenamePrompt::OriginalName() const {
    return m_pNode ? m_pNode->Name() : std::string();
}

std::string CRenamePrompt::InitialText() const {
    if (!m_pNode) return std::string();
    return m_pNode->m_strNewName.empty() ? m_pNode->Name() : m_pNode->m_strNewName;
}

bool CRenamePrompt::Accept(std::string& text, std::string& message) {
    message.clear();
    if (!m_pNode) return true;
    if (text.empty()) {
        message = LoadString(IDS_EMPTY_NAME);
        text = InitialText();
        return false;
    }
    // Whatever was pasted into the box: the entry must stay in its directory, and the target
    // must be able to hold its name.
    if (IsDotName(text) || text.find_first_of(kNeverInName) != std::string::npos ||
        TargetRefuses(m_nTarget, text)) {
        message = FormatMessage(IDS_NAME_NOT_ALLOWED, text);
        text = InitialText();
        return false;
    }
    if (text != m_pNode->m_strNewName && m_pNode->m_pParent) {
        int r = m_pNode->m_pParent->MakeUnique(m_pNode, text, RulesOf(m_nTarget).chSep,
                                               m_filter.MaxLength());
        if (r > 0) {
            message = LoadString(IDS_NOT_UNIQUE);
            return false;
        }
        if (r < 0) {
            message = FormatMessage(IDS_DIR_TOO_LONG_TO_RENAME, ShownName(m_pNode->m_strPath));
            return false;
        }
    }
    SetNewName(*m_pNode, text == m_pNode->Name() ? std::string() : text);
    return true;
}

}  // namespace ts
