// Reads an .mdb file with the npm package mdb-reader and prints it as JSON lines.
//
//   node read_mdb.mjs <node_modules dir> <file>           {"tables":[...]}
//   node read_mdb.mjs <node_modules dir> <file> <table>   {"tables":[...],"columns":[...]}
//                                                         then one array per row,
//                                                         then {"rows":N}
//
// Columns are {name, type, size} with size the text length in characters (0 for
// other types). Values are text, null, or for dates "YYYY-MM-DD HH:MM:SS".
// Any failure goes to stderr with exit status 1.

import { readFileSync } from "node:fs";
import { createRequire } from "node:module";
import { join } from "node:path";
import { pathToFileURL } from "node:url";

const BATCH_ROWS = 2000;
const EPOCH_MS = Date.UTC(1899, 11, 30);
const DAY_MS = 86400000;

function pad(value, width) {
  return String(value).padStart(width, "0");
}

// mdb-reader maps the stored double linearly onto a UTC instant. Jet reads a
// negative value as days back plus a positive time of day (-1.25 is 1899-12-29
// 06:00), so the double is recovered and split that way; for values from
// 1899-12-30 on both readings agree.
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
  if (typeof value === "string") return value;
  if (value instanceof Date) return formatJetDate(value);
  if (Buffer.isBuffer(value)) return value.toString("hex");
  return String(value);
}

async function main() {
  const [modulesDir, file, tableName] = process.argv.slice(2);
  if (!modulesDir || !file) {
    throw new Error("usage: read_mdb.mjs <node_modules dir> <file> [table]");
  }
  // Resolved from the given folder: ESM imports ignore NODE_PATH.
  const entry = createRequire(join(modulesDir, "resolve-from-here.js")).resolve("mdb-reader");
  const { default: MDBReader } = await import(pathToFileURL(entry).href);

  const buffer = readFileSync(file);
  const reader = new MDBReader(buffer);
  const tables = reader.getTableNames();
  if (tableName === undefined) {
    process.stdout.write(JSON.stringify({ tables }) + "\n");
    return;
  }

  // Jet 3 stored one byte per character, Jet 4 two; the version byte tells them apart.
  const bytesPerChar = buffer.length > 0x14 && buffer[0x14] === 0 ? 1 : 2;
  const table = reader.getTable(tableName);
  const columns = table.getColumns().map((c) => ({
    name: c.name,
    type: c.type,
    size: c.type === "text" ? c.size / bytesPerChar : 0,
  }));
  const names = columns.map((c) => c.name);
  process.stdout.write(JSON.stringify({ tables, columns }) + "\n");

  // Batches keep memory flat on large tables.
  let count = 0;
  for (let offset = 0; ; offset += BATCH_ROWS) {
    const rows = table.getData({ rowOffset: offset, rowLimit: BATCH_ROWS });
    if (rows.length === 0) break;
    let text = "";
    for (const row of rows) {
      text += JSON.stringify(names.map((n) => formatValue(row[n]))) + "\n";
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
