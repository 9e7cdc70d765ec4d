// What a run found, as records for the machine-readable reports (JSON, SARIF, annotations). A
// run keeps them only when such a report was asked for: the text report is written as the
// passes go and needs none of this.
#pragma once

#include <cstddef>
#include <mutex>
#include <string>
#include <vector>

namespace ts {

enum class FindingKind : unsigned char {
    SyntaxError,     // an HTML syntax error of a page
    BrokenLink,      // a local link that leads to no file
    BrokenFragment,  // a local link whose #fragment names no id or name of its page
    UnusedFile,      // a file no page of the site leads to
    ExternalUrl,     // a link that leaves the site (listed, not checked)
    NewName,         // a name made or suggested for the target file system
    FileProblem,     // a file or directory that could not be read or changed
    // With --check-external, for each file and line that holds the URL:
    ExternalFailed,     // an external URL that is dead (an error status, a time-out, no host)
    ExternalMoved,      // an external URL that moved permanently to a working address
    ExternalUnchecked,  // an external URL whose server would not answer a robot (401, 403, 429)
};

// The kind's name in the machine-readable reports ("broken-link").
const char* KindName(FindingKind kind);

struct Finding {
    FindingKind kind = FindingKind::FileProblem;
    std::string file;     // the file's full path
    int line = 0;         // from 1; 0 when the finding is about a whole file
    int column = 0;       // from 1, in bytes; 0 when unknown
    std::string link;     // the link as the page gives it, decoded
    std::string target;   // a broken link's missing path (a directory's ends in "/")
    std::string newName;  // the new full path of a renamed entry; a moved URL's new address
    std::string message;  // what the text report says about it
};

// Collects findings from the passes, some of which run on other threads. Work done ahead of a
// walk keeps its page's findings in one of its own until the walk takes the page (MoveTo).
class CFindings {
public:
    void Add(Finding finding);
    // A file or directory that could not be read or changed.
    void AddProblem(const std::string& file, const std::string& message);
    // Hands every finding over to another, in the order they were added.
    void MoveTo(CFindings& other);
    // The memory the findings take, roughly: what work held ahead of a walk counts.
    size_t Bytes() const;
    // A page whose syntax and links were checked (one test case of a JUnit report).
    void Checked(const std::string& page);

    // Hands the findings over, by kind, then file, line and column: threads working ahead do
    // not change the order.
    std::vector<Finding> TakeSorted();
    // In the order the walk took them.
    std::vector<std::string> CheckedPages() const;

private:
    mutable std::mutex m_mutex;
    std::vector<Finding> m_findings;
    std::vector<std::string> m_checked;
};

}  // namespace ts
