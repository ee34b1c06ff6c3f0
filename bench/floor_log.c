/* Floor: append COUNT lines to a file, opening and closing it for every line. */
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

int main(int argc, char** argv) {
    if (argc != 3) return 2;
    long count = atol(argv[2]);
    char line[256];
    for (long i = 0; i < count; i++) {
        int fd = open(argv[1], O_WRONLY | O_CREAT | O_APPEND, 0644);
        if (fd < 0) return 1;
        int n = snprintf(line, sizeof line, "10.12.2026 01:02:03:004 | Info | /tmp/bench/A/d00/d00/d00/f%06ld.dat\r\n", i);
        if (write(fd, line, (size_t)n) != n) return 1;
        close(fd);
    }
    return 0;
}
