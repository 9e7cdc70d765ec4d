#include "platform/Editor.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "platform/DefaultEditor.h"

namespace ts {
namespace {

bool IsExecutableFile(const std::string& path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) &&
           ::access(path.c_str(), X_OK) == 0;
}

// Runs in the forked child: only async-signal-safe calls until exec. The grandchild runs the
// editor; the child ends at once, so that init adopts the grandchild and reaps it.
[[noreturn]] void ExecGrandchild(const char* file, char* const argv[], int errorPipe) {
    ::setsid();
    pid_t pid = ::fork();
    if (pid == 0) {
        ::execv(file, argv);
        int error = errno;
        (void)!::write(errorPipe, &error, sizeof error);
        ::_exit(127);
    }
    if (pid < 0) {
        int error = errno;
        (void)!::write(errorPipe, &error, sizeof error);
    }
    ::_exit(0);
}

// Waits for the child that forked the editor; true when exec succeeded: the pipe then closes
// without a word.
bool ReapChild(pid_t child, int errorPipe) {
    int error = 0;
    ssize_t n;
    do
        n = ::read(errorPipe, &error, sizeof error);
    while (n < 0 && errno == EINTR);
    int status = 0;
    pid_t waited;
    do
        waited = ::waitpid(child, &status, 0);
    while (waited < 0 && errno == EINTR);
    return n == 0 && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

}  // namespace

std::string FindExecutable(const std::string& editor) {
    if (editor.find('/') != std::string::npos)
        return IsExecutableFile(editor) ? editor : std::string();
    if (editor.empty()) return std::string();
    const char* path = std::getenv("PATH");
    std::string dirs = path ? path : "";
    for (size_t start = 0; start <= dirs.size();) {
        size_t end = dirs.find(':', start);
        if (end == std::string::npos) end = dirs.size();
        std::string dir = dirs.substr(start, end - start);
        start = end + 1;
        if (dir.empty()) continue;
        std::string candidate = dir + "/" + editor;
        if (IsExecutableFile(candidate)) return candidate;
    }
    return std::string();
}

bool StartDetached(const std::string& editor, const std::string& path) {
    return StartDetached(std::vector<std::string>{editor}, path);
}

bool StartDetached(const std::vector<std::string>& command, const std::string& path) {
    if (command.empty()) return false;
    std::string file = FindExecutable(command[0]);
    if (file.empty()) return false;
    // The argument vector is built before the fork: the child must not allocate. A report
    // name that starts with "-" must not be taken for an option.
    std::vector<std::string> args = command;
    args.push_back(path.starts_with('-') ? "./" + path : path);
    std::vector<char*> argv;
    for (std::string& arg : args)
        argv.push_back(arg.data());
    argv.push_back(nullptr);
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) return false;
    pid_t child = ::fork();
    if (child == 0) {
        ::close(fds[0]);
        ExecGrandchild(file.c_str(), argv.data(), fds[1]);
    }
    ::close(fds[1]);
    bool started = child > 0 && ReapChild(child, fds[0]);
    ::close(fds[0]);
    return started;
}

namespace {

class CSystemEditorLauncher : public CEditorLauncher {
public:
    bool FindEditor(const std::string& editor) override;
    bool StartEditor(const std::string& editor, const std::string& reportPath) override;
    bool StartDefaultEditor(const std::string& reportPath) override;
};

bool CSystemEditorLauncher::FindEditor(const std::string& editor) {
    return !FindExecutable(editor).empty();
}

bool CSystemEditorLauncher::StartEditor(const std::string& editor, const std::string& reportPath) {
    return StartDetached(editor, reportPath);
}

bool CSystemEditorLauncher::StartDefaultEditor(const std::string& reportPath) {
    return ts::StartDefaultEditor(reportPath);
}

}  // namespace

CEditorLauncher& SystemEditorLauncher() {
    static CSystemEditorLauncher launcher;
    return launcher;
}

}  // namespace ts
