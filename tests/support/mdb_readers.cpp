#include "tests/support/mdb_readers.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <nlohmann/json.hpp>

extern char** environ;

namespace tessaly {
namespace {

using Json = nlohmann::json;
using LineHandler = std::function<void(std::string_view line)>;

// A reader that runs this long on a test database is stuck, not slow.
constexpr auto kReaderTimeout = std::chrono::minutes(5);

std::string CommandText(const std::vector<std::string>& argv) {
  std::string text;
  for (const auto& arg : argv) {
    if (!text.empty()) text += ' ';
    text += arg;
  }
  return text;
}

[[noreturn]] void Fail(const std::vector<std::string>& argv, const std::string& what,
                       const std::string& stderrText) {
  std::string message = CommandText(argv) + ": " + what;
  if (!stderrText.empty()) message += "\n--- stderr ---\n" + stderrText;
  throw std::runtime_error(message);
}

// Closes a descriptor on every path out.
struct Fd {
  int fd = -1;
  ~Fd() {
    if (fd >= 0) close(fd);
  }
};

std::string ReadWholeFd(int fd) {
  std::string text;
  lseek(fd, 0, SEEK_SET);
  char buffer[4096];
  for (;;) {
    const ssize_t n = read(fd, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    text.append(buffer, static_cast<size_t>(n));
  }
  return text;
}

// The child's locale must be UTF-8 so names and values convert without loss.
std::vector<std::string> ChildEnvironment() {
  std::vector<std::string> env;
  for (char** e = environ; *e; ++e) {
    const std::string_view entry = *e;
    if (entry.starts_with("LC_ALL=") || entry.starts_with("LANG=") ||
        entry.starts_with("MDBICONV=") || entry.starts_with("MDB_ICONV=") ||
        entry.starts_with("NODE_OPTIONS=")) {
      continue;
    }
    env.emplace_back(entry);
  }
  env.emplace_back("LC_ALL=C.UTF-8");
  env.emplace_back("NODE_NO_WARNINGS=1");
  return env;
}

// Runs argv (looked up on the PATH), hands every stdout line (without its '\n') to
// onLine and returns once the process has exited successfully with nothing on
// stderr; anything else throws.
void RunReader(const std::vector<std::string>& argv, const LineHandler& onLine) {
  char stderrPath[] = "/tmp/tessaly-reader-stderr-XXXXXX";
  Fd errFile{mkstemp(stderrPath)};
  if (errFile.fd < 0) Fail(argv, std::string("cannot create stderr file: ") + strerror(errno), "");
  unlink(stderrPath);

  int pipeFds[2];
  if (pipe2(pipeFds, O_CLOEXEC) != 0) Fail(argv, "pipe failed", "");
  Fd readEnd{pipeFds[0]};
  Fd writeEnd{pipeFds[1]};

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, writeEnd.fd, STDOUT_FILENO);
  posix_spawn_file_actions_adddup2(&actions, errFile.fd, STDERR_FILENO);
  posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);

  std::vector<char*> args;
  for (const auto& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
  args.push_back(nullptr);
  std::vector<std::string> env = ChildEnvironment();
  std::vector<char*> envp;
  for (auto& entry : env) envp.push_back(entry.data());
  envp.push_back(nullptr);

  pid_t pid = 0;
  const int spawnError = posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  if (spawnError != 0) Fail(argv, std::string("cannot start: ") + strerror(spawnError), "");
  close(writeEnd.fd);
  writeEnd.fd = -1;

  auto reap = [&](bool kill) {
    if (kill) ::kill(pid, SIGKILL);
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    return status;
  };

  std::string pending;
  try {
    const auto deadline = std::chrono::steady_clock::now() + kReaderTimeout;
    char buffer[1 << 16];
    for (;;) {
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
          deadline - std::chrono::steady_clock::now());
      if (left.count() <= 0) throw std::runtime_error("timed out");
      pollfd p{readEnd.fd, POLLIN, 0};
      const int ready = poll(&p, 1, static_cast<int>(left.count()));
      if (ready < 0 && errno == EINTR) continue;
      if (ready <= 0) continue;
      const ssize_t n = read(readEnd.fd, buffer, sizeof buffer);
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) throw std::runtime_error(std::string("read failed: ") + strerror(errno));
      if (n == 0) break;
      // Scan only the new bytes for line ends: memo lines run to megabytes.
      size_t from = pending.size();
      pending.append(buffer, static_cast<size_t>(n));
      size_t start = 0;
      for (size_t nl; (nl = pending.find('\n', from)) != std::string::npos; from = start) {
        onLine(std::string_view(pending).substr(start, nl - start));
        start = nl + 1;
      }
      pending.erase(0, start);
    }
    if (!pending.empty()) onLine(pending);
  } catch (const std::exception& e) {
    reap(true);
    Fail(argv, e.what(), ReadWholeFd(errFile.fd));
  }

  const int status = reap(false);
  const std::string stderrText = ReadWholeFd(errFile.fd);
  if (WIFSIGNALED(status)) {
    Fail(argv, "killed by signal " + std::to_string(WTERMSIG(status)), stderrText);
  }
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    Fail(argv, "exit status " + std::to_string(WEXITSTATUS(status)), stderrText);
  }
  if (!stderrText.empty()) Fail(argv, "wrote to stderr", stderrText);
}

bool OnPath(const std::string& program) {
  const char* path = std::getenv("PATH");
  if (!path) return false;
  std::string_view rest = path;
  while (!rest.empty()) {
    const size_t colon = rest.find(':');
    const std::string dir(rest.substr(0, colon));
    if (access((dir + "/" + program).c_str(), X_OK) == 0) return true;
    if (colon == std::string_view::npos) break;
    rest.remove_prefix(colon + 1);
  }
  return false;
}

std::vector<std::string> NonEmptyLines(const std::vector<std::string>& argv) {
  std::vector<std::string> lines;
  RunReader(argv, [&](std::string_view line) {
    if (!line.empty()) lines.emplace_back(line);
  });
  return lines;
}

std::string StringOrNumber(const Json& value) {
  return value.is_string() ? value.get<std::string>() : value.dump();
}

// mdbtools' type names (access back end) in mdb-reader's vocabulary.
std::string NormalisedMdbToolsType(std::string_view type) {
  static const std::pair<std::string_view, std::string_view> kTypes[] = {
      {"Text", "text"},
      {"Memo/Hyperlink", "memo"},
      {"DateTime", "datetime"},
      {"Boolean", "boolean"},
      {"Byte", "byte"},
      {"Integer", "integer"},
      {"Long Integer", "long"},
      {"Currency", "currency"},
      {"Single", "float"},
      {"Double", "double"},
      {"Binary", "binary"},
      {"OLE", "ole"},
      {"Replication ID", "repid"},
      {"Numeric", "numeric"}};
  for (const auto& [from, to] : kTypes) {
    if (type == from) return std::string(to);
  }
  return std::string(type);
}

std::string ReadMdbScript() {
  return TESSALY_READ_MDB_SCRIPT;
}

std::vector<std::string> NodeCommand(const std::string& path, const std::string* table) {
  std::vector<std::string> argv{"node", ReadMdbScript(), NodeModulesDir(), path};
  if (table) argv.push_back(*table);
  return argv;
}

}  // namespace

bool ReaderTable::MayBeTruncated(size_t row, size_t column) const {
  return std::find(possiblyTruncated.begin(), possiblyTruncated.end(), std::pair{row, column}) !=
         possiblyTruncated.end();
}

namespace detail {

std::vector<ReaderColumn> ParseMdbSchema(std::string_view output, const std::string& table) {
  // The block is "CREATE TABLE [name]", " (", one "\t[column]\t\t\tType (n), " line
  // per column (the last without ", "), ");".
  const std::string header = "CREATE TABLE [" + table + "]";
  const size_t at = output.find(header + "\n");
  if (at == std::string_view::npos) {
    throw std::runtime_error("mdb-schema shows no table " + table);
  }
  std::vector<ReaderColumn> columns;
  size_t pos = at + header.size() + 1;
  bool open = false;
  while (pos < output.size()) {
    const size_t nl = output.find('\n', pos);
    std::string_view line = output.substr(pos, nl == std::string_view::npos ? nl : nl - pos);
    pos = nl == std::string_view::npos ? output.size() : nl + 1;
    if (line == " (") {
      open = true;
      continue;
    }
    if (line == ");") return columns;
    if (!open || !line.starts_with("\t[")) {
      throw std::runtime_error("unexpected mdb-schema line: " + std::string(line));
    }
    if (line.ends_with(", ")) line.remove_suffix(2);
    const size_t close = line.find("]\t\t\t");
    if (close == std::string_view::npos) {
      throw std::runtime_error("unexpected mdb-schema line: " + std::string(line));
    }
    ReaderColumn column;
    column.name = std::string(line.substr(2, close - 2));
    std::string_view type = line.substr(close + 4);
    int size = 0;
    if (type.ends_with(")")) {
      const size_t paren = type.rfind(" (");
      if (paren == std::string_view::npos) {
        throw std::runtime_error("unexpected mdb-schema type: " + std::string(type));
      }
      size = std::atoi(std::string(type.substr(paren + 2)).c_str());
      type = type.substr(0, paren);
    }
    column.type = NormalisedMdbToolsType(type);
    // mdbtools prints Jet 4 text sizes already halved to characters.
    column.size = column.type == "text" ? size : 0;
    columns.push_back(std::move(column));
  }
  throw std::runtime_error("mdb-schema output ends inside table " + table);
}

ReaderRow ParseMdbJsonLine(std::string_view line, const std::vector<ReaderColumn>& columns) {
  const Json object = Json::parse(line);
  if (!object.is_object()) throw std::runtime_error("mdb-json row is not an object");
  ReaderRow row(columns.size());
  size_t found = 0;
  for (size_t i = 0; i < columns.size(); ++i) {
    const auto it = object.find(columns[i].name);
    if (it == object.end()) continue;
    if (it->is_null() || it->is_object() || it->is_array()) {
      throw std::runtime_error("mdb-json value of " + columns[i].name + " is " + it->dump());
    }
    row[i] = StringOrNumber(*it);
    ++found;
  }
  if (found != object.size()) throw std::runtime_error("mdb-json row has unknown columns");
  return row;
}

}  // namespace detail

bool MdbToolsAvailable() {
  return OnPath("mdb-tables") && OnPath("mdb-schema") && OnPath("mdb-json");
}

std::vector<std::string> MdbToolsUserTables(const std::string& path) {
  return NonEmptyLines({"mdb-tables", "-1", path});
}

ReaderTable MdbToolsScan(const std::string& path, const std::string& table,
                         const RowVisitor& visit) {
  std::string schema;
  RunReader({"mdb-schema", "-T", table, "--no-indexes", "--no-relations", "--no-comments",
             "--no-drop-table", "--no-not-null", "--no-default-values", path, "access"},
            [&](std::string_view line) {
              schema.append(line);
              schema.push_back('\n');
            });

  ReaderTable result;
  result.emptyReadsAsNull = true;
  result.columns = detail::ParseMdbSchema(schema, table);

  size_t rowIndex = 0;
  // -T is the format of every date value in mdbtools 1.0 (-D is given for later
  // versions, which use it for dates without a time).
  RunReader({"mdb-json", "-T", "%Y-%m-%d %H:%M:%S", "-D", "%Y-%m-%d %H:%M:%S", path, table},
            [&](std::string_view line) {
              ReaderRow row = detail::ParseMdbJsonLine(line, result.columns);
              for (size_t c = 0; c < row.size(); ++c) {
                if (row[c] && row[c]->size() >= kMdbToolsCutLength) {
                  result.possiblyTruncated.emplace_back(rowIndex, c);
                }
              }
              visit(row);
              ++rowIndex;
            });
  return result;
}

ReaderTable MdbToolsRead(const std::string& path, const std::string& table) {
  std::vector<ReaderRow> rows;
  ReaderTable result =
      MdbToolsScan(path, table, [&](ReaderRow& row) { rows.push_back(std::move(row)); });
  result.rows = std::move(rows);
  return result;
}

std::string NodeModulesDir() {
  const char* fromEnv = std::getenv("TESSALY_NODE_MODULES");
  if (fromEnv && *fromEnv) return fromEnv;
  const std::string_view candidates = TESSALY_NODE_MODULES_CANDIDATES;
  std::string first;
  for (size_t start = 0; start <= candidates.size();) {
    const size_t colon = std::min(candidates.find(':', start), candidates.size());
    const std::string dir(candidates.substr(start, colon - start));
    struct stat info {};
    if (stat((dir + "/mdb-reader").c_str(), &info) == 0) return dir;
    if (first.empty()) first = dir;
    start = colon + 1;
  }
  return first;
}

bool MdbReaderAvailable() {
  struct stat info {};
  return OnPath("node") &&
         stat((NodeModulesDir() + "/mdb-reader/package.json").c_str(), &info) == 0;
}

std::vector<std::string> MdbReaderUserTables(const std::string& path) {
  const auto argv = NodeCommand(path, nullptr);
  std::vector<std::string> tables;
  bool seen = false;
  RunReader(argv, [&](std::string_view line) {
    const Json header = Json::parse(line);
    if (seen || !header.contains("tables")) {
      throw std::runtime_error("unexpected output: " + std::string(line.substr(0, 200)));
    }
    tables = header.at("tables").get<std::vector<std::string>>();
    seen = true;
  });
  if (!seen) Fail(argv, "printed nothing", "");
  return tables;
}

ReaderTable MdbReaderScan(const std::string& path, const std::string& table,
                          const RowVisitor& visit) {
  // Output: a header line {"tables":[...],"columns":[{name,type,size}]}, one JSON
  // array per row, and a closing line {"rows":N}.
  const auto argv = NodeCommand(path, &table);
  ReaderTable result;
  bool haveHeader = false;
  std::optional<size_t> closingCount;
  size_t rowCount = 0;
  RunReader(argv, [&](std::string_view line) {
    const Json json = Json::parse(line);
    if (closingCount) throw std::runtime_error("output after the closing line");
    if (!haveHeader) {
      for (const auto& c : json.at("columns")) {
        result.columns.push_back(ReaderColumn{c.at("name").get<std::string>(),
                                              c.at("type").get<std::string>(),
                                              c.at("size").get<int>()});
      }
      haveHeader = true;
      return;
    }
    if (json.is_object()) {
      closingCount = json.at("rows").get<size_t>();
      return;
    }
    if (!json.is_array() || json.size() != result.columns.size()) {
      throw std::runtime_error("row of the wrong shape: " + std::string(line.substr(0, 200)));
    }
    ReaderRow row(json.size());
    for (size_t i = 0; i < json.size(); ++i) {
      if (json[i].is_null()) continue;
      if (!json[i].is_string()) throw std::runtime_error("value is not text: " + json[i].dump());
      row[i] = json[i].get<std::string>();
    }
    visit(row);
    ++rowCount;
  });
  if (!closingCount || *closingCount != rowCount) Fail(argv, "output is incomplete", "");
  return result;
}

ReaderTable MdbReaderRead(const std::string& path, const std::string& table) {
  std::vector<ReaderRow> rows;
  ReaderTable result =
      MdbReaderScan(path, table, [&](ReaderRow& row) { rows.push_back(std::move(row)); });
  result.rows = std::move(rows);
  return result;
}

}  // namespace tessaly
