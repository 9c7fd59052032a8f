// Reads an .mdb file with the npm package mdb-reader and prints JSON lines:
//
//   node read_mdb.mjs <node_modules dir> <file> [table]
//
// {"tables":[...],"columns":[{name,type,size}]}, then one array of values per row
// of the table (none without one), then {"rows":N}. size is a text column's length
// in characters, else 0; values are text, null, or dates "YYYY-MM-DD HH:MM:SS".
// Any failure goes to stderr with exit status 1.

import { readFileSync } from "node:fs";
import { createRequire } from "node:module";
import { join } from "node:path";
import { pathToFileURL } from "node:url";

const BATCH_ROWS = 2000;
const EPOCH_MS = Date.UTC(1899, 11, 30);
const DAY_MS = 86400000;

const pad = (value, width) => String(value).padStart(width, "0");

// mdb-reader maps the stored double linearly onto a UTC instant. Jet reads a
// negative value as days back plus a positive time of day (-1.25 is 1899-12-29
// 06:00), so the double is recovered and split that way.
function formatJetDate(date) {
  const value = (date.getTime() - EPOCH_MS) / DAY_MS;
  let day = Math.trunc(value);
  let seconds = Math.round(Math.abs(value - day) * 86400);
  if (seconds >= 86400) {
    seconds -= 86400;
    day += 1;
  }
  const d = new Date(EPOCH_MS + day * DAY_MS);
  return (
    `${pad(d.getUTCFullYear(), 4)}-${pad(d.getUTCMonth() + 1, 2)}-${pad(d.getUTCDate(), 2)} ` +
    `${pad(Math.floor(seconds / 3600), 2)}:${pad(Math.floor(seconds / 60) % 60, 2)}:` +
    `${pad(seconds % 60, 2)}`
  );
}

function formatValue(value) {
  if (value === null || value === undefined) return null;
  return value instanceof Date ? formatJetDate(value) : String(value);
}

async function main() {
  const [modulesDir, file, tableName] = process.argv.slice(2);
  // Resolved from the given folder: ESM imports ignore NODE_PATH.
  const entry = createRequire(join(modulesDir, "resolve-from-here.js")).resolve("mdb-reader");
  const { default: MDBReader } = await import(pathToFileURL(entry).href);
  const reader = new MDBReader(readFileSync(file));
  const tables = reader.getTableNames();
  const table = tableName ? reader.getTable(tableName) : null;
  // Jet 4 stores two bytes per character.
  const columns = (table ? table.getColumns() : []).map((c) => ({
    name: c.name,
    type: c.type,
    size: c.type === "text" ? c.size / 2 : 0,
  }));
  process.stdout.write(JSON.stringify({ tables, columns }) + "\n");

  // Batches keep memory flat on large tables.
  let count = 0;
  for (let rows; table && (rows = table.getData({ rowOffset: count, rowLimit: BATCH_ROWS }));) {
    let text = "";
    for (const row of rows) {
      text += JSON.stringify(columns.map((c) => formatValue(row[c.name]))) + "\n";
    }
    process.stdout.write(text);
    count += rows.length;
    if (rows.length < BATCH_ROWS) break;
  }
  process.stdout.write(JSON.stringify({ rows: count }) + "\n");
}

main().catch((error) => {
  process.stderr.write(`read_mdb.mjs: ${error && error.stack ? error.stack : error}\n`);
  process.exitCode = 1;
});
