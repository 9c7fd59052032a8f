#pragma once

// Independent readers of .mdb files, run as separate processes so that our own
// reader is never the only judge of our writer: mdbtools (mdb-tables, mdb-schema,
// mdb-json) and the npm package mdb-reader, run by Node.js through read_mdb.mjs.
//
// Every failure (cannot start, killed, non-zero exit, anything on stderr, output
// that does not parse or ends early) throws std::runtime_error with the command
// line and stderr, so a test fails loudly.
//
// Reader limits the tests allow for (mdbtools 1.0.0, mdb-reader 3.2.0):
//   - mdbtools prints a zero-length text like a Null: both read as nullopt
//     (ReaderTable::emptyReadsAsNull). mdb-reader tells them apart.
//   - mdbtools cuts every value at 199,999 bytes of UTF-8, between characters, so a
//     long memo comes back as a prefix (ReaderTable::cutLength). mdb-reader has no
//     limit.
//   - mdbtools shows no date before 1899-12-30 nor after about the year 4637; it
//     prints "1900-01-00 00:00:00" instead.
//   - mdbtools returns characters outside the Basic Multilingual Plane as "??"
//     (ReaderTable::onlyBmp).
//   - mdb-reader maps a date linearly onto an instant, wrong before 1899-12-30 with
//     a time of day (Jet stores 1899-12-29 06:00 as -1.25); read_mdb.mjs recovers
//     the stored value and splits it the Jet way.

#include <cstddef>
#include <functional>
#include <limits>
#include <optional>
#include <string>
#include <vector>

namespace tessaly {

struct ReaderColumn {
  std::string name;
  std::string type;  // mdb-reader's names: "text", "memo", "datetime", ...
  int size = 0;      // text columns: the maximum length in characters; else 0
  bool operator==(const ReaderColumn&) const = default;
};

// UTF-8 values, Null = nullopt, dates as "YYYY-MM-DD HH:MM:SS".
using ReaderRow = std::vector<std::optional<std::string>>;

struct ReaderTable {
  std::vector<ReaderColumn> columns;
  std::vector<ReaderRow> rows;  // empty after a Scan
  bool emptyReadsAsNull = false;
  bool onlyBmp = false;
  // Values of this many bytes or more may be a prefix of the stored text.
  size_t cutLength = std::numeric_limits<size_t>::max();
};

// Called once per row in storage order; the row may be moved from.
using RowVisitor = std::function<void(ReaderRow& row)>;

// Runs argv (looked up on the PATH) and returns its stdout; throws as above.
std::string RunTool(const std::vector<std::string>& argv);

// mdb-reader is looked for in $TESSALY_NODE_MODULES, else <build>/node/node_modules
// (scripts/install-mdb-reader.sh <build>/node), else <build>/node_modules.
std::string NodeModulesDir();
bool MdbToolsAvailable();
bool MdbReaderAvailable();

// User tables in catalog order.
std::vector<std::string> MdbToolsUserTables(const std::string& path);
std::vector<std::string> MdbReaderUserTables(const std::string& path);
// System and user tables in catalog order. The Read functions below read system
// tables too; mdb-reader shows numbers in decimal, Booleans as "true"/"false" and
// binary values as lowercase hex.
std::vector<std::string> MdbToolsAllTables(const std::string& path);
std::vector<std::string> MdbReaderAllTables(const std::string& path);
ReaderTable MdbToolsRead(const std::string& path, const std::string& table);
ReaderTable MdbReaderRead(const std::string& path, const std::string& table);
// Without keeping the rows, for large tables.
ReaderTable MdbToolsScan(const std::string& path, const std::string& table,
                         const RowVisitor& visit);
ReaderTable MdbReaderScan(const std::string& path, const std::string& table,
                          const RowVisitor& visit);

}  // namespace tessaly
