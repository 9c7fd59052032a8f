// bench_convert [CARDS] [WORK_FOLDER]: generates an export of CARDS cards (default
// 1,000,000), times `cp EXPORT copy` as the floor, then runs tessaly-convert on it
// and reports cards/s, input MB/s and the converter's peak resident memory.

#include <spawn.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

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

}  // namespace

int main(int argc, char** argv) {
  const long long cards = argc > 1 ? std::atoll(argv[1]) : 1'000'000;
  const std::string folder = argc > 2 ? argv[2] : "/tmp/tessaly-bench";
  ::mkdir(folder.c_str(), 0700);
  ::setenv("TMPDIR", folder.c_str(), 1);
  const std::string exportPath = folder + "/export.csv";
  const std::string copyPath = folder + "/copy.csv";
  const std::string mdbPath = folder + "/cards.mdb";

  if (Spawn({TESSALY_GEN_EXPORT, std::to_string(cards), exportPath}).status != 0) return 1;
  const double mb = static_cast<double>(FileSize(exportPath)) / 1e6;

  // Dirty pages of the generator would otherwise be written back during the runs.
  ::sync();
  const Run copy = Spawn({"cp", exportPath, copyPath});
  std::remove(copyPath.c_str());
  std::remove(mdbPath.c_str());
  ::sync();
  const Run convert = Spawn({TESSALY_CONVERT, exportPath, mdbPath});
  if (convert.status != 0) {
    std::fprintf(stderr, "tessaly-convert failed with status %d\n", convert.status);
    std::remove(exportPath.c_str());
    return 1;
  }

  std::printf("cards:              %lld\n", cards);
  std::printf("export:             %.1f MB\n", mb);
  std::printf("cp EXPORT copy:     %.3f s (%.0f MB/s)\n", copy.seconds, mb / copy.seconds);
  std::printf("tessaly-convert:    %.3f s (CPU %.3f s)\n", convert.seconds, convert.cpuSeconds);
  std::printf("cards/s:            %.0f\n", static_cast<double>(cards) / convert.seconds);
  std::printf("input MB/s:         %.1f\n", mb / convert.seconds);
  std::printf("peak RSS:           %.1f MB\n", static_cast<double>(convert.maxRssKb) / 1024.0);
  std::printf("output:             %.1f MB\n", static_cast<double>(FileSize(mdbPath)) / 1e6);
  // Several hundred megabytes each: nothing is left behind in the work folder.
  for (const std::string& path :
       {exportPath, mdbPath, folder + "/tessaly-" + std::to_string(::geteuid()) + "/~trns.tmp"}) {
    std::remove(path.c_str());
  }
  return 0;
}
