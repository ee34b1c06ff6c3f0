/* Floor of a nothing-to-do pass as the log rules allow it, in one thread: the walk of A with B's folders
 * held open beside it, two attribute reads per file, and per entry one log line written through the file
 * opened for it (open, lock, position at the end, one write, unlock, close). Nothing else.
 *
 *   floor_pass A B LOGFILE [MODE]
 *
 * MODE: "full" (the default: the six calls above), "nounlock" (the lock left to the close), "append" (open
 * for appending, one write, close: no lock and no length read, which the log's rules do not allow), "nolog"
 * (the walk and its attribute reads alone), "held" (the log held open in its held folder between lines, as
 * Pardova holds it during a pass: per line the lock, one attribute read of the file's entry relative to the
 * folder, one appending write, the unlock), "queued" (the held lines written on a second thread, handed over
 * in batches through a bounded queue, as Pardova writes a pass's lines). */
#define _GNU_SOURCE
#include <dirent.h>
#include <fcntl.h>
#include <pthread.h>
#include <stdio.h>
#include <string.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

static const char* logPath;
static int mode; /* 0 full, 1 nounlock, 2 append, 3 nolog, 4 held, 5 queued */
static int logFolder = -1, logFile = -1;
static const char* logName;
static long entries;

static void HeldLine(const char* line, size_t n) {
    if (flock(logFile, LOCK_EX | LOCK_NB) == 0) {
        struct stat st;
        (void)fstatat(logFolder, logName, &st, 0);
        (void)!write(logFile, line, n);
        flock(logFile, LOCK_UN);
    }
}

/* The queue of "queued": the walk adds the entry's text, the writer takes what waits when 64 lines have come
 * or a millisecond has passed. */
enum { kSlots = 1024, kSlotSize = 512, kWakeAt = 64 };
static char slots[kSlots][kSlotSize];
static size_t slotLength[kSlots];
static size_t head, count, taken;
static int done;
static pthread_mutex_t queueLock = PTHREAD_MUTEX_INITIALIZER;
static pthread_cond_t work = PTHREAD_COND_INITIALIZER, room = PTHREAD_COND_INITIALIZER;

static void* Writer(void* unused) {
    (void)unused;
    char line[kSlotSize + 64];
    pthread_mutex_lock(&queueLock);
    for (;;) {
        while (count < kWakeAt && !done) {
            struct timespec until;
            clock_gettime(CLOCK_REALTIME, &until);
            until.tv_nsec += 1000000;
            if (until.tv_nsec >= 1000000000) {
                until.tv_sec++;
                until.tv_nsec -= 1000000000;
            }
            if (pthread_cond_timedwait(&work, &queueLock, &until) != 0 && count > 0) break;
        }
        if (count == 0 && done) break;
        size_t first = head, n = count;
        pthread_mutex_unlock(&queueLock);
        for (size_t i = 0; i < n; i++) {
            size_t slot = (first + i) % kSlots;
            int length = snprintf(line, sizeof line, "10.12.2026 01:02:03:004 | Info | %.*s\r\n", (int)slotLength[slot],
                                  slots[slot]);
            if (length > 0) HeldLine(line, (size_t)length);
        }
        pthread_mutex_lock(&queueLock);
        head = (first + n) % kSlots;
        count -= n;
        taken += n;
        pthread_cond_signal(&room);
    }
    pthread_mutex_unlock(&queueLock);
    return NULL;
}

static void QueueLine(const char* text) {
    size_t n = strlen(text);
    if (n > kSlotSize) n = kSlotSize; /* a longer path is cut */
    pthread_mutex_lock(&queueLock);
    while (count == kSlots) pthread_cond_wait(&room, &queueLock);
    size_t slot = (head + count) % kSlots;
    memcpy(slots[slot], text, n);
    slotLength[slot] = n;
    if (++count == kWakeAt) pthread_cond_signal(&work);
    pthread_mutex_unlock(&queueLock);
}

static void LogLine(const char* text) {
    if (mode == 5) {
        QueueLine(text);
        return;
    }
    char line[8192];
    int n = snprintf(line, sizeof line, "10.12.2026 01:02:03:004 | Info | %s\r\n", text);
    if (n < 0) return;
    if ((size_t)n >= sizeof line) n = (int)sizeof line - 1; /* a longer path is cut, never read past */
    if (mode == 3) return;
    if (mode == 4) {
        HeldLine(line, (size_t)n);
        return;
    }
    /* As in Pardova, the outcome of the write is not looked at; the file is closed either way. */
    if (mode == 2) {
        int fd = open(logPath, O_WRONLY | O_APPEND | O_CLOEXEC);
        if (fd < 0) return;
        (void)!write(fd, line, (size_t)n);
        close(fd);
        return;
    }
    int fd = open(logPath, O_RDWR | O_CLOEXEC);
    if (fd < 0) return;
    if (flock(fd, LOCK_EX | LOCK_NB) == 0) {
        lseek(fd, 0, SEEK_END);
        (void)!write(fd, line, (size_t)n);
        if (mode == 0) flock(fd, LOCK_UN);
    }
    close(fd);
}

static void Walk(int a, int b, char* path, size_t len) {
    DIR* dir = fdopendir(a);
    if (!dir) return;
    struct dirent* e;
    while ((e = readdir(dir)) != NULL) {
        if (strcmp(e->d_name, ".") == 0 || strcmp(e->d_name, "..") == 0) continue;
        size_t n = strlen(e->d_name);
        memcpy(path + len, e->d_name, n + 1);
        LogLine(path);
        entries++;
        struct stat sa, sb;
        if (fstatat(a, e->d_name, &sa, 0) != 0) continue;
        if (S_ISDIR(sa.st_mode)) {
            mkdirat(b, e->d_name, 0755);
            int sub = openat(a, e->d_name, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
            int subB = openat(b, e->d_name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
            path[len + n] = '/';
            if (sub >= 0) Walk(sub, subB, path, len + n + 1);
            if (subB >= 0) close(subB);
        } else {
            fstatat(b, e->d_name, &sb, AT_SYMLINK_NOFOLLOW);
        }
    }
    closedir(dir);
}

int main(int argc, char** argv) {
    if (argc != 4 && argc != 5) return 2;
    logPath = argv[3];
    if (argc == 5) {
        const char* modes[] = {"full", "nounlock", "append", "nolog", "held", "queued"};
        mode = -1;
        for (int i = 0; i < 6; i++)
            if (strcmp(argv[4], modes[i]) == 0) mode = i;
        if (mode < 0) return 2;
    }
    close(open(logPath, O_WRONLY | O_CREAT | O_CLOEXEC, 0644));
    if (mode == 4 || mode == 5) {
        static char folder[4096];
        const char* slash = strrchr(logPath, '/');
        size_t cut = slash ? (size_t)(slash - logPath) + 1 : 0;
        if (cut >= sizeof folder) return 2;
        memcpy(folder, logPath, cut);
        folder[cut] = 0;
        logName = logPath + cut;
        logFolder = open(cut ? folder : ".", O_PATH | O_DIRECTORY | O_CLOEXEC);
        logFile = openat(logFolder, logName, O_RDWR | O_APPEND | O_CLOEXEC);
        if (logFolder < 0 || logFile < 0) return 1;
    }
    static char path[65536];
    size_t len = strlen(argv[1]);
    memcpy(path, argv[1], len);
    path[len++] = '/';
    int a = open(argv[1], O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    int b = open(argv[2], O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (a < 0 || b < 0) return 1;
    pthread_t writer;
    if (mode == 5 && pthread_create(&writer, NULL, Writer, NULL) != 0) return 1;
    Walk(a, b, path, len);
    if (mode == 5) {
        pthread_mutex_lock(&queueLock);
        done = 1;
        pthread_cond_signal(&work);
        pthread_mutex_unlock(&queueLock);
        pthread_join(writer, NULL);
    }
    fprintf(stderr, "%ld entries\n", entries);
    return 0;
}
