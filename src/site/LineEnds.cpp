#include "app/RunContext.h"
#include "site/FileNode.h"

namespace ts {

bool CFileNode::MarkLineEnd(int) { return false; }
int CFileNode::ConvertIfMarked(int, int*) { return 0; }
int CFileNode::RestoreLineEnd() { return 0; }
int CFileNode::ConvertLineEnds(int) { return 0; }
bool CFileNode::BuildLineEndTable(CFile&) { return false; }

}  // namespace ts
