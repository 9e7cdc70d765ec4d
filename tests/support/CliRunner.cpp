#include "support/CliRunner.h"

#include <cstdio>
#include <cstdlib>

#include "cli/Cli.h"
#include "support/TempDir.h"

extern char** environ;

namespace ts::test {
namespace {

std::string Drain(std::FILE* f) {
    std::fflush(f);
    std::rewind(f);
    std::string s;
    char buf[4096];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0)
        s.append(buf, n);
    std::fclose(f);
    return s;
}

}  // namespace

CliResult RunCliWith(std::vector<std::string> args, const std::string& input, bool terminal,
                     CFileSystem& fs) {
    static CTempDir profileDir;
    ::setenv("TESSARY_PROFILE", (profileDir / "tessary.ini").c_str(), 1);
    CliStreams io;
    io.in = std::tmpfile();
    std::fwrite(input.data(), 1, input.size(), io.in);
    std::rewind(io.in);
    io.out = std::tmpfile();
    io.err = std::tmpfile();
    io.interactive = terminal;
    io.progress = false;
    args.insert(args.begin(), "tessary-cli");
    std::vector<const char*> argv;
    for (const std::string& a : args)
        argv.push_back(a.c_str());
    int code = RunCli(static_cast<int>(argv.size()), argv.data(), io, fs);
    std::fclose(io.in);
    return {code, Drain(io.out), Drain(io.err)};
}

int SpawnCli(const std::vector<std::string>& args, const posix_spawn_file_actions_t& fa,
             pid_t& pid) {
    std::vector<std::string> all{TESSARY_CLI_PATH};
    all.insert(all.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (auto& a : all)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    return ::posix_spawn(&pid, TESSARY_CLI_PATH, &fa, nullptr, argv.data(), environ);
}

}  // namespace ts::test
