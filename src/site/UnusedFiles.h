// The report of the files the site does not use: every entry that no link of the hierarchy
// reached, directories excepted.
#pragma once

namespace ts {

class CFileNode;

// Lists the node in the status report when the hierarchy walks left it unmarked; true then.
bool ReportIfUnused(CFileNode& node);

}  // namespace ts
