#pragma once

// Independent readers of .mdb files, run as separate processes so that our own
// reader is never the only judge of our writer:
//   - mdbtools (Debian package): mdb-tables, mdb-schema, mdb-json;
//   - the npm package mdb-reader, run by Node.js through read_mdb.mjs.
//
// Every failure (the reader cannot be started, crashes, exits non-zero, writes to
// stderr, or prints output that does not parse) throws std::runtime_error with the
// reader's command line and stderr, so a test fails loudly.
//
// What the readers can and cannot show (mdbtools 1.0.0, mdb-reader 3.2.0):
//   - mdbtools prints a zero-length text exactly like a Null: both read as nullopt
//     (ReaderTable::emptyReadsAsNull). mdb-reader tells them apart.
//   - mdbtools cuts every value at 199,999 bytes of UTF-8 (a fixed 200,000-byte
//     buffer), so a memo of 1,000,000 characters comes back shortened (a prefix of
//     the stored text, cut between characters); such values are listed in
//     ReaderTable::possiblyTruncated. mdb-reader has no limit.
//   - mdbtools shows no date before 1899-12-30 nor after about the year 4637: it
//     prints kMdbToolsUnshownDate instead.
//   - Characters outside the Basic Multilingual Plane come back from mdbtools as
//     "??" (it converts from UCS-2).
//   - mdb-reader maps a date linearly onto an instant, which is wrong before
//     1899-12-30 when there is a time of day (Jet stores 1899-12-29 06:00 as -1.25);
//     read_mdb.mjs recovers the stored value and splits it the Jet way.

#include <cstddef>
#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tessaly {

struct ReaderColumn {
  std::string name;
  // "text", "memo", "datetime", "boolean", "byte", "integer", "long", "currency",
  // "float", "double", "binary", "ole", "repid", "numeric", ...
  std::string type;
  // Text columns: the maximum length in characters; 0 for every other type.
  int size = 0;
  bool operator==(const ReaderColumn&) const = default;
};

// UTF-8 values, Null = nullopt, dates as "YYYY-MM-DD HH:MM:SS".
using ReaderRow = std::vector<std::optional<std::string>>;

struct ReaderTable {
  std::vector<ReaderColumn> columns;
  std::vector<ReaderRow> rows;
  // The reader shows a zero-length text as Null (mdbtools).
  bool emptyReadsAsNull = false;
  // (row, column) of values long enough to have been cut by the reader.
  std::vector<std::pair<size_t, size_t>> possiblyTruncated;

  bool MayBeTruncated(size_t row, size_t column) const;
};

// Called once per row in storage order; the row may be moved from.
using RowVisitor = std::function<void(ReaderRow& row)>;

inline constexpr std::string_view kMdbToolsUnshownDate = "1900-01-00 00:00:00";
// mdbtools values of this many UTF-8 bytes or more may have been cut.
inline constexpr size_t kMdbToolsCutLength = 199'997;

// mdb-tables, mdb-schema and mdb-json are on the PATH.
bool MdbToolsAvailable();
// User tables in catalog order, as `mdb-tables -1` lists them.
std::vector<std::string> MdbToolsUserTables(const std::string& path);
ReaderTable MdbToolsRead(const std::string& path, const std::string& table);
// Like MdbToolsRead without keeping the rows (for large tables): rows stays empty
// and possiblyTruncated counts rows as visited.
ReaderTable MdbToolsScan(const std::string& path, const std::string& table,
                         const RowVisitor& visit);

// Where mdb-reader is looked for: $TESSALY_NODE_MODULES, else <build>/node/node_modules
// (filled by scripts/install-mdb-reader.sh <build>/node), else <build>/node_modules.
std::string NodeModulesDir();
// node is on the PATH and mdb-reader is installed in NodeModulesDir().
bool MdbReaderAvailable();
std::vector<std::string> MdbReaderUserTables(const std::string& path);
ReaderTable MdbReaderRead(const std::string& path, const std::string& table);
ReaderTable MdbReaderScan(const std::string& path, const std::string& table,
                          const RowVisitor& visit);

// The parsers behind the mdbtools side, exposed for their own tests.
namespace detail {
// Columns of `table` from the output of `mdb-schema -T table file access`.
std::vector<ReaderColumn> ParseMdbSchema(std::string_view output, const std::string& table);
// One line of `mdb-json` output: an object holding the non-empty values by name.
ReaderRow ParseMdbJsonLine(std::string_view line, const std::vector<ReaderColumn>& columns);
}  // namespace detail

}  // namespace tessaly
