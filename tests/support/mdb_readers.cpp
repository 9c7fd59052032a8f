#include "tests/support/mdb_readers.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <nlohmann/json.hpp>
#include <stdexcept>
#include <string_view>

extern char** environ;

namespace tessaly {
namespace {

using Json = nlohmann::json;
using LineHandler = std::function<void(std::string_view line)>;

// mdbtools cuts at 199,999 bytes, possibly inside a character it then drops.
constexpr size_t kMdbToolsCutLength = 199'997;

struct Fd {
  int fd = -1;
  ~Fd() {
    if (fd >= 0) close(fd);
  }
};

std::string ReadAll(int fd) {
  std::string text;
  char buffer[1 << 16];
  for (ssize_t n; (n = read(fd, buffer, sizeof buffer)) != 0;) {
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) throw std::runtime_error(std::string("read failed: ") + strerror(errno));
    text.append(buffer, static_cast<size_t>(n));
  }
  return text;
}

// Hands every stdout line (without its '\n') to onLine. An exception from onLine
// or any sign of failure throws with the command line and the reader's stderr.
void RunLines(const std::vector<std::string>& argv, const LineHandler& onLine) {
  auto fail = [&](const std::string& what, const std::string& stderrText) {
    std::string message;
    for (const auto& arg : argv) message += (message.empty() ? "" : " ") + arg;
    message += ": " + what;
    if (!stderrText.empty()) message += "\n--- stderr ---\n" + stderrText;
    throw std::runtime_error(message);
  };
  char stderrPath[] = "/tmp/tessaly-reader-stderr-XXXXXX";
  Fd err{mkstemp(stderrPath)};
  if (err.fd < 0) fail("cannot create the stderr file", "");
  unlink(stderrPath);
  int fds[2];
  if (pipe2(fds, O_CLOEXEC) != 0) fail("pipe failed", "");
  Fd out{fds[0]};
  Fd childOut{fds[1]};

  // The child's locale must be UTF-8 so names and values convert without loss.
  std::vector<std::string> env;
  for (char** e = environ; *e; ++e) {
    const std::string_view entry = *e;
    if (!entry.starts_with("LC_ALL=") && !entry.starts_with("MDBICONV=") &&
        !entry.starts_with("MDB_ICONV=") && !entry.starts_with("NODE_OPTIONS=")) {
      env.emplace_back(entry);
    }
  }
  env.insert(env.end(), {"LC_ALL=C.UTF-8", "NODE_NO_WARNINGS=1"});
  std::vector<char*> args, envp;
  for (const auto& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
  for (auto& entry : env) envp.push_back(entry.data());
  args.push_back(nullptr);
  envp.push_back(nullptr);

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, childOut.fd, STDOUT_FILENO);
  posix_spawn_file_actions_adddup2(&actions, err.fd, STDERR_FILENO);
  posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  pid_t pid = 0;
  const int spawnError = posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  if (spawnError != 0) fail(std::string("cannot start: ") + strerror(spawnError), "");
  close(childOut.fd);
  childOut.fd = -1;

  std::string problem;
  try {
    std::string pending;
    char buffer[1 << 16];
    for (ssize_t n; (n = read(out.fd, buffer, sizeof buffer)) != 0;) {
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) throw std::runtime_error(std::string("read failed: ") + strerror(errno));
      // Scan only the new bytes for line ends: memo lines run to megabytes.
      size_t from = pending.size(), start = 0;
      pending.append(buffer, static_cast<size_t>(n));
      for (size_t nl; (nl = pending.find('\n', from)) != std::string::npos; from = start) {
        onLine(std::string_view(pending).substr(start, nl - start));
        start = nl + 1;
      }
      pending.erase(0, start);
    }
    if (!pending.empty()) onLine(pending);
  } catch (const std::exception& e) {
    problem = e.what();
    kill(pid, SIGKILL);
  }
  int status = 0;
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  lseek(err.fd, 0, SEEK_SET);
  const std::string stderrText = ReadAll(err.fd);
  if (!problem.empty()) fail(problem, stderrText);
  if (WIFSIGNALED(status)) fail("killed by signal " + std::to_string(WTERMSIG(status)), stderrText);
  if (WEXITSTATUS(status) != 0)
    fail("exit status " + std::to_string(WEXITSTATUS(status)), stderrText);
  if (!stderrText.empty()) fail("wrote to stderr", stderrText);
}

bool OnPath(const std::string& program) {
  const char* path = std::getenv("PATH");
  for (std::string_view rest = path ? path : ""; !rest.empty();) {
    const size_t colon = std::min(rest.find(':'), rest.size());
    if (access((std::string(rest.substr(0, colon)) + "/" + program).c_str(), X_OK) == 0) {
      return true;
    }
    rest.remove_prefix(std::min(colon + 1, rest.size()));
  }
  return false;
}

bool Exists(const std::string& path) {
  struct stat info {};
  return stat(path.c_str(), &info) == 0;
}

// Columns of `table` in `mdb-schema -T table file access` output: "CREATE TABLE
// [name]", " (", per column "\t[column]\t\t\tType (n), " (the last without ", "), ");".
std::vector<ReaderColumn> ParseMdbSchema(std::string_view output, const std::string& table) {
  const std::string header = "CREATE TABLE [" + table + "]\n (\n";
  size_t pos = output.find(header);
  if (pos == std::string_view::npos) throw std::runtime_error("no table " + table);
  std::vector<ReaderColumn> columns;
  for (pos += header.size(); pos < output.size();) {
    const size_t nl = std::min(output.find('\n', pos), output.size());
    std::string_view line = output.substr(pos, nl - pos);
    pos = nl + 1;
    if (line == ");") return columns;
    if (line.ends_with(", ")) line.remove_suffix(2);
    const size_t close = line.find("]\t\t\t");
    if (!line.starts_with("\t[") || close == std::string_view::npos) {
      throw std::runtime_error("unexpected mdb-schema line: " + std::string(line));
    }
    std::string_view type = line.substr(close + 4);
    const size_t paren = type.find(" (");
    // mdbtools prints Jet 4 text sizes already halved to characters.
    const int size = type.starts_with("Text (") ? std::atoi(type.data() + paren + 2) : 0;
    type = type.substr(0, paren);
    // Other type names are left as mdbtools spells them, so they compare unequal.
    columns.push_back({std::string(line.substr(2, close - 2)),
                       type == "Text"             ? "text"
                       : type == "Memo/Hyperlink" ? "memo"
                       : type == "DateTime"       ? "datetime"
                                                  : std::string(type),
                       size});
  }
  throw std::runtime_error("mdb-schema output ends inside table " + table);
}

}  // namespace

std::string RunTool(const std::vector<std::string>& argv) {
  std::string output;
  RunLines(argv, [&](std::string_view line) {
    output.append(line);
    output.push_back('\n');
  });
  return output;
}

std::string NodeModulesDir() {
  const char* fromEnv = std::getenv("TESSALY_NODE_MODULES");
  if (fromEnv && *fromEnv) return fromEnv;
  const std::string_view candidates = TESSALY_NODE_MODULES_CANDIDATES;
  const size_t colon = candidates.find(':');
  const std::string first(candidates.substr(0, colon));
  const std::string second(candidates.substr(colon + 1));
  return Exists(first + "/mdb-reader") || !Exists(second + "/mdb-reader") ? first : second;
}

bool MdbToolsAvailable() {
  return OnPath("mdb-tables") && OnPath("mdb-schema") && OnPath("mdb-json");
}

bool MdbReaderAvailable() {
  return OnPath("node") && Exists(NodeModulesDir() + "/mdb-reader/package.json");
}

std::vector<std::string> MdbToolsUserTables(const std::string& path) {
  std::vector<std::string> tables;
  RunLines({"mdb-tables", "-1", path}, [&](std::string_view line) {
    if (!line.empty()) tables.emplace_back(line);
  });
  return tables;
}

ReaderTable MdbToolsScan(const std::string& path, const std::string& table,
                         const RowVisitor& visit) {
  ReaderTable result;
  result.emptyReadsAsNull = true;
  result.onlyBmp = true;
  result.cutLength = kMdbToolsCutLength;
  result.columns = ParseMdbSchema(
      RunTool({"mdb-schema", "-T", table, "--no-indexes", "--no-relations", "--no-comments",
               "--no-drop-table", "--no-not-null", "--no-default-values", path, "access"}),
      table);
  // mdb-json prints one object per row holding the non-empty values by name. -T is
  // the format of every date in mdbtools 1.0; later versions use -D for dates
  // without a time.
  RunLines(
      {"mdb-json", "-T", "%Y-%m-%d %H:%M:%S", "-D", "%Y-%m-%d %H:%M:%S", path, table},
      [&](std::string_view line) {
        const Json object = Json::parse(line);
        ReaderRow row(result.columns.size());
        size_t found = 0;
        for (size_t i = 0; i < row.size(); ++i) {
          const auto it = object.find(result.columns[i].name);
          if (it == object.end()) continue;
          if (it->is_structured() || it->is_null()) {
            throw std::runtime_error("unexpected mdb-json value " + it->dump());
          }
          row[i] = it->is_string() ? it->get<std::string>() : it->dump();
          ++found;
        }
        if (!object.is_object() || found != object.size()) {
          throw std::runtime_error("unexpected mdb-json row " + std::string(line.substr(0, 200)));
        }
        visit(row);
      });
  return result;
}

namespace {

// read_mdb.mjs prints {"tables":[...],"columns":[...]}, one JSON array per row of
// `table` (none without one) and {"rows":N}.
ReaderTable RunMdbReader(const std::string& path, const std::string& table, const RowVisitor& visit,
                         std::vector<std::string>* tables) {
  ReaderTable result;
  bool header = false;
  std::optional<size_t> closingCount;
  size_t rowCount = 0;
  RunLines(
      {"node", TESSALY_READ_MDB_SCRIPT, NodeModulesDir(), path, table}, [&](std::string_view line) {
        const Json json = Json::parse(line);
        if (closingCount) throw std::runtime_error("output after the closing line");
        if (!header) {
          if (tables) *tables = json.at("tables").get<std::vector<std::string>>();
          for (const auto& c : json.at("columns")) {
            result.columns.push_back({c.at("name").get<std::string>(),
                                      c.at("type").get<std::string>(), c.at("size").get<int>()});
          }
          header = true;
        } else if (json.is_object()) {
          closingCount = json.at("rows").get<size_t>();
        } else if (!json.is_array() || json.size() != result.columns.size()) {
          throw std::runtime_error("row of the wrong shape: " + std::string(line.substr(0, 200)));
        } else {
          ReaderRow row(json.size());
          for (size_t i = 0; i < json.size(); ++i) {
            if (!json[i].is_null()) row[i] = json[i].get<std::string>();
          }
          visit(row);
          ++rowCount;
        }
      });
  if (!closingCount || *closingCount != rowCount) {
    throw std::runtime_error("read_mdb.mjs " + path + ": output is incomplete");
  }
  return result;
}

ReaderTable ReadRows(ReaderTable (*scan)(const std::string&, const std::string&, const RowVisitor&),
                     const std::string& path, const std::string& table) {
  std::vector<ReaderRow> rows;
  ReaderTable result = scan(path, table, [&](ReaderRow& row) { rows.push_back(std::move(row)); });
  result.rows = std::move(rows);
  return result;
}

}  // namespace

std::vector<std::string> MdbReaderUserTables(const std::string& path) {
  std::vector<std::string> tables;
  RunMdbReader(
      path, "", [](ReaderRow&) {}, &tables);
  return tables;
}

ReaderTable MdbReaderScan(const std::string& path, const std::string& table,
                          const RowVisitor& visit) {
  return RunMdbReader(path, table, visit, nullptr);
}

ReaderTable MdbToolsRead(const std::string& path, const std::string& table) {
  return ReadRows(MdbToolsScan, path, table);
}

ReaderTable MdbReaderRead(const std::string& path, const std::string& table) {
  return ReadRows(MdbReaderScan, path, table);
}

}  // namespace tessaly
