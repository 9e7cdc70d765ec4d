#include "app/RunContext.h"
#include "site/DirNode.h"

namespace ts {

bool CFileNode::RenameEntry(bool, int*) { return false; }
bool CFileNode::CheckReadOnly(int*) { return true; }
bool CFileNode::ReportNewName() { return false; }
bool CFileNode::PrepareUndo() { return false; }

}  // namespace ts
