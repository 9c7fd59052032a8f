// What the export's reader opens for each CardInput: a regular file alone when
// asked, refused at once and never waited on otherwise; the standard input under a
// name of its own.

#include <gtest/gtest.h>

#ifndef _WIN32
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <atomic>
#include <cerrno>
#include <chrono>
#include <thread>

#include "engine/card_file_reader.h"
#include "engine_test_support.h"
#include "platform/file_seam.h"
#include "platform/reporter.h"

namespace tessaly::test {
namespace {

using namespace std::chrono_literals;

class CardInputTest : public ScratchFolderTest {};

std::vector<std::string> Lines(CardFileReader& reader) {
  std::vector<std::string> lines;
  while (!reader.AtEnd()) lines.emplace_back(reader.ReadLineBytes());
  return lines;
}

// The message of the reader's refusal, or "" when it opened.
std::string Refusal(const std::string& path, CardInput input) {
  try {
    CardFileReader reader(path, input);
  } catch (const Failure& failure) {
    return CommonErrorText(failure);
  }
  return "";
}

TEST_F(CardInputTest, RegularFileOnlyOpensFilesAndLinksToThem) {
  const std::string in = In("a\r\nb\r\n");
  CardFileReader reader(in, CardInput::kRegularFile);
  EXPECT_EQ(reader.Size(), 6u);
  EXPECT_EQ(Lines(reader), (std::vector<std::string>{"a", "b"}));
  EXPECT_EQ(Refusal(Path("missing.csv"), CardInput::kRegularFile),
            "Err 53 File not found: " + Path("missing.csv"));
  EXPECT_EQ(Refusal(Path("tmp"), CardInput::kRegularFile),
            "Err 75 Path/File access error (is a folder): " + Path("tmp"));
#ifndef _WIN32
  std::filesystem::create_symlink(in, Path("link.csv"));
  CardFileReader linked(Path("link.csv"), CardInput::kRegularFile);
  EXPECT_EQ(Lines(linked), (std::vector<std::string>{"a", "b"}));
#endif
}

// A FIFO without a writer would hold an open forever; a device or a file of /proc
// reads as endless or changing. Each is refused at once and says what it is.
TEST_F(CardInputTest, RegularFileOnlyRefusesAnythingElseAtOnce) {
#ifdef _WIN32
  EXPECT_EQ(Refusal("NUL", CardInput::kRegularFile),
            "Err 75 Path/File access error (not a regular file: a device): NUL");
  GTEST_SKIP() << "FIFOs, sockets, device nodes and /proc are POSIX's";
#else
  const std::string fifo = Path("fifo.csv");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  std::filesystem::create_symlink(fifo, Path("to-fifo.csv"));

  // Should an open wait on the FIFO after all, a writer comes to end the wait, and the
  // test fails on time instead of hanging.
  std::atomic<bool> done{false};
  std::thread watchdog([&] {
    for (int i = 0; i < 500 && !done; ++i) std::this_thread::sleep_for(10ms);
    const int fd = ::open(fifo.c_str(), O_WRONLY | O_NONBLOCK);
    if (fd >= 0) ::close(fd);
  });

  const std::string kNot = "Err 75 Path/File access error (not a regular file: ";
  std::vector<std::pair<std::string, std::string>> cases = {
      {fifo, kNot + "a FIFO): " + fifo},
      {Path("to-fifo.csv"), kNot + "a FIFO): " + Path("to-fifo.csv")},
      {"/dev/null", kNot + "a device): /dev/null"},
      {"/proc/self/status", kNot + "a system file of /proc or /sys): /proc/self/status"}};
  if (std::filesystem::is_regular_file("/sys/kernel/uevent_seqnum")) {
    cases.push_back({"/sys/kernel/uevent_seqnum",
                     kNot + "a system file of /proc or /sys): /sys/kernel/uevent_seqnum"});
  }
  for (const auto& [path, message] : cases) {
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(Refusal(path, CardInput::kRegularFile), message);
    EXPECT_LT(std::chrono::steady_clock::now() - start, 100ms) << path;
  }
  done = true;
  watchdog.join();

  // Read whatever it is when anything goes.
  EXPECT_EQ(Refusal("/proc/self/status", CardInput::kAnyFile), "");
#endif
}

TEST_F(CardInputTest, AnyFileReadsAFifoOnceItsWriterComes) {
#ifdef _WIN32
  GTEST_SKIP() << "FIFOs are POSIX's";
#else
  const std::string fifo = Path("fifo.csv");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  std::thread writer([&] { WriteFile(fifo, "x\r\ny\r\n"); });
  CardFileReader reader(fifo, CardInput::kAnyFile);
  EXPECT_EQ(reader.Size(), 0u);
  EXPECT_EQ(Lines(reader), (std::vector<std::string>{"x", "y"}));
  writer.join();
#endif
}

// Named "<stdin>" in messages, whatever path the caller gave; its size is known only
// for a file. Dropping the reader leaves the standard input open. A pipe another
// program left non-blocking is read to its end all the same.
TEST_F(CardInputTest, StandardInput) {
#ifdef _WIN32
  GTEST_SKIP() << "the converter's tests read the standard input under Wine";
#else
  const int saved = ::dup(STDIN_FILENO);
  const int file = ::open(In("h\r\nr\r\n").c_str(), O_RDONLY);
  ::dup2(file, STDIN_FILENO);
  ::close(file);
  {
    CardFileReader reader("-", CardInput::kStandardInput);
    EXPECT_EQ(reader.Path(), "<stdin>");
    EXPECT_EQ(reader.Size(), 6u);
    EXPECT_EQ(Lines(reader), (std::vector<std::string>{"h", "r"}));
  }
  EXPECT_NE(::fcntl(STDIN_FILENO, F_GETFD), -1);

  int ends[2];
  ASSERT_EQ(::pipe(ends), 0);
  ::dup2(ends[0], STDIN_FILENO);
  ::close(ends[0]);
  ::fcntl(STDIN_FILENO, F_SETFL, ::fcntl(STDIN_FILENO, F_GETFL) | O_NONBLOCK);
  std::thread writer([&] {
    std::this_thread::sleep_for(50ms);
    const std::string text = "p\r\nq";
    EXPECT_EQ(::write(ends[1], text.data(), text.size()), static_cast<ssize_t>(text.size()));
    ::close(ends[1]);
  });
  {
    CardFileReader reader("-", CardInput::kStandardInput);
    EXPECT_EQ(reader.Size(), 0u);
    EXPECT_EQ(Lines(reader), (std::vector<std::string>{"p", "q"}));
  }
  writer.join();
  ::dup2(saved, STDIN_FILENO);
  ::close(saved);
#endif
}

// The fault seam stands in for each way of opening.
TEST_F(CardInputTest, FaultsPlannedForTheOpenApplyToEveryInput) {
  const std::string in = In("a\r\n");
  for (const CardInput input :
       {CardInput::kAnyFile, CardInput::kRegularFile, CardInput::kStandardInput}) {
    seam::ScopedFault denied(seam::FileOp::kExportOpen, EACCES);
    EXPECT_EQ(Refusal(in, input),
              "Err 70 Permission denied: " + (input == CardInput::kStandardInput ? "<stdin>" : in));
  }
}

}  // namespace
}  // namespace tessaly::test
