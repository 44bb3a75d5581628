#include "program_runner.h"

#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <fstream>
#include <mutex>
#include <stdexcept>
#include <thread>

#include <gtest/gtest.h>

#ifndef KESTO_TEST_PROGRAM
#error "KESTO_TEST_PROGRAM must name the program under test"
#endif

namespace e2e {
namespace {

struct Pipe {
  int Read = -1;
  int Write = -1;

  Pipe() {
    int ends[2];
    if (::pipe2(ends, O_CLOEXEC) != 0) {
      throw std::runtime_error("pipe2 failed");
    }
    Read = ends[0];
    Write = ends[1];
  }
  Pipe(const Pipe&) = delete;
  Pipe& operator=(const Pipe&) = delete;
  ~Pipe() {
    CloseRead();
    CloseWrite();
  }
  void CloseRead() {
    if (Read >= 0) {
      ::close(Read);
      Read = -1;
    }
  }
  void CloseWrite() {
    if (Write >= 0) {
      ::close(Write);
      Write = -1;
    }
  }
};

/// Fills the pipe until a write would wait; returns the number of bytes.
size_t FillPipe(int descriptor) {
  const int flags = ::fcntl(descriptor, F_GETFL);
  ::fcntl(descriptor, F_SETFL, flags | O_NONBLOCK);
  size_t filled = 0;
  const std::string chunk(4096, '#');
  for (size_t size = chunk.size(); size > 0; size /= 2) {
    while (true) {
      const ssize_t written = ::write(descriptor, chunk.data(), size);
      if (written <= 0) {
        break;
      }
      filled += static_cast<size_t>(written);
    }
  }
  // The child shares this open file: it must see a blocking pipe.
  ::fcntl(descriptor, F_SETFL, flags);
  return filled;
}

/// Whether the process waits in a write to its standard output: the system
/// call and first argument /proc shows for it or, where that is hidden, the
/// kernel function it sleeps in.
bool IsWaitingInWriteToStandardOutput(pid_t pid) {
  const std::string proc = "/proc/" + std::to_string(pid);
  std::ifstream syscall(proc + "/syscall");
  if (syscall) {
    std::string number;
    std::string first;
    return syscall >> number >> first && number == std::to_string(SYS_write) && first == "0x1";
  }
  std::ifstream wchan(proc + "/wchan");
  std::string function;
  return wchan >> function && function == "pipe_write";
}

/// Whether the process has ended (and waits to be reaped).
bool HasEnded(pid_t pid) {
  std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
  std::string line;
  std::getline(stat, line);
  const size_t end = line.rfind(')');
  return !stat || end == std::string::npos || end + 2 >= line.size() || line[end + 2] == 'Z';
}

std::vector<char*> CStrings(std::vector<std::string>& strings) {
  std::vector<char*> pointers;
  for (std::string& text : strings) {
    pointers.push_back(text.data());
  }
  pointers.push_back(nullptr);
  return pointers;
}

void ReadAll(int outFd, int errFd, std::string& out, std::string& err) {
  pollfd fds[2] = {{outFd, POLLIN, 0}, {errFd, POLLIN, 0}};
  std::string* sinks[2] = {&out, &err};
  int open = 2;
  char buffer[65536];
  while (open > 0) {
    if (::poll(fds, 2, -1) < 0) {
      if (errno == EINTR) {
        continue;
      }
      throw std::runtime_error("poll failed");
    }
    for (int i = 0; i < 2; ++i) {
      if (fds[i].fd < 0 || fds[i].revents == 0) {
        continue;
      }
      const ssize_t got = ::read(fds[i].fd, buffer, sizeof buffer);
      if (got > 0) {
        sinks[i]->append(buffer, static_cast<size_t>(got));
      } else if (got == 0 || errno != EINTR) {
        fds[i].fd = -1;
        --open;
      }
    }
  }
}

/// Sends a signal to a child after a delay, unless destroyed first. It must
/// be destroyed before the child is reaped: until then the pid cannot name
/// another process.
class CDelayedSignal {
 public:
  CDelayedSignal(pid_t pid, int signal, std::chrono::microseconds delay) {
    if (signal != 0) {
      Timer = std::thread([this, pid, signal, delay] {
        std::unique_lock lock(Mutex);
        if (!Cancelled.wait_for(lock, delay, [this] { return Done; })) {
          ::kill(pid, signal);
        }
      });
    }
  }
  CDelayedSignal(const CDelayedSignal&) = delete;
  CDelayedSignal& operator=(const CDelayedSignal&) = delete;
  ~CDelayedSignal() {
    {
      const std::lock_guard lock(Mutex);
      Done = true;
    }
    Cancelled.notify_all();
    if (Timer.joinable()) {
      Timer.join();
    }
  }

 private:
  std::mutex Mutex;
  std::condition_variable Cancelled;
  bool Done = false;
  std::thread Timer;
};

}  // namespace

bool CanRunAsAnotherUser() {
  return ::geteuid() == 0;
}

ProgramResult RunProgram(const ProgramRun& run) {
  std::vector<std::string> argv = {KESTO_TEST_PROGRAM};
  argv.insert(argv.end(), run.Arguments.begin(), run.Arguments.end());
  std::vector<std::string> envp = run.Environment;
  std::vector<char*> argvPointers = CStrings(argv);
  std::vector<char*> envpPointers = CStrings(envp);
  std::string directory = run.WorkingDirectory;

  Pipe out;
  Pipe err;
  const bool pauseAtFirstOutput = run.AtFirstOutput || run.SignalAtFirstOutput != 0;
  const size_t filler = pauseAtFirstOutput ? FillPipe(out.Write) : 0;
  std::vector<rlimit> limits;
  for (const ProgramRun::Limit& limit : run.Limits) {
    limits.push_back({limit.Value, limit.Value});
  }
  if (run.User && !CanRunAsAnotherUser()) {
    throw std::runtime_error("only root can run the program as another user");
  }

  const pid_t pid = ::fork();
  if (pid < 0) {
    throw std::runtime_error("fork failed");
  }
  if (pid == 0) {
    // Only async-signal-safe calls from here on.
    const int devNull = ::open("/dev/null", O_RDONLY);
    if (devNull < 0 || ::dup2(devNull, STDIN_FILENO) < 0 || ::dup2(out.Write, STDOUT_FILENO) < 0 ||
        ::dup2(err.Write, STDERR_FILENO) < 0 || ::chdir(directory.c_str()) != 0) {
      ::_exit(126);
    }
    if (run.FileSizeLimit) {
      ::signal(SIGXFSZ, SIG_IGN);
      const rlimit limit = {*run.FileSizeLimit, *run.FileSizeLimit};
      if (::setrlimit(RLIMIT_FSIZE, &limit) != 0) {
        ::_exit(126);
      }
    } else {
      ::signal(SIGXFSZ, SIG_DFL);  // whatever this process does with it
    }
    for (size_t i = 0; i < limits.size(); ++i) {
      if (::setrlimit(run.Limits[i].Resource, &limits[i]) != 0) {
        ::_exit(126);
      }
    }
    if (run.User) {
      const uid_t user = *run.User;
      if (::setgroups(0, nullptr) != 0 || ::setgid(user) != 0 || ::setuid(user) != 0) {
        ::_exit(126);
      }
    }
    ::execve(argvPointers[0], argvPointers.data(), envpPointers.data());
    ::_exit(127);
  }
  out.CloseWrite();
  err.CloseWrite();

  if (pauseAtFirstOutput) {
    // A safety net against a hang, not a measure of speed.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(120);
    while (!IsWaitingInWriteToStandardOutput(pid)) {
      if (HasEnded(pid)) {
        ADD_FAILURE() << "the program ended before its first write to standard output";
        break;
      }
      if (std::chrono::steady_clock::now() > deadline) {
        ADD_FAILURE() << "the program never waited in its first write to standard output";
        break;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    if (run.AtFirstOutput) {
      run.AtFirstOutput();
    }
    if (run.SignalAtFirstOutput != 0) {
      ::kill(pid, run.SignalAtFirstOutput);
      // Until it has ended nobody reads: a killed write puts nothing through.
      while (!HasEnded(pid)) {
        if (std::chrono::steady_clock::now() > deadline) {
          ADD_FAILURE() << "the program did not end on signal " << run.SignalAtFirstOutput;
          break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
      }
    }
  }
  ProgramResult result;
  {
    const CDelayedSignal delayed(pid, run.SignalAfterDelay, run.Delay);
    ReadAll(out.Read, err.Read, result.Out, result.Err);
  }
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0) {
    if (errno != EINTR) {
      throw std::runtime_error("waitpid failed");
    }
  }
  if (WIFEXITED(status)) {
    result.ExitCode = WEXITSTATUS(status);
  } else if (WIFSIGNALED(status)) {
    result.Signal = WTERMSIG(status);
  }
  if (filler > 0) {
    const std::string expected(filler, '#');
    EXPECT_EQ(result.Out.substr(0, filler), expected) << "the filler of standard output";
    result.Out.erase(0, std::min(filler, result.Out.size()));
  }
  return result;
}

}  // namespace e2e
