#pragma once

// Independent readers of .mdb files, run as separate processes so that our own
// reader is never the only judge of our writer: mdbtools, the npm package
// mdb-reader (through read_mdb.mjs), and ODBC. Any sign of failure, stderr output included,
// throws std::runtime_error with the command line and stderr.
//
// Limits allowed for (mdbtools 1.0.0): a zero-length text reads as Null, values are
// cut at 199,999 bytes, characters outside the BMP read as "??", and no date before
// 1899-12-30 or after about 4637 shows. mdb-reader 3.2.0 maps dates before
// 1899-12-30 with a time of day wrongly; read_mdb.mjs recovers the stored value.

#include <cstddef>
#include <functional>
#include <limits>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace tessaly {

struct ReaderColumn {
  std::string name;
  std::string type;  // mdb-reader's names: "text", "memo", "datetime", ...
  int size = 0;      // text columns: the maximum length in characters; else 0
  bool operator==(const ReaderColumn&) const = default;
};

// UTF-8 values, Null = nullopt, dates as "YYYY-MM-DD HH:MM:SS"; from system tables
// mdb-reader gives numbers in decimal, "true"/"false" and binary as lowercase hex.
using ReaderRow = std::vector<std::optional<std::string>>;

enum class Reader { kMdbTools, kMdbReader };
inline constexpr Reader kReaders[] = {Reader::kMdbTools, Reader::kMdbReader};
// The readers are Linux programs. Under Windows none runs: the tests check files
// with the file checker there, and the readers read the Windows converter's output
// on Linux.
#ifdef _WIN32
inline constexpr bool kReadersRunHere = false;
#else
inline constexpr bool kReadersRunHere = true;
#endif
inline constexpr std::span<const Reader> kReadersHere =
    kReadersRunHere ? std::span<const Reader>(kReaders) : std::span<const Reader>();
inline const char* NameOf(Reader reader) {
  return reader == Reader::kMdbTools ? "mdbtools" : "mdb-reader";
}

struct ReaderTable {
  std::vector<ReaderColumn> columns;
  std::vector<ReaderRow> rows;  // empty after a Scan
  bool emptyReadsAsNull = false;
  bool onlyBmp = false;
  // Values of this many bytes or more may be a prefix of the stored text.
  size_t cutLength = std::numeric_limits<size_t>::max();
};

// Called per row in storage order; the row may be moved from.
using RowVisitor = std::function<void(ReaderRow& row)>;

// Runs argv (from the PATH) and returns its stdout.
std::string RunTool(const std::vector<std::string>& argv);
// $TESSALY_NODE_MODULES, else <build>/node/node_modules, else <build>/node_modules.
std::string NodeModulesDir();
bool MdbToolsAvailable();
bool MdbReaderAvailable();

// ODBC, the way office programs on Linux reach an .mdb: unixODBC's isql with the
// mdbtools driver, registered as "MDBTools", so no data source needs configuring.
bool OdbcAvailable();
// The rows an SQL statement returns, each value as text (Null as empty). Values
// must hold no tab or line end, which would split them.
std::vector<std::vector<std::string>> OdbcQuery(const std::string& path, const std::string& sql);

// Table names in catalog order, system tables only when asked for.
std::vector<std::string> Tables(Reader reader, const std::string& path, bool system = false);
// Scan visits the rows without keeping them, for large tables.
ReaderTable Scan(Reader reader, const std::string& path, const std::string& table,
                 const RowVisitor& visit);
ReaderTable Read(Reader reader, const std::string& path, const std::string& table);

}  // namespace tessaly
