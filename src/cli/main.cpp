#include <unistd.h>

#include "cli/Cli.h"
#include "platform/StopSignals.h"

int main(int argc, char** argv) {
    ts::CliStreams io;
    io.interactive = ::isatty(STDIN_FILENO) && ::isatty(STDERR_FILENO);
    io.progress = ::isatty(STDERR_FILENO);
    io.outTerminal = ::isatty(STDOUT_FILENO);
    ts::InstallStopSignals();
    return ts::RunCli(argc, argv, io, ts::RealFileSystem());
}
