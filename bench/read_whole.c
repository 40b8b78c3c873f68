/* The floor for any tool that must read an image: open it and read it whole,
   in 64 KiB pieces, and nothing else. bench/run builds it statically, as
   vorbex's release build is linked, and times vorbex against it. */
#include <fcntl.h>
#include <unistd.h>

int main(int argc, char** argv) {
    static char piece[64 * 1024];
    const int fd = argc == 2 ? open(argv[1], O_RDONLY) : -1;
    if (fd < 0) {
        return 1;
    }
    while (read(fd, piece, sizeof piece) > 0) {
    }
    return close(fd) != 0;
}
