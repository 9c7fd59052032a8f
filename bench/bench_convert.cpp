// bench_convert [CARDS] [WORK_FOLDER] [--long]: generates an export of CARDS cards
// (default 1,000,000; --long: the larger cards of gen_export --long), runs
// tessaly-convert on it and reports cards/s, input MB/s and the converter's peak
// resident memory, against the I/O floor measured in the same run: `cat EXPORT` into
// a file plus writing (and syncing, as the save does) a file of the output's size.

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

extern char** environ;

namespace {

struct Run {
  double seconds = 0;
  double cpuSeconds = 0;
  long maxRssKb = 0;
  int status = -1;
};

Run Spawn(std::vector<std::string> args) {
  std::vector<char*> argv;
  for (auto& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  Run run;
  const auto start = std::chrono::steady_clock::now();
  pid_t pid = 0;
  if (posix_spawnp(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0) {
    std::perror(argv[0]);
    std::exit(1);
  }
  int status = 0;
  rusage usage{};
  wait4(pid, &status, 0, &usage);
  run.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  run.maxRssKb = usage.ru_maxrss;
  run.cpuSeconds = static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                   static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
  run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return run;
}

long long FileSize(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 ? static_cast<long long>(st.st_size) : -1;
}

// Seconds to write and sync `bytes` bytes to path.
double WriteFileOfSize(const std::string& path, long long bytes) {
  const auto start = std::chrono::steady_clock::now();
  std::vector<char> block(size_t{1} << 20, 'x');
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  if (fd < 0) {
    std::perror(path.c_str());
    std::exit(1);
  }
  for (long long left = bytes; left > 0;) {
    const size_t n =
        static_cast<size_t>(std::min<long long>(left, static_cast<long long>(block.size())));
    const ssize_t written = ::write(fd, block.data(), n);
    if (written <= 0) {
      std::perror(path.c_str());
      std::exit(1);
    }
    left -= written;
  }
  ::fsync(fd);
  ::close(fd);
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  const bool longCards = std::erase(args, "--long") > 0;
  const long long cards = !args.empty() ? std::atoll(args[0].c_str()) : 1'000'000;
  const std::string folder = args.size() > 1 ? args[1] : "/tmp/tessaly-bench";
  ::mkdir(folder.c_str(), 0700);
  ::setenv("TMPDIR", folder.c_str(), 1);
  const std::string exportPath = folder + "/export.csv";
  const std::string copyPath = folder + "/copy.csv";
  const std::string mdbPath = folder + "/cards.mdb";

  std::vector<std::string> gen = {TESSALY_GEN_EXPORT, std::to_string(cards), exportPath, "1"};
  if (longCards) gen.emplace_back("--long");
  if (Spawn(gen).status != 0) return 1;
  const double mb = static_cast<double>(FileSize(exportPath)) / 1e6;

  // Best of five rounds, the conversion and the floor taken in turn, so both meet
  // the same state of the disk.
  Run convert;
  double copySeconds = 1e9;
  double writeSeconds = 1e9;
  long long outputBytes = 0;
  for (int round = 0; round < 5; ++round) {
    // Dirty pages of earlier steps would otherwise be written back during this one.
    ::sync();
    std::remove(mdbPath.c_str());
    // Refused cards are expected with --long: their messages are not the benchmark.
    const Run run = Spawn({"sh", "-c",
                           round == 0 ? "exec \"$0\" \"$1\" \"$2\" 2>/dev/null"
                                      : "exec \"$0\" \"$1\" \"$2\" >/dev/null 2>&1",
                           TESSALY_CONVERT, exportPath, mdbPath});
    if (run.status != 0) {
      std::fprintf(stderr, "tessaly-convert failed with status %d\n", run.status);
      std::remove(exportPath.c_str());
      return 1;
    }
    if (round == 0 || run.seconds < convert.seconds) convert = run;
    convert.maxRssKb = std::max(convert.maxRssKb, run.maxRssKb);
    outputBytes = FileSize(mdbPath);
    ::sync();
    copySeconds = std::min(
        copySeconds, Spawn({"sh", "-c", "cat \"$0\" > \"$1\"", exportPath, copyPath}).seconds);
    writeSeconds = std::min(writeSeconds, WriteFileOfSize(copyPath + ".out", outputBytes));
    std::remove(copyPath.c_str());
    std::remove((copyPath + ".out").c_str());
  }
  const double floor = copySeconds + writeSeconds;

  std::printf("cards:              %lld\n", cards);
  std::printf("export:             %.1f MB\n", mb);
  std::printf("cat EXPORT > copy:  %.3f s\n", copySeconds);
  std::printf("write output size:  %.3f s\n", writeSeconds);
  std::printf("I/O floor:          %.3f s (%.0f MB/s)\n", floor, mb / floor);
  std::printf("tessaly-convert:    %.3f s (CPU %.3f s)\n", convert.seconds, convert.cpuSeconds);
  std::printf("ratio to floor:     %.2f\n", convert.seconds / floor);
  std::printf("cards/s:            %.0f\n", static_cast<double>(cards) / convert.seconds);
  std::printf("input MB/s:         %.1f\n", mb / convert.seconds);
  std::printf("peak RSS:           %.1f MB\n", static_cast<double>(convert.maxRssKb) / 1024.0);
  std::printf("output:             %.1f MB\n", static_cast<double>(outputBytes) / 1e6);
  // Several hundred megabytes each: nothing is left behind in the work folder.
  for (const std::string& path :
       {exportPath, mdbPath, folder + "/tessaly-" + std::to_string(::geteuid()) + "/~trns.tmp"}) {
    std::remove(path.c_str());
  }
  return 0;
}
