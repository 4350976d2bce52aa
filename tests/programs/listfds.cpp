// Prints the numbers of the descriptors this program was started with, one per line.
#include <cstdio>
#include <cstdlib>
#include <dirent.h>

int main() {
    DIR* dir = opendir("/proc/self/fd");
    if (!dir) return 1;
    const int own = dirfd(dir);
    while (const dirent* entry = readdir(dir)) {
        if (entry->d_name[0] == '.') continue;
        int fd = std::atoi(entry->d_name);
        if (fd != own) std::printf("%d\n", fd);
    }
    closedir(dir);
    return 0;
}
