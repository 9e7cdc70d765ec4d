/* The floor for the scan benchmark: a walk that does only what classifying a tree needs. For
 * every entry it calls lstat; it descends into directories (never through a symbolic link);
 * it opens each regular file, reads at most its first 512 bytes and closes it. It prints the
 * counts so they can be compared with the program's report.
 *
 *     cc -O2 -o walk bench/walk.c && ./walk DIR
 */
#include <dirent.h>
#include <fcntl.h>
#include <limits.h>
#include <stdio.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

static long dirs, text, binary, empty, other, errors;

static void classify(const char* path) {
    unsigned char block[512];
    int fd = open(path, O_RDONLY | O_NOCTTY);
    if (fd < 0) {
        ++errors;
        return;
    }
    ssize_t n = read(fd, block, sizeof block);
    close(fd);
    if (n < 0) {
        ++errors;
        return;
    }
    if (n == 0) {
        ++empty;
        return;
    }
    for (ssize_t i = 0; i < n; ++i) {
        if (block[i] >= 0x80) {
            ++binary;
            return;
        }
    }
    ++text;
}

/* path holds len bytes and room for PATH_MAX. */
static void walk(char* path, size_t len) {
    DIR* d = opendir(path);
    if (!d) {
        ++errors;
        return;
    }
    struct dirent* e;
    while ((e = readdir(d)) != NULL) {
        const char* name = e->d_name;
        if (name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'))) continue;
        size_t n = strlen(name);
        if (len + 1 + n >= PATH_MAX) {
            ++errors;
            continue;
        }
        path[len] = '/';
        memcpy(path + len + 1, name, n + 1);
        struct stat st;
        if (lstat(path, &st) != 0) {
            ++errors;
        } else if (S_ISDIR(st.st_mode)) {
            ++dirs;
            walk(path, len + 1 + n);
        } else if (S_ISREG(st.st_mode)) {
            classify(path);
        } else {
            ++other; /* links, FIFOs, sockets, devices: never opened */
        }
        path[len] = '\0';
    }
    closedir(d);
}

int main(int argc, char** argv) {
    if (argc != 2) {
        fprintf(stderr, "usage: %s DIR\n", argv[0]);
        return 2;
    }
    static char path[PATH_MAX];
    size_t len = strlen(argv[1]);
    if (len >= PATH_MAX) return 2;
    memcpy(path, argv[1], len + 1);
    while (len > 1 && path[len - 1] == '/') path[--len] = '\0';
    walk(path, len);
    printf("%ld files in %ld directories (%ld text, %ld binary, %ld empty, %ld other, %ld errors)\n",
           text + binary + empty, dirs, text, binary, empty, other, errors);
    return errors ? 1 : 0;
}
