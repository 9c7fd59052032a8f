#include "tests/support/mdb_readers.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <nlohmann/json.hpp>
#include <sstream>
#include <stdexcept>
#include <string_view>

namespace tessaly {
namespace {

using Json = nlohmann::json;

std::string Quote(const std::string& arg) {
  std::string quoted = "'";
  for (const char c : arg) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

// Hands every stdout line to onLine. An exception from onLine or any sign of
// failure throws with the command line and the reader's stderr. The locale must be
// UTF-8 so names and values convert without loss.
void RunLines(const std::vector<std::string>& argv,
              const std::function<void(std::string_view)>& onLine) {
  std::string command =
      "env -u MDBICONV -u MDB_ICONV -u NODE_OPTIONS LC_ALL=C.UTF-8 NODE_NO_WARNINGS=1";
  for (const auto& arg : argv) command += " " + Quote(arg);
  char errPath[] = "/tmp/tessaly-reader-stderr-XXXXXX";
  const int errFd = mkstemp(errPath);
  if (errFd < 0) throw std::runtime_error("mkstemp failed");
  close(errFd);
  FILE* out = popen((command + " </dev/null 2>" + errPath).c_str(), "r");
  if (!out) throw std::runtime_error("popen failed: " + command);
  std::string problem, pending;
  try {
    char buffer[1 << 16];
    for (size_t n; (n = fread(buffer, 1, sizeof buffer, out)) > 0;) {
      // Scan only the new bytes for line ends: memo lines run to megabytes.
      size_t from = pending.size(), start = 0;
      pending.append(buffer, n);
      for (size_t nl; (nl = pending.find('\n', from)) != std::string::npos; from = start = nl + 1) {
        onLine(std::string_view(pending).substr(start, nl - start));
      }
      pending.erase(0, start);
    }
    if (ferror(out)) throw std::runtime_error("read failed");
    if (!pending.empty()) onLine(pending);
  } catch (const std::exception& e) {
    problem = e.what();
  }
  const int status = pclose(out);  // a reader cut off by the closed pipe dies of SIGPIPE
  std::ifstream errFile(errPath);
  const std::string err{std::istreambuf_iterator<char>(errFile), {}};
  unlink(errPath);
  if (problem.empty() && status != 0) problem = "wait status " + std::to_string(status);
  if (problem.empty() && !err.empty()) problem = "wrote to stderr";
  if (!problem.empty()) {
    throw std::runtime_error(command + ": " + problem +
                             (err.empty() ? "" : "\n--- stderr ---\n" + err));
  }
}

bool OnPath(const std::string& program) {
  return std::system(("command -v '" + program + "' >/dev/null").c_str()) == 0;
}

// mdb-schema prints "CREATE TABLE [name]\n (\n", per column "\t[column]\t\t\tType (n), "
// (the last without ", ") and ");". Text sizes are already halved to characters;
// type names other than these three stay as mdbtools spells them, so they compare unequal.
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
  std::vector<ReaderColumn> columns;
  std::istringstream lines(output.substr(start + header.size(), end + 1 - start - header.size()));
  for (std::string line; std::getline(lines, line);) {
    if (line.ends_with(", ")) line.resize(line.size() - 2);
    const size_t close = line.find("]\t\t\t"), paren = line.find(" (", close);
    if (!line.starts_with("\t[") || close == std::string::npos) {
      throw std::runtime_error("unexpected mdb-schema line: " + line);
    }
    const std::string type = line.substr(close + 4, paren - close - 4);
    const auto known = types.find(type);
    columns.push_back({line.substr(2, close - 2), known != types.end() ? known->second : type,
                       type == "Text" ? std::stoi(line.substr(paren + 2)) : 0});
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

template <ReaderTable (*scan)(const std::string&, const std::string&, const RowVisitor&)>
ReaderTable ReadRows(const std::string& path, const std::string& table) {
  std::vector<ReaderRow> rows;
  ReaderTable result = scan(path, table, [&](ReaderRow& row) { rows.push_back(std::move(row)); });
  result.rows = std::move(rows);
  return result;
}

}  // namespace

std::string RunTool(const std::vector<std::string>& argv) {
  std::string output;
  RunLines(argv, [&](std::string_view line) { (output += line) += '\n'; });
  return output;
}

std::string NodeModulesDir() {
  const char* fromEnv = std::getenv("TESSALY_NODE_MODULES");
  if (fromEnv && *fromEnv) return fromEnv;
  const std::string_view candidates = TESSALY_NODE_MODULES_CANDIDATES;
  const std::string first(candidates.substr(0, candidates.find(':')));
  const std::string second(candidates.substr(candidates.find(':') + 1));
  return std::filesystem::exists(first + "/mdb-reader") ||
                 !std::filesystem::exists(second + "/mdb-reader")
             ? first
             : second;
}

bool MdbToolsAvailable() {
  return OnPath("mdb-tables") && OnPath("mdb-schema") && OnPath("mdb-json");
}

bool MdbReaderAvailable() {
  return OnPath("node") && std::filesystem::exists(NodeModulesDir() + "/mdb-reader/package.json");
}

std::vector<std::string> MdbToolsUserTables(const std::string& path) {
  std::vector<std::string> tables;
  RunLines({"mdb-tables", "-1", path}, [&](std::string_view line) {
    if (!line.empty()) tables.emplace_back(line);
  });
  return tables;
}

std::vector<std::string> MdbReaderUserTables(const std::string& path) {
  std::vector<std::string> tables;
  RunReadMdb(path, "", [&](const Json& json, size_t) { tables = json; });
  return tables;
}

std::vector<std::string> MdbToolsAllTables(const std::string& path) {
  std::vector<std::string> tables;
  RunLines({"mdb-tables", "-S", "-1", path}, [&](std::string_view line) {
    if (!line.empty()) tables.emplace_back(line);
  });
  return tables;
}

std::vector<std::string> MdbReaderAllTables(const std::string& path) {
  std::vector<std::string> tables;
  RunReadMdb(path, "--all-tables", [&](const Json& json, size_t) { tables = json; });
  return tables;
}

ReaderTable MdbToolsScan(const std::string& path, const std::string& table,
                         const RowVisitor& visit) {
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

ReaderTable MdbReaderScan(const std::string& path, const std::string& table,
                          const RowVisitor& visit) {
  ReaderTable result;
  RunReadMdb(path, table, [&](const Json& json, size_t index) {
    if (index == 0) {
      for (const auto& c : json) {
        result.columns.push_back({c.at("name"), c.at("type"), c.at("size").get<int>()});
      }
    } else if (!json.is_array() || json.size() != result.columns.size()) {
      throw std::runtime_error("row of the wrong shape: " + json.dump().substr(0, 200));
    } else {
      ReaderRow row(json.size());
      for (size_t i = 0; i < json.size(); ++i) {
        if (!json[i].is_null()) row[i] = json[i].get<std::string>();
      }
      visit(row);
    }
  });
  return result;
}

ReaderTable MdbToolsRead(const std::string& path, const std::string& table) {
  return ReadRows<MdbToolsScan>(path, table);
}

ReaderTable MdbReaderRead(const std::string& path, const std::string& table) {
  return ReadRows<MdbReaderScan>(path, table);
}

}  // namespace tessaly
