#include "tests/support/mdb_readers.h"

#ifndef _WIN32
#include <unistd.h>
#endif

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <nlohmann/json.hpp>
#include <regex>
#include <sstream>
#include <stdexcept>
#include <string_view>

namespace tessaly {
namespace {

using Json = nlohmann::json;

#ifdef _WIN32

[[noreturn]] void RunLines(const std::vector<std::string>& argv,
                           const std::function<void(std::string_view)>& /*onLine*/,
                           const std::string& /*input*/ = {}) {
  throw std::runtime_error(argv.front() + ": the independent readers run on Linux only");
}

bool OnPath(const std::string& /*program*/) {
  return false;
}

#else

// Hands every stdout line to onLine; `input` is the program's stdin. An exception
// from onLine or any sign of failure throws with the command line and the reader's
// stderr. The locale must be UTF-8 so names and values convert without loss.
void RunLines(const std::vector<std::string>& argv,
              const std::function<void(std::string_view)>& onLine,
              const std::string& input = {}) {
  std::string command =
      "env -u MDBICONV -u MDB_ICONV -u NODE_OPTIONS LC_ALL=C.UTF-8 NODE_NO_WARNINGS=1";
  for (const auto& arg : argv) {
    command += " '";
    for (const char c : arg) command += c == '\'' ? std::string("'\\''") : std::string(1, c);
    command += "'";
  }
  char errPath[] = "/tmp/tessaly-reader-stderr-XXXXXX";
  const int errFd = mkstemp(errPath);
  if (errFd < 0) throw std::runtime_error("mkstemp failed");
  close(errFd);
  char inPath[] = "/tmp/tessaly-reader-stdin-XXXXXX";
  const int inFd = mkstemp(inPath);
  if (inFd < 0) throw std::runtime_error("mkstemp failed");
  const bool written = write(inFd, input.data(), input.size()) == static_cast<ssize_t>(input.size());
  close(inFd);
  if (!written) throw std::runtime_error("writing the input of " + command + " failed");
  FILE* out = popen((command + " <" + inPath + " 2>" + errPath).c_str(), "r");
  if (!out) {
    unlink(inPath);
    throw std::runtime_error("popen failed: " + command);
  }
  std::string problem;
  char* line = nullptr;  // getline grows it to the longest line: memo lines run to megabytes
  size_t capacity = 0;
  try {
    for (ssize_t n; (n = getline(&line, &capacity, out)) > 0;) {
      onLine(std::string_view(line, static_cast<size_t>(n) - (line[n - 1] == '\n' ? 1 : 0)));
    }
    if (ferror(out)) throw std::runtime_error("read failed");
  } catch (const std::exception& e) {
    problem = e.what();
  }
  free(line);
  const int status = pclose(out);  // a reader cut off by the closed pipe dies of SIGPIPE
  unlink(inPath);
  std::ifstream errFile(errPath);
  const std::string err{std::istreambuf_iterator<char>(errFile), {}};
  unlink(errPath);
  if (problem.empty() && (status != 0 || !err.empty())) {
    problem = status != 0 ? "wait status " + std::to_string(status) : "wrote to stderr";
  }
  if (!problem.empty()) {
    throw std::runtime_error(command + ": " + problem +
                             (err.empty() ? "" : "\n--- stderr ---\n" + err));
  }
}

bool OnPath(const std::string& program) {
  return std::system(("command -v '" + program + "' >/dev/null").c_str()) == 0;
}

#endif

// mdb-schema prints "CREATE TABLE [name]\n (\n", a line per column and "\n);". Text
// sizes are in characters; other types than these three keep mdbtools' names.
std::vector<ReaderColumn> MdbToolsColumns(const std::string& path, const std::string& table) {
  const std::string output =
      RunTool({"mdb-schema", "-T", table, "--no-indexes", "--no-relations", "--no-comments",
               "--no-drop-table", "--no-not-null", "--no-default-values", path, "access"});
  const std::string header = "CREATE TABLE [" + table + "]\n (\n";
  const size_t start = output.find(header), end = output.find("\n);\n", start);
  if (start == std::string::npos || end == std::string::npos) {
    throw std::runtime_error("no complete table " + table + " in mdb-schema output:\n" + output);
  }
  static const std::map<std::string, std::string> types = {
      {"Text", "text"}, {"Memo/Hyperlink", "memo"}, {"DateTime", "datetime"}};
  static const std::regex column(R"(\t\[(.+)\]\t\t\t(.+?)(?: \((\d+)\))?(?:, )?)");
  std::vector<ReaderColumn> columns;
  std::istringstream lines(output.substr(start + header.size(), end + 1 - start - header.size()));
  for (std::string line; std::getline(lines, line);) {
    std::smatch m;
    if (!std::regex_match(line, m, column)) throw std::runtime_error("mdb-schema line: " + line);
    const auto known = types.find(m[2]);
    columns.push_back({m[1], known != types.end() ? known->second : m[2].str(),
                       m[2] == "Text" ? std::stoi(m[3]) : 0});
  }
  return columns;
}

// read_mdb.mjs prints JSON lines: the table names, or the columns of `table` and one
// array per row; then {"lines":N} counting the lines before it.
void RunReadMdb(const std::string& path, const std::string& table,
                const std::function<void(const Json&, size_t index)>& onValue) {
  std::optional<size_t> closing;
  size_t count = 0;
  RunLines({"node", TESSALY_READ_MDB_SCRIPT, NodeModulesDir(), path, table},
           [&](std::string_view line) {
             const Json json = Json::parse(line);
             if (closing) throw std::runtime_error("output after the closing line");
             if (json.is_object()) closing = json.at("lines").get<size_t>();
             if (!closing) onValue(json, count++);
           });
  if (closing != count) throw std::runtime_error("read_mdb.mjs " + path + ": output is incomplete");
}

}  // namespace

std::string RunTool(const std::vector<std::string>& argv) {
  std::string output;
  RunLines(argv, [&](std::string_view line) { (output += line) += '\n'; });
  return output;
}

std::string NodeModulesDir() {
  if (const char* fromEnv = std::getenv("TESSALY_NODE_MODULES"); fromEnv && *fromEnv)
    return fromEnv;
  const std::string_view both = TESSALY_NODE_MODULES_CANDIDATES;
  const std::string first(both.substr(0, both.find(':'))), second(both.substr(both.find(':') + 1));
  const auto has = [](const std::string& dir) {
    return std::filesystem::exists(dir + "/mdb-reader");
  };
  return has(second) && !has(first) ? second : first;
}

bool MdbToolsAvailable() {
  return OnPath("mdb-tables") && OnPath("mdb-schema") && OnPath("mdb-json");
}

bool MdbReaderAvailable() {
  return OnPath("node") && std::filesystem::exists(NodeModulesDir() + "/mdb-reader/package.json");
}

bool OdbcAvailable() {
  if (!OnPath("isql") || !OnPath("odbcinst")) return false;
  return RunTool({"odbcinst", "-q", "-d"}).find("[MDBTools]") != std::string::npos;
}

std::vector<std::vector<std::string>> OdbcQuery(const std::string& path, const std::string& sql) {
  if (path.find_first_of(";{}") != std::string::npos) {
    throw std::runtime_error("a path ODBC cannot take in a connection string: " + path);
  }
  std::vector<std::vector<std::string>> rows;
  RunLines({"isql", "-b", "-k", "-x0x09", "Driver=MDBTools;DBQ=" + path},
           [&](std::string_view line) {
             std::vector<std::string>& row = rows.emplace_back();
             for (size_t at = 0;;) {
               const size_t tab = line.find('\t', at);
               row.emplace_back(line.substr(at, tab - at));
               if (tab == std::string_view::npos) break;
               at = tab + 1;
             }
           },
           sql + "\n");
  return rows;
}

std::vector<std::string> Tables(Reader reader, const std::string& path, bool system) {
  std::vector<std::string> tables;
  if (reader == Reader::kMdbReader) {
    RunReadMdb(path, system ? "--all-tables" : "",
               [&](const Json& json, size_t) { tables = json; });
    return tables;
  }
  std::vector<std::string> argv = {"mdb-tables", "-1", path};
  if (system) argv.insert(argv.begin() + 1, "-S");
  RunLines(argv, [&](std::string_view line) {
    if (!line.empty()) tables.emplace_back(line);
  });
  return tables;
}

ReaderTable Scan(Reader reader, const std::string& path, const std::string& table,
                 const RowVisitor& visit) {
  if (reader == Reader::kMdbReader) {
    ReaderTable result;
    RunReadMdb(path, table, [&](const Json& json, size_t index) {
      if (index == 0) {
        for (const auto& c : json) {
          result.columns.push_back({c.at("name"), c.at("type"), c.at("size").get<int>()});
        }
        return;
      }
      if (!json.is_array() || json.size() != result.columns.size()) {
        throw std::runtime_error("row of the wrong shape: " + json.dump().substr(0, 200));
      }
      ReaderRow row(json.size());
      for (size_t i = 0; i < json.size(); ++i) {
        if (!json[i].is_null()) row[i] = json[i].get<std::string>();
      }
      visit(row);
    });
    return result;
  }
  // mdbtools cuts at 199,999 bytes, possibly inside a character it then drops.
  ReaderTable result{MdbToolsColumns(path, table), {}, true, true, 199'997};
  // One object per row holding the non-empty values by name. -T is the format of
  // every date in mdbtools 1.0; later versions use -D for dates without a time.
  RunLines({"mdb-json", "-T", "%Y-%m-%d %H:%M:%S", "-D", "%Y-%m-%d %H:%M:%S", path, table},
           [&](std::string_view line) {
             const Json object = Json::parse(line);
             ReaderRow row(result.columns.size());
             size_t found = 0;
             for (size_t i = 0; i < row.size(); ++i) {
               const auto it = object.find(result.columns[i].name);
               if (it == object.end()) continue;
               row[i] = it->is_string() ? it->get<std::string>() : it->dump();
               ++found;
             }
             if (!object.is_object() || found != object.size()) {
               throw std::runtime_error("mdb-json row " + std::string(line.substr(0, 200)));
             }
             visit(row);
           });
  return result;
}

ReaderTable Read(Reader reader, const std::string& path, const std::string& table) {
  std::vector<ReaderRow> rows;
  ReaderTable result =
      Scan(reader, path, table, [&](ReaderRow& row) { rows.push_back(std::move(row)); });
  result.rows = std::move(rows);
  return result;
}

}  // namespace tessaly
