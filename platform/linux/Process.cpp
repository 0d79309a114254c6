// The process on a POSIX system: arguments as received, switches with "-"
// alone (a "/" begins an absolute path), and processor faults reported.
#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <string>

#include "platform/Platform.h"

extern "C" char __executable_start;
extern "C" char etext;

namespace plat {
namespace {

void (*g_report)(const Fault&, void*) = nullptr;
void* g_context = nullptr;

void OnFault(int, siginfo_t* info, void* ucontext) {
  const auto* context = static_cast<const ucontext_t*>(ucontext);
  Fault fault{};
  fault.dataAddress = reinterpret_cast<uintptr_t>(info->si_addr);
#if defined(__x86_64__)
  const uintptr_t pc = static_cast<uintptr_t>(context->uc_mcontext.gregs[REG_RIP]);
  fault.write = (context->uc_mcontext.gregs[REG_ERR] & 2) != 0;
#else
  (void)context;
  const uintptr_t pc = 0;
#endif
  const auto start = reinterpret_cast<uintptr_t>(&__executable_start);
  const auto end = reinterpret_cast<uintptr_t>(&etext);
  fault.inModule = pc >= start && pc < end;
  fault.codeAddress = fault.inModule ? pc - start : pc;
  if (g_report) g_report(fault, g_context);
  _exit(1);
}

// A standard descriptor closed at start is taken by a placeholder, so that the
// log never lands on it and receives console text or a report; the stream
// itself counts as missing.
Stream ClaimStandard(int fd) {
  if (fcntl(fd, F_GETFD) != -1 || errno != EBADF) return Stream{fd};
  // Descriptors are claimed in order, so the lowest free one is this one.
  if (open("/dev/null", O_RDWR | O_CLOEXEC) < 0) open("/", O_PATH | O_CLOEXEC);
  return Stream{};
}

}  // namespace

char PathDelimiter() { return '/'; }
std::string_view SwitchChars() { return "-"; }
char HelpSwitchChar() { return '-'; }
bool LongOptions() { return true; }
bool UpperCaseRoot() { return false; }

std::vector<std::string> CommandArguments(int argc, char** argv) {
  std::vector<std::string> args;
  for (int i = 1; i < argc; ++i)
    if (argv[i][0] != '\0') args.emplace_back(argv[i]);
  return args;
}

std::string ModuleFileName() {
  char path[PATH_MAX];
  const ssize_t size = readlink("/proc/self/exe", path, sizeof path - 1);
  if (size <= 0) return "Tamberlix";
  const std::string full(path, static_cast<size_t>(size));
  return full.substr(full.rfind('/') + 1);
}

std::string ToConsoleCodePage(std::string_view text) { return std::string(text); }

StandardStreams PrepareProcess(void (*report)(const Fault&, void*), void* context) {
  ClaimStandard(STDIN_FILENO);
  const StandardStreams streams{ClaimStandard(STDOUT_FILENO), ClaimStandard(STDERR_FILENO)};
  g_report = report;
  g_context = context;
  // A closed pipe or an oversized file must come back as a failed write.
  signal(SIGPIPE, SIG_IGN);
  signal(SIGXFSZ, SIG_IGN);
  // The walk keeps one descriptor open for each folder on the current path.
  struct rlimit files;
  if (getrlimit(RLIMIT_NOFILE, &files) == 0 && files.rlim_cur < files.rlim_max) {
    files.rlim_cur = files.rlim_max;
    setrlimit(RLIMIT_NOFILE, &files);
  }

  static char altStack[64 * 1024];
  stack_t stack{};
  stack.ss_sp = altStack;
  stack.ss_size = sizeof altStack;
  sigaltstack(&stack, nullptr);
  struct sigaction action {};
  action.sa_sigaction = OnFault;
  action.sa_flags = SA_SIGINFO | SA_ONSTACK | SA_RESETHAND;
  sigemptyset(&action.sa_mask);
  for (int signal : {SIGSEGV, SIGBUS, SIGILL, SIGFPE}) sigaction(signal, &action, nullptr);
  return streams;
}

}  // namespace plat
