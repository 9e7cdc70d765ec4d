// Workflow annotations: one "::error file=...,line=...,col=...::message" line per finding, which
// a CI job's log turns into notes on the files.
#include "cli/ReportFormats.h"

namespace ts {
namespace {

// The command's escapes: a property value also loses its ":" and "," to them.
std::string Escaped(const std::string& text, bool property) {
    std::string out;
    for (char c : ValidUtf8(text)) {
        if (c == '%')
            out += "%25";
        else if (c == '\r')
            out += "%0D";
        else if (c == '\n')
            out += "%0A";
        else if (property && c == ':')
            out += "%3A";
        else if (property && c == ',')
            out += "%2C";
        else
            out += c;
    }
    return out;
}

const char* CommandOf(FindingKind kind) {
    return SeverityWord(kind, "notice");
}

}  // namespace

std::string GithubReport(const FindingsReport& r) {
    std::string out;
    // A run that ended early must not pass for a check of the whole site.
    if (!r.completed)
        out += "::error title=" + Escaped("Run ended early", true) +
               "::" + Escaped(UnfinishedSentence(r), false) + "\n";
    // Annotations name files relative to the job's working directory, the checkout.
    for (const Finding& f : r.findings) {
        // External URLs are listed, not judged: no annotation for each of them.
        if (f.kind == FindingKind::ExternalUrl) continue;
        out += "::";
        out += CommandOf(f.kind);
        out += " file=" + Escaped(RelativeTo(r.workingDirectory, f.file), true);
        if (f.line > 0) out += ",line=" + std::to_string(f.line);
        if (f.column > 0) out += ",col=" + std::to_string(f.column);
        out += ",title=" + Escaped(KindTitle(f.kind), true);
        out += "::" + Escaped(FindingText(r, f), false) + "\n";
    }
    return out;
}

}  // namespace ts
