// Loaded into every arm64 program that `scripts/test --arm64` runs under
// qemu-user, so that they can start other programs there as on a real
// arm64 machine:
// - Qt starts a process with clone(CLONE_PIDFD) where the kernel offers
//   pidfds (it asks waitid(P_PIDFD, …)); qemu-user refuses that clone, so
//   the question is answered "not supported" and Qt forks instead.
// - Without binfmt_misc an arm64 program cannot be exec'd from the host:
//   an exec of one runs qemu-user on it instead, with this library again.
//   Host programs (sh, unzip, dbus-daemon, …) run natively, and the
//   variable that loads this library is taken out of the environment so
//   that they never see it.
// QEMU_PROGRAM and SYSROOT are given when it is compiled.
#define _GNU_SOURCE
#include <dlfcn.h>
#include <elf.h>
#include <errno.h>
#include <fcntl.h>
#include <spawn.h>
#include <stdarg.h>
#include <stdlib.h>
#include <string.h>
#include <sys/syscall.h>
#include <unistd.h>

#ifndef P_PIDFD
#define P_PIDFD 3
#endif

static char preload[4096];
// The functions replaced here, found once before any fork: a forked child
// of a process with threads may not look them up.
static long (*nextSyscall)(long, ...);
static int (*nextExecve)(const char*, char* const[], char* const[]);
static int (*nextSpawn)(pid_t*, const char*, const posix_spawn_file_actions_t*, const posix_spawnattr_t*,
                        char* const[], char* const[]);

__attribute__((constructor)) static void start(void)
{
    nextSyscall = (long (*)(long, ...))dlsym(RTLD_NEXT, "syscall");
    nextExecve = (__typeof__(nextExecve))dlsym(RTLD_NEXT, "execve");
    nextSpawn = (__typeof__(nextSpawn))dlsym(RTLD_NEXT, "posix_spawn");
    const char* self = getenv("LD_PRELOAD");
    if (self && strlen(self) < sizeof preload)
        strcpy(preload, self);
    unsetenv("LD_PRELOAD");
}

long syscall(long number, ...)
{
    va_list args;
    va_start(args, number);
    long a[6];
    for (int i = 0; i < 6; ++i)
        a[i] = va_arg(args, long);
    va_end(args);
    if (number == SYS_waitid && a[0] == P_PIDFD) {
        errno = ENOSYS;
        return -1;
    }
    return nextSyscall(number, a[0], a[1], a[2], a[3], a[4], a[5]);
}

// Whether `path` is an arm64 program (which the host cannot exec).
static int isArm64(const char* path)
{
    int fd = open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return 0;
    Elf64_Ehdr header;
    ssize_t n = read(fd, &header, sizeof header);
    close(fd);
    return n == (ssize_t)sizeof header && memcmp(header.e_ident, ELFMAG, SELFMAG) == 0
        && header.e_machine == EM_AARCH64;
}

// Fills `line` with qemu-user's command line that runs `path` with
// `argv`; false where `path` is no arm64 program or `line` is too short.
static int underQemu(const char* path, char* const argv[], char** line, size_t size)
{
    if (!isArm64(path))
        return 0;
    size_t count = 0;
    while (argv[count])
        ++count;
    if (count + 10 > size)
        return 0;
    size_t n = 0;
    line[n++] = QEMU_PROGRAM;
    line[n++] = "-L";
    line[n++] = SYSROOT;
    if (preload[0]) {
        static char variable[sizeof preload + 16];
        strcpy(variable, "LD_PRELOAD=");
        strcat(variable, preload);
        line[n++] = "-E";
        line[n++] = variable;
    }
    line[n++] = "-0";
    line[n++] = count ? argv[0] : (char*)path;
    line[n++] = (char*)path;
    for (size_t i = 1; i <= count; ++i)
        line[n++] = argv[i];
    return 1;
}

enum { lineSize = 1024 };

int execve(const char* path, char* const argv[], char* const envp[])
{
    static char* line[lineSize];
    if (underQemu(path, argv, line, lineSize))
        return nextExecve(line[0], line, envp);
    return nextExecve(path, argv, envp);
}

int execv(const char* path, char* const argv[])
{
    return execve(path, argv, environ);
}

int posix_spawn(pid_t* pid, const char* path, const posix_spawn_file_actions_t* actions,
                const posix_spawnattr_t* attributes, char* const argv[], char* const envp[])
{
    char* line[lineSize];
    if (underQemu(path, argv, line, lineSize))
        return nextSpawn(pid, line[0], actions, attributes, line, envp);
    return nextSpawn(pid, path, actions, attributes, argv, envp);
}
