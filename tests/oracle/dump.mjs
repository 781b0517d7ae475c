#!/usr/bin/env node
// The mdb-reader side of the oracle: reads an Access file with the npm package
// mdb-reader (not ours) and prints it in the canonical forms of canonical.mjs.
//
//   node dump.mjs FILE [--password PW] tables        user tables, catalog order
//   node dump.mjs FILE [--password PW] export TABLE  canonical CSV
//   node dump.mjs FILE [--password PW] schema        columns as JSON
//
// mdb-reader pitfalls handled here:
// - Date/Time comes as a JS Date made linearly from the stored double, which
//   is wrong before 1899-12-30 (the fraction is a positive time of day there);
//   we undo the linear step and split the value ourselves (formatLinearMs).
//   The Date is never read in local time, so TZ does not matter.
// - Currency and Decimal come as exact strings; Binary and OLE as Buffers.
// - Reading a negative Currency negates the bytes of the page buffer in place,
//   so a second getData() over the same rows would see the wrong sign: every
//   table is read exactly once per process.
// - It does not check Jet 4 database passwords at all; we compare the password
//   it decodes from the header ourselves, so a wrong or missing one fails here
//   as it must in our engine.
// - Jet 3 text is always decoded as Windows-1252, whatever the file's code page.
import { readFileSync } from "node:fs";
import { pathToFileURL } from "node:url";
import * as canon from "./canonical.mjs";

let MDBReader = null;
export async function loadMdbReader() {
  if (MDBReader === null) MDBReader = (await import("mdb-reader")).default;
  return MDBReader;
}

// Header byte 0x14: 0 = Jet 3, 1 = Jet 4, 2 and up = ACE (accdb).
export function jetVersion(bytes) {
  return bytes.length > 0x14 ? bytes[0x14] : -1;
}

export class ReaderSource {
  constructor(file, password) {
    this.bytes = readFileSync(file);
    this.jet = jetVersion(this.bytes);
    this.reader = new MDBReader(this.bytes, { password: password ?? undefined });
    // An .accdb password encrypts the pages, and mdb-reader checks it itself.
    const stored = this.jet >= 2 ? null : this.reader.getPassword();
    if (stored !== null && stored !== "" && stored !== (password ?? ""))
      throw new Error(password ? "wrong database password" : "the database has a password");
  }

  tables() {
    return this.reader.getTableNames();
  }

  columns(table) {
    return this.reader.getTable(table).getColumns().map((c) => this.describe(c));
  }

  describe(c) {
    const type = kTypeNames[c.type] ?? c.type;
    const out = { name: c.name, type, size: c.size, nullable: c.nullable, autonumber: c.autoLong || c.autoUUID };
    // Jet 4 keeps text lengths in bytes (UCS-2); people and DDL count characters.
    if (type === "Text" && this.jet >= 1) out.size = c.size / 2;
    if (type === "Memo" || type === "OLE") out.size = 0;
    if (type === "Decimal") {
      out.precision = c.precision;
      out.scale = c.scale;
    }
    if (type === "Text" && c.fixedLength) out.fixed = true;
    return out;
  }

  // { columns: [name], types: [type], rows: [[cell]] } with cells in canonical text or null.
  export(table) {
    const t = this.reader.getTable(table);
    const cols = t.getColumns();
    const names = cols.map((c) => c.name);
    const types = cols.map((c) => kTypeNames[c.type] ?? c.type);
    let data;
    try {
      data = t.getData();
    } catch {
      // mdb-reader cannot read some complex columns (multi-value, version history) and
      // then fails the whole table: read the rest column by column, the others as unreadable.
      data = t.getData({ columns: [] });
      for (const c of cols) {
        let values;
        try {
          values = t.getData({ columns: [c.name] }).map((r) => r[c.name]);
        } catch {
          values = data.map(() => kUnreadable);
        }
        data.forEach((row, i) => (row[c.name] = values[i]));
      }
    }
    const rows = data.map((row) => cols.map((c) => (row[c.name] === kUnreadable ? "(unreadable)" : canonicalCell(c, row[c.name]))));
    return { columns: names, types, rows };
  }
}

const kUnreadable = Symbol("unreadable");

const kTypeNames = {
  boolean: "Boolean", byte: "Byte", integer: "Integer", long: "Long", currency: "Currency",
  float: "Single", double: "Double", datetime: "DateTime", binary: "Binary", text: "Text",
  ole: "OLE", memo: "Memo", repid: "GUID", numeric: "Decimal", bigint: "BigInt",
  datetimextended: "DateTimeExtended", complex: "Complex",
};

export function canonicalCell(column, v) {
  if (v === null || v === undefined) return null;
  switch (column.type) {
    case "boolean":
      return v ? "1" : "0";
    case "byte":
    case "integer":
    case "long":
    case "bigint":
      return String(v);
    case "float":
      return canon.formatSingle(v);
    case "double":
      return canon.formatDouble(v);
    case "currency":
      return v; // exact, always 4 decimals
    case "numeric":
      return /^-0(\.0*)?$/.test(v) ? v.slice(1) : v;
    case "datetime":
      return canon.formatLinearMs(v.getTime());
    case "repid":
      return "{" + v.toUpperCase() + "}";
    case "binary":
    case "ole":
      return canon.hexUpper(v);
    case "text":
    case "memo":
      return v;
    case "datetimextended": {
      // "YYYY.MM.DD HH:MM:SS.fffffffff": canonical is ISO-like with the 7 stored digits, none when 0.
      const m = /^(\d{4})\.(\d{2})\.(\d{2}) (\d{2}:\d{2}:\d{2})\.(\d{7})\d*$/.exec(v);
      if (!m) throw new Error(`column ${column.name}: extended date ${v} not understood`);
      return `${m[1]}-${m[2]}-${m[3]} ${m[4]}` + (m[5] === "0000000" ? "" : "." + m[5]);
    }
    case "complex":
      // Attachments: the file names, "; " between them (our table view of the column).
      return v.map((a) => a.name).join("; ");
    default:
      throw new Error(`column ${column.name}: type ${column.type} is not handled`);
  }
}

function usage() {
  process.stderr.write("usage: node dump.mjs FILE [--password PW] (tables | export TABLE | schema)\n");
  process.exit(2);
}

async function main(argv) {
  const args = [];
  let password = null;
  for (let i = 0; i < argv.length; i++) {
    if (argv[i] === "--password") {
      if (i + 1 >= argv.length) usage();
      password = argv[++i];
    } else if (argv[i].startsWith("--password=")) password = argv[i].slice(11);
    else args.push(argv[i]);
  }
  if (args.length < 2) usage();
  const [file, command, table] = args;
  if (!["tables", "export", "schema"].includes(command) || (command === "export") !== (args.length === 3)) usage();
  await loadMdbReader();
  try {
    const src = new ReaderSource(file, password);
    if (command === "tables") {
      for (const t of src.tables()) process.stdout.write(t + "\n");
    } else if (command === "export") {
      if (!src.tables().includes(table)) throw new Error(`no table '${table}'`);
      const e = src.export(table);
      process.stdout.write(canon.toCsv(e.columns, e.rows));
    } else {
      const out = src.tables().map((t) => ({ table: t, columns: src.columns(t) }));
      process.stdout.write(JSON.stringify(out, null, 1) + "\n");
    }
  } catch (err) {
    process.stderr.write(`dump.mjs: ${err.message}\n`);
    process.exit(1);
  }
}

if (process.argv[1] && import.meta.url === pathToFileURL(process.argv[1]).href) await main(process.argv.slice(2));
