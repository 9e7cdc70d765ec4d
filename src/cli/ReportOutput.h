// Where tessary-cli puts a final report: a file keeps the saved-report form (CR LF line ends);
// standard output gets LF line ends, as every tool in a pipeline expects, and on a terminal its
// control characters shown escaped. A report that cannot be written whole is an error that
// names its cause.
#pragma once

#include <string>

#include "cli/Cli.h"

namespace ts {

class CTessaryDoc;

// Writes the document's report to reportFile ("-" or empty: standard output). False, with a
// message on standard error that names the cause, when it could not be written whole.
bool PrintReport(CFileSystem& fs, const std::string& reportFile, const CTessaryDoc& doc,
                 const CliStreams& io);

// The same for a report already made whole (a machine-readable one), written as it is.
bool PrintText(CFileSystem& fs, const std::string& reportFile, const std::string& text,
               const CliStreams& io);

// Text for standard output, given in blocks: CR LF becomes LF; a CR that ends a block is held
// until the next one shows whether LF follows.
class CLfText {
public:
    std::string Feed(std::string_view bytes);
    std::string Finish();

private:
    bool m_bHeldCr = false;
};

}  // namespace ts
