// node read_mdb.mjs <node_modules dir> <file> [table | --all-tables]
// prints JSON lines: the user table names (--all-tables: system tables too), or the
// table's columns [{name,type,size}] (size: a text column's length in characters)
// and one array per row (text, null, dates "YYYY-MM-DD HH:MM:SS", numbers in
// decimal, "true"/"false", binary as lowercase hex); last {"lines":N}, the count of
// lines before it. Any failure goes to stderr with exit status 1.

import { readFileSync } from "node:fs";
import { createRequire } from "node:module";
import { join } from "node:path";
import { pathToFileURL } from "node:url";

const BATCH_ROWS = 2000;
const EPOCH_MS = Date.UTC(1899, 11, 30);
const DAY_MS = 86400000;

// mdb-reader maps the stored double linearly onto a UTC instant. Jet reads a
// negative value as days back plus a positive time of day (-1.25 is 1899-12-29
// 06:00), so the double is recovered and split that way.
function formatJetDate(date) {
  const value = (date.getTime() - EPOCH_MS) / DAY_MS;
  const day = Math.trunc(value);
  const seconds = Math.round(Math.abs(value - day) * 86400);
  const iso = new Date(EPOCH_MS + day * DAY_MS + seconds * 1000).toISOString();
  return iso.slice(0, 19).replace("T", " ");
}

async function main() {
  const [modulesDir, file, tableName] = process.argv.slice(2);
  // Resolved from the given folder: ESM imports ignore NODE_PATH.
  const entry = createRequire(join(modulesDir, "resolve-from-here.js")).resolve("mdb-reader");
  const { default: MDBReader } = await import(pathToFileURL(entry).href);
  const reader = new MDBReader(readFileSync(file));
  const print = (value) => process.stdout.write(JSON.stringify(value) + "\n");
  if (!tableName || tableName === "--all-tables") {
    print(reader.getTableNames({ systemTables: tableName === "--all-tables" }));
    return print({ lines: 1 });
  }
  const table = reader.getTable(tableName);
  // Jet 4 stores two bytes per character.
  const columns = table
    .getColumns()
    .map(({ name, type, size }) => ({ name, type, size: type === "text" ? size / 2 : 0 }));
  print(columns);
  const text = (v) => {
    if (v == null) return null;
    if (v instanceof Date) return formatJetDate(v);
    return v instanceof Uint8Array ? Buffer.from(v).toString("hex") : String(v);
  };
  // Batches keep memory flat on large tables.
  let count = 0;
  for (let rows; (rows = table.getData({ rowOffset: count, rowLimit: BATCH_ROWS })).length; ) {
    const lines = rows.map((row) => JSON.stringify(columns.map((c) => text(row[c.name]))) + "\n");
    process.stdout.write(lines.join(""));
    count += rows.length;
  }
  print({ lines: count + 1 });
}

main().catch((error) => {
  process.stderr.write(`read_mdb.mjs: ${error && error.stack ? error.stack : error}\n`);
  process.exitCode = 1;
});
