// Runs a command where every 32-bit x86 system call kills the process: a seccomp filter, inherited
// by every child, that lets the native system calls through and kills on the i386 ones. Inside it,
// Wine's 32-bit side can only run under emulation, as on a kernel that refuses 32-bit programs.
//   i386_jail COMMAND [ARGS...]
//   i386_jail --self-test    makes one i386 system call (int 0x80), which the jail must kill
#include <linux/audit.h>
#include <linux/filter.h>
#include <linux/seccomp.h>
#include <sys/prctl.h>
#include <unistd.h>

#include <cstddef>
#include <cstdio>
#include <cstring>
#include <iterator>

namespace {

bool EnterJail() {
  sock_filter filter[] = {
      BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, arch)),
      BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, AUDIT_ARCH_I386, 0, 1),
      BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_KILL_PROCESS),
      BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW),
  };
  sock_fprog program{static_cast<unsigned short>(std::size(filter)), filter};
  // No new privileges: what an unprivileged process needs to install a filter.
  return prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) == 0 &&
         prctl(PR_SET_SECCOMP, SECCOMP_MODE_FILTER, &program) == 0;
}

// getpid through the i386 entry point; reaching the return means the jail let it through.
long I386Getpid() {
  long result = 20;  // __NR_getpid on i386
  asm volatile("int $0x80" : "+a"(result) : : "memory");
  return result;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: i386_jail COMMAND [ARGS...] | i386_jail --self-test\n");
    return 2;
  }
  if (!EnterJail()) {
    std::perror("i386_jail: seccomp");
    return 2;
  }
  if (std::strcmp(argv[1], "--self-test") == 0) {
    std::printf("i386_jail: an i386 system call returned %ld\n", I386Getpid());
    return 1;
  }
  execvp(argv[1], argv + 1);
  std::perror(argv[1]);
  return 127;
}
