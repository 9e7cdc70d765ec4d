// How to replace the content of many files, and keep their old bytes for undo: the ways a
// run could do it, timed side by side on one file system. Run by hand:
//   c++ -O2 -std=c++20 bench/replace_modes.cpp -o /tmp/replace_modes
//   /tmp/replace_modes DIR [FILES]      (DIR on the file system to measure; default 20000)
// Each way rewrites every file of a fresh tree (FILES files of 6 KiB in directories of 100)
// with content of the same size; the tree is made before the clock starts. The last column
// is the way's time over cp -r of the tree plus sync.
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

namespace {

std::string g_root;
int g_files = 20000;
const std::string kOld(6144, 'o'), kNew(6144, 'n');

double Now() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

double CpuNow() {
    rusage u;
    getrusage(RUSAGE_SELF, &u);
    return u.ru_utime.tv_sec + u.ru_stime.tv_sec + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

std::string Path(const std::string& tree, int i) {
    return tree + "/d" + std::to_string(i / 100) + "/f" + std::to_string(i) + ".html";
}

void MakeTree(const std::string& tree) {
    std::system(("rm -rf '" + tree + "'").c_str());
    mkdir(tree.c_str(), 0755);
    for (int i = 0; i < g_files; ++i) {
        if (i % 100 == 0) mkdir((tree + "/d" + std::to_string(i / 100)).c_str(), 0755);
        int fd = open(Path(tree, i).c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (write(fd, kOld.data(), kOld.size()) < 0) std::abort();
        close(fd);
    }
    sync();
}

void Check(bool ok) {
    if (!ok) {
        std::perror("replace_modes");
        std::exit(1);
    }
}

// A new file beside the old one, renamed over it; sync after each file or once at the end.
void ViaRename(const std::string& tree, bool syncEach, const std::string* keepDir) {
    for (int i = 0; i < g_files; ++i) {
        std::string path = Path(tree, i), temp = path + ".tmp";
        if (keepDir) Check(link(path.c_str(), (*keepDir + "/" + std::to_string(i)).c_str()) == 0);
        int fd = open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0600);
        Check(fd >= 0 && write(fd, kNew.data(), kNew.size()) == (ssize_t)kNew.size());
        if (syncEach) Check(fsync(fd) == 0);
        Check(fchmod(fd, 0644) == 0 && close(fd) == 0 && rename(temp.c_str(), path.c_str()) == 0);
    }
    if (!syncEach) sync();
}

// The old bytes appended to one undo log (synced every batch files, before those files are
// written), then each file rewritten in place; everything synced at the end.
void InPlace(const std::string& tree, const std::string& log, int batch) {
    int logFd = open(log.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0600);
    Check(logFd >= 0);
    std::string buf(kOld.size(), '\0');
    for (int start = 0; start < g_files; start += batch) {
        const int end = std::min(g_files, start + batch);
        std::vector<int> fds;
        for (int i = start; i < end; ++i) {
            int fd = open(Path(tree, i).c_str(), O_RDWR);
            Check(fd >= 0 && pread(fd, buf.data(), buf.size(), 0) == (ssize_t)buf.size());
            Check(write(logFd, buf.data(), buf.size()) == (ssize_t)buf.size());
            fds.push_back(fd);
        }
        Check(fdatasync(logFd) == 0);
        for (int fd : fds) {
            Check(pwrite(fd, kNew.data(), kNew.size(), 0) == (ssize_t)kNew.size());
            Check(ftruncate(fd, kNew.size()) == 0 && close(fd) == 0);
        }
    }
    close(logFd);
    sync();
}

struct Way {
    const char* name;
    std::function<void(const std::string& tree, const std::string& keep)> run;
};

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: replace_modes DIR [FILES]\n");
        return 2;
    }
    g_root = argv[1];
    if (argc > 2) g_files = std::atoi(argv[2]);
    const std::string tree = g_root + "/tree", keep = g_root + "/keep";
    const std::vector<Way> ways = {
        {"cp -r + sync (the bound's base)",
         [](const std::string& t, const std::string&) {
             std::system(("cp -r '" + t + "' '" + t + ".copy' && sync").c_str());
         }},
        {"new file + fsync each + rename (today)",
         [](const std::string& t, const std::string&) { ViaRename(t, true, nullptr); }},
        {"new file + rename, one sync at the end",
         [](const std::string& t, const std::string&) { ViaRename(t, false, nullptr); }},
        {"hard link kept + new file + rename, one sync",
         [](const std::string& t, const std::string& k) { ViaRename(t, false, &k); }},
        {"undo log (sync per 256) + in place, one sync",
         [](const std::string& t, const std::string& k) { InPlace(t, k + "/log", 256); }},
    };
    std::printf("%d files of %zu bytes under %s, median of 3\n", g_files, kOld.size(),
                g_root.c_str());
    std::printf("%-48s %9s %9s %7s\n", "way", "wall s", "CPU s", "/ cp");
    double base = 0;
    for (const Way& w : ways) {
        std::vector<double> wall, cpu;
        for (int rep = 0; rep < 3; ++rep) {
            MakeTree(tree);
            std::system(("rm -rf '" + keep + "' '" + tree + ".copy'").c_str());
            mkdir(keep.c_str(), 0700);
            sync();
            const double t0 = Now(), c0 = CpuNow();
            w.run(tree, keep);
            wall.push_back(Now() - t0);
            cpu.push_back(CpuNow() - c0);
        }
        std::sort(wall.begin(), wall.end());
        std::sort(cpu.begin(), cpu.end());
        if (base == 0) base = wall[1];
        std::printf("%-48s %9.2f %9.2f %7.2f\n", w.name, wall[1], cpu[1], wall[1] / base);
    }
    std::system(("rm -rf '" + tree + "' '" + tree + ".copy' '" + keep + "'").c_str());
    return 0;
}
