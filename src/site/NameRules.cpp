#include "app/RunContext.h"
#include "site/DirNode.h"
#include "site/DirXpNode.h"

namespace ts {

bool CFileNode::SuggestName(int) { return false; }
int CFileNode::DirPrefixLength() const { return 0; }
bool CFileNode::CheckName(int, bool*, int, bool*) { return false; }
int CFileNode::MakeUnique(CFileNode*, std::string&, char, int) { return 0; }
int CDirNode::MakeUnique(CFileNode*, std::string&, char, int) { return 0; }
bool CDirXpNode::CheckName(int, bool*, int, bool*) { return false; }

}  // namespace ts
