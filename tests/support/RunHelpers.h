// Shortcuts for tests that perform whole runs through the engine.
#pragma once

#include <ctime>
#include <memory>
#include <string>

#include "driver/TessaryDoc.h"
#include "support/ScriptedUi.h"

namespace ts::test {

// Settings for a run of dir with every option at its default and names chosen automatically.
inline RunSettings DefaultSettings(const std::string& dir, const std::string& home = {}) {
    RunSettings s;
    s.Directory = dir;
    s.HomePage = home;
    s.AutoFileName = true;
    s.ReportSpecial = 0;
    s.DeriveUpdateLinks();
    return s;
}

// A document whose clock is fixed, whose temporary reports go to tempDir and whose editor is
// the script's.
inline std::unique_ptr<CTessaryDoc> MakeDoc(CFileSystem& fs, CScriptedUi& ui,
                                            const std::string& tempDir) {
    auto doc = std::make_unique<CTessaryDoc>(fs, ui, nullptr, nullptr);
    doc->m_now = [] { return std::time_t(0); };
    doc->m_tempDir = tempDir;
    doc->m_pEditor = &ui;
    return doc;
}

}  // namespace ts::test

namespace ts::test {

// The text of a report section: everything between its heading block and the next heading
// block (or the end of the report), blank lines included.
inline std::string ReportSection(const std::string& report, const std::string& heading) {
    std::string block = std::string(kSeparatorLine) + heading + "\n" + std::string(kSeparatorLine);
    size_t start = report.find(block);
    if (start == std::string::npos) return "<no section " + heading + ">";
    start += block.size();
    size_t end = report.find(kSeparatorLine, start);
    return report.substr(start, end == std::string::npos ? std::string::npos : end - start);
}

}  // namespace ts::test
