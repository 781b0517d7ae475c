#!/usr/bin/env node
// Compares what three independent readers see in an Access file, table by
// table and cell by cell: our veltrano-cli, the npm package mdb-reader and
// mdbtools. mdb-reader gives the exact canonical value of every cell; our
// export must equal it, and mdbtools must equal it or differ only in one of
// its documented lossy forms (see mdbtools.mjs).
//
//   node compare.mjs FILE [--password PW] [--cli PATH] [--expect DIR] [--verbose]
//   node compare.mjs --written FILE [--password PW] [--same-as ORIG [--orig-password PW]]
//                    [--expect DIR] [--cli PATH] [--verbose]
//
// --written: FILE was made by our writer: mdb-ver must say JET4, both oracles
//   must read it, and every check above applies.
// --same-as ORIG: FILE must hold the same tables, columns, indexes (as
//   mdbtools sees them) and cells as ORIG (a copy, e.g. `veltrano-cli copy`).
// --expect DIR: DIR/<table>.csv (canonical CSV) must equal each table, and
//   DIR must hold one file per table.
// --cli PATH: veltrano-cli to check (default $VELTRANO_CLI, else none). Its
//   checks switch on by themselves once `PATH --help` lists both the tables
//   and the export commands; until then only the two oracles are compared.
//   Once it lists `schema` too, its columns (type, size, nullability,
//   auto-number) and indexes are compared with mdbtools'.
//
// Differences listed in known_differences.json (by file name, table, column,
// row and source) are printed as expected and do not fail the run; entries
// that no longer match anything are printed so the list can shrink.
// Exit status: 0 no unexpected difference, 1 differences, 2 usage,
// 77 mdb-reader or mdbtools is not installed (the test is skipped).
import { existsSync, readFileSync, readdirSync } from "node:fs";
import { spawnSync } from "node:child_process";
import { basename, dirname, join } from "node:path";
import { fileURLToPath } from "node:url";
import * as canon from "./canonical.mjs";
import { ReaderSource, loadMdbReader } from "./dump.mjs";
import * as mdbtools from "./mdbtools.mjs";

const here = dirname(fileURLToPath(import.meta.url));
const kSkip = 77;

function usage(msg) {
  if (msg) process.stderr.write(`compare.mjs: ${msg}\n`);
  process.stderr.write("usage: node compare.mjs [--written] FILE [--password PW] [--same-as ORIG [--orig-password PW]] [--expect DIR] [--cli PATH] [--verbose]\n");
  process.exit(2);
}

function parseArgs(argv) {
  const o = { file: null, password: null, written: false, sameAs: null, origPassword: null, expect: null, cli: process.env.VELTRANO_CLI || null, verbose: false, known: join(here, "known_differences.json") };
  const valueOf = (i) => (i + 1 < argv.length ? argv[i + 1] : usage(`${argv[i]} needs a value`));
  for (let i = 0; i < argv.length; i++) {
    const a = argv[i];
    if (a === "--written") o.written = true;
    else if (a === "--verbose") o.verbose = true;
    else if (a === "--password") o.password = valueOf(i++);
    else if (a === "--same-as") o.sameAs = valueOf(i++);
    else if (a === "--orig-password") o.origPassword = valueOf(i++);
    else if (a === "--expect") o.expect = valueOf(i++);
    else if (a === "--cli") o.cli = valueOf(i++);
    else if (a === "--known") o.known = valueOf(i++);
    else if (a.startsWith("--")) usage(`unknown option ${a}`);
    else if (o.file === null) o.file = a;
    else usage(`unexpected argument ${a}`);
  }
  if (!o.file) usage();
  return o;
}

// ------------------------------------------------------------ differences

class Report {
  constructor(file, known, verbose) {
    this.file = basename(file);
    this.known = known.map((k) => ({ ...k, used: false }));
    this.verbose = verbose;
    this.unexpected = 0;
    this.expected = 0;
    this.limits = new Map();
    this.checked = new Set(["mdbtools", "mdb-reader"]); // sources whose stale entries count
  }
  matches(k, d) {
    const eq = (want, have) => want === undefined || want === "*" || want === have;
    // `message`, when given, narrows an entry to differences whose text starts with it.
    const said = k.message === undefined || (d.message ?? "").startsWith(k.message);
    return eq(k.file, this.file) && eq(k.source, d.source) && eq(k.table, d.table) && eq(k.column, d.column) && eq(k.row, d.row) && said;
  }
  diff(d) {
    // d: { source, table, column, row, message }
    const where = [d.table ?? "", d.row !== undefined && d.row !== "*" ? `row ${d.row}` : "", d.column && d.column !== "*" ? `column ${d.column}` : ""].filter(Boolean).join(" ");
    const line = `${this.file}: ${d.source}: ${where}: ${d.message}`;
    const k = this.known.find((x) => this.matches(x, d));
    if (k) {
      k.used = true;
      this.expected++;
      if (this.verbose || this.expected <= 20) console.log(`expected  ${line}  [${k.reason}]`);
    } else {
      this.unexpected++;
      console.log(`DIFF      ${line}`);
    }
  }
  limit(table, column, row, why) {
    const key = `${table}.${column}: ${why}`;
    this.limits.set(key, (this.limits.get(key) ?? 0) + 1);
    if (this.verbose) console.log(`limit     ${this.file}: mdbtools: ${table} row ${row} column ${column}: ${why}`);
  }
  finish() {
    for (const [k, n] of this.limits) console.log(`note      ${this.file}: mdbtools ${k} (${n} cells, checked with mdb-reader)`);
    if (this.expected > 20 && !this.verbose) console.log(`expected  ... ${this.expected} expected differences in all (--verbose lists them)`);
    for (const k of this.known) {
      if (!k.used && k.file === this.file && this.checked.has(k.source))
        console.log(`stale     ${this.file}: known difference no longer seen, remove it: ${JSON.stringify({ source: k.source, table: k.table, column: k.column, row: k.row })}`);
    }
    console.log(this.unexpected === 0 ? `ok        ${this.file}` : `FAILED    ${this.file}: ${this.unexpected} unexpected differences`);
    return this.unexpected === 0 ? 0 : 1;
  }
}

function show(v) {
  if (v === null) return "NULL";
  if (v === undefined) return "(missing)";
  const s = JSON.stringify(v);
  return s.length > 120 ? s.slice(0, 100) + `…" (${v.length} chars)` : s;
}

function compareLists(report, source, what, expected, actual) {
  if (JSON.stringify(expected) !== JSON.stringify(actual))
    report.diff({ source, table: "*", column: "*", row: "*", message: `${what}: mdb-reader ${show(expected.join("|"))}, ${source} ${show(actual.join("|"))}` });
}

// ------------------------------------------------------------ veltrano-cli

function runCli(cli, args) {
  const r = spawnSync(cli, args, { encoding: "utf8", maxBuffer: 1 << 30 });
  return { status: r.error ? -1 : r.status, stdout: r.stdout ?? "", stderr: (r.stderr ?? "") + (r.error ? String(r.error) : "") };
}

function cliCommands(cli) {
  if (!cli || !existsSync(cli)) return new Set();
  const help = runCli(cli, ["--help"]);
  if (help.status !== 0) return new Set();
  return new Set([...help.stdout.matchAll(/^\s+(\S+)/gm)].map((m) => m[1]));
}

function cliHas(cli, command) {
  return cliCommands(cli).has(command);
}

// True once the built veltrano-cli offers both reading commands.
export function cliCanRead(cli) {
  const words = cliCommands(cli);
  return words.has("tables") && words.has("export");
}

function pwArgs(password) {
  return password !== null ? ["--password", password] : [];
}

function firstDifference(a, b) {
  let i = 0;
  while (i < a.length && a[i] === b[i]) i++;
  return i;
}

function checkCliTable(report, opts, table, ref, mdbtoolsRows) {
  const r = runCli(opts.cli, ["export", opts.file, table, ...pwArgs(opts.password)]);
  if (r.status !== 0) {
    report.diff({ source: "veltrano", table, column: "*", row: "*", message: `export failed (status ${r.status}): ${r.stderr.trim().split("\n")[0]}` });
    return;
  }
  let records;
  try {
    records = canon.parseCsv(r.stdout);
  } catch (e) {
    report.diff({ source: "veltrano", table, column: "*", row: "*", message: `export is not valid CSV: ${e.message}` });
    return;
  }
  const layout = canon.toCsv(records[0] ?? [], records.slice(1));
  if (layout !== r.stdout) {
    const at = firstDifference(layout, r.stdout);
    report.diff({ source: "veltrano", table, column: "*", row: "*", message: `CSV layout is not canonical at byte ${at}: got ${show(r.stdout.slice(Math.max(0, at - 20), at + 20))}, canonical ${show(layout.slice(Math.max(0, at - 20), at + 20))}` });
  }
  compareCells(report, "veltrano", table, ref, { columns: records[0] ?? [], rows: records.slice(1) }, null, mdbtoolsRows);
}

// `veltrano-cli schema` prints, per table, "TABLE name (n rows)", then
// "  column  type  NULL|NOT NULL  [DEFAULT x]  [AUTO-NUMBER|AUTO-GUID]" and
// "  INDEX name  [PRIMARY KEY|UNIQUE]  [FOREIGN KEY]  (a, b DESC)". Lines it
// cannot read are left out of the comparison rather than guessed at.
export function parseCliSchema(text) {
  const tables = [];
  let cur = null;
  for (const line of text.split("\n")) {
    let m;
    if ((m = /^TABLE (.*) \(\d+ rows?\)$/.exec(line))) {
      cur = { table: m[1], columns: [], indexes: [] };
      tables.push(cur);
    } else if (cur && (m = /^  INDEX (.*?)  (?:(PRIMARY KEY|UNIQUE)  )?(?:(FOREIGN KEY)  )?\((.*)\)$/.exec(line))) {
      cur.indexes.push({ name: m[2] === "PRIMARY KEY" ? null : m[1], primary: m[2] === "PRIMARY KEY", unique: !!m[2],
        foreignKey: !!m[3], columns: m[4].split(", ") });
    } else if (cur && (m = /^  (.+?)  (.+?)  (NULL|NOT NULL)(?:  DEFAULT .*?)?(?:  (AUTO-NUMBER|AUTO-GUID))?$/.exec(line))) {
      cur.columns.push({ name: m[1], ...cliType(m[2]), nullable: m[3] === "NULL", autonumber: !!m[4] });
    }
  }
  return tables;
}

function cliType(text) {
  let m;
  if ((m = /^Text\((\d+)\)$/.exec(text))) return { type: "Text", size: Number(m[1]) };
  if ((m = /^Binary\((\d+)\)$/.exec(text))) return { type: "Binary", size: Number(m[1]) };
  if ((m = /^(?:Decimal|Numeric)\((\d+), ?(\d+)\)$/.exec(text))) return { type: "Decimal", precision: Number(m[1]), scale: Number(m[2]) };
  const plain = { "Yes/No": "Boolean", "Byte": "Byte", "Integer": "Integer", "Long Integer": "Long", "Single": "Single", "Double": "Double",
    "Currency": "Currency", "Date/Time": "DateTime", "Replication ID": "GUID", "Memo": "Memo", "OLE Object": "OLE" };
  return { type: plain[text] ?? "?" + text };
}

function indexText(i) {
  return `${i.primary ? "PRIMARY KEY" : i.name + (i.unique ? " UNIQUE" : "")} (${i.columns.join(", ")})`;
}

// Our schema against mdbtools' (which reads the Required property and the indexes).
function checkCliSchema(report, opts, mdbSchema) {
  const r = runCli(opts.cli, ["schema", opts.file, ...pwArgs(opts.password)]);
  if (r.status !== 0) {
    report.diff({ source: "veltrano", table: "*", column: "*", row: "*", message: `schema failed (status ${r.status}): ${r.stderr.trim().split("\n")[0]}` });
    return;
  }
  const ours = parseCliSchema(r.stdout);
  for (const theirs of mdbSchema) {
    const t = ours.find((x) => x.table === theirs.table);
    if (!t) continue; // missing tables show up in the table lists already
    for (const mc of theirs.columns) {
      const c = t.columns.find((x) => x.name === mc.name);
      if (!c) {
        report.diff({ source: "veltrano", table: t.table, column: mc.name, row: "*", message: "schema: column missing from veltrano-cli schema" });
        continue;
      }
      const problems = [];
      if (c.type !== mc.type) problems.push(`type ${mc.type} vs ${c.type}`);
      else {
        if ((c.type === "Text" || c.type === "Binary") && c.size !== mc.size) problems.push(`size ${mc.size} vs ${c.size}`);
        if (c.type === "Decimal" && (c.precision !== mc.precision || c.scale !== mc.scale)) problems.push(`decimal(${mc.precision},${mc.scale}) vs decimal(${c.precision},${c.scale})`);
      }
      // An auto-number is never NULL whatever its Required property says.
      if (c.nullable !== mc.nullable && !c.autonumber) problems.push(`nullable ${mc.nullable} vs ${c.nullable}`);
      if (c.autonumber !== mc.autonumber) problems.push(`autonumber ${mc.autonumber} vs ${c.autonumber}`);
      if (problems.length) report.diff({ source: "veltrano", table: t.table, column: mc.name, row: "*", message: `schema: mdbtools vs veltrano: ${problems.join(", ")}` });
    }
    // mdbtools maps index columns by list position instead of column number, so
    // after a deleted column it prints an index with no columns
    // (delColTestV2000.mdb, index id2): such an index is compared by name only.
    const lost = new Set(theirs.indexes.filter((i) => i.columns.length === 0).map((i) => i.name));
    for (const name of lost) console.log(`note      ${report.file}: mdbtools lists no columns for index ${name} of ${t.table}; compared by name only`);
    // mdb-schema leaves out the foreign-key indexes a relationship adds to a
    // table; ours marks them, and only the others can be compared.
    const a = theirs.indexes.map((i) => (lost.has(i.name) ? i.name : indexText(i))).sort();
    const b = t.indexes.filter((i) => !i.foreignKey).map((i) => (lost.has(i.name) ? i.name : indexText(i))).sort();
    if (JSON.stringify(a) !== JSON.stringify(b))
      report.diff({ source: "veltrano", table: t.table, column: "*", row: "*", message: `indexes: mdbtools ${show(a.join("; "))}, veltrano ${show(b.join("; "))}` });
  }
}

// ------------------------------------------------------------ cells

// ref: mdb-reader's { columns, types, rows }; other: { columns, rows }.
// judge(type, exact, raw) -> null | limitation text | false; null judge = exact match.
function compareCells(report, source, table, ref, other, judge, mdbtoolsRows, refName = "mdb-reader") {
  if (JSON.stringify(ref.columns) !== JSON.stringify(other.columns))
    report.diff({ source, table, column: "*", row: "*", message: `columns: ${refName} ${show(ref.columns.join("|"))}, ${source} ${show(other.columns.join("|"))}` });
  const index = ref.columns.map((c) => other.columns.indexOf(c));
  if (ref.rows.length !== other.rows.length)
    report.diff({ source, table, column: "*", row: "*", message: `row count: ${refName} ${ref.rows.length}, ${source} ${other.rows.length}` });
  else if (!judge && ref.rows.length > 1) {
    // The same rows in another order: one line instead of a cell per row.
    const key = (rows, at) => rows.map((r) => JSON.stringify(at ? at.map((i) => (i < 0 ? null : r[i])) : r));
    const a = key(ref.rows), b = key(other.rows, index);
    const first = a.findIndex((x, i) => x !== b[i]);
    if (first >= 0 && JSON.stringify([...a].sort()) === JSON.stringify([...b].sort())) {
      report.diff({ source, table, column: "*", row: first + 1, message: `the same rows in another order (first at row ${first + 1}: ${refName} ${show(a[first])}, ${source} ${show(b[first])})` });
      return;
    }
  }
  const n = Math.min(ref.rows.length, other.rows.length);
  for (let r = 0; r < n; r++) {
    for (let c = 0; c < ref.columns.length; c++) {
      if (index[c] < 0) continue;
      const exact = ref.rows[r][c];
      const got = other.rows[r][index[c]];
      const verdict = judge ? judge(ref.types[c], exact, got) : exact === got ? null : false;
      if (verdict === null) continue;
      if (typeof verdict === "string") {
        report.limit(table, ref.columns[c], r + 1, verdict);
        continue;
      }
      let message = `${ref.types[c]}: ${refName} ${show(exact)}, ${source} ${show(got)}`;
      if (mdbtoolsRows) message += `, mdbtools ${show(mdbtoolsRows[r]?.[c])} (raw)`;
      report.diff({ source, table, column: ref.columns[c], row: r + 1, message });
    }
  }
}

// ------------------------------------------------------------ schema

function compareSchemas(report, source, readerCols, otherCols, table, { sizesToo = true, checkNullable = true, names: labels = ["mdb-reader", source] } = {}) {
  const names = (cols) => cols.map((c) => c.name);
  if (JSON.stringify(names(readerCols)) !== JSON.stringify(names(otherCols))) {
    report.diff({ source, table, column: "*", row: "*", message: `column names: ${labels[0]} ${show(names(readerCols).join("|"))}, ${labels[1]} ${show(names(otherCols).join("|"))}` });
    return;
  }
  readerCols.forEach((a, i) => {
    const b = otherCols[i];
    const problems = [];
    if (a.type !== b.type) problems.push(`type ${a.type} vs ${b.type}`);
    else {
      if (sizesToo && (a.type === "Text" || a.type === "Binary") && a.size !== b.size) problems.push(`size ${a.size} vs ${b.size}`);
      if (a.type === "Decimal" && (a.precision !== b.precision || a.scale !== b.scale)) problems.push(`decimal(${a.precision},${a.scale}) vs decimal(${b.precision},${b.scale})`);
      if (checkNullable && a.type !== "Boolean" && a.nullable !== b.nullable) problems.push(`nullable ${a.nullable} vs ${b.nullable}`);
      if (a.autonumber !== b.autonumber) problems.push(`autonumber ${a.autonumber} vs ${b.autonumber}`);
    }
    if (problems.length) report.diff({ source, table, column: a.name, row: "*", message: `schema: ${labels[0]} vs ${labels[1]}: ${problems.join(", ")}` });
  });
}

// ------------------------------------------------------------ main

function loadKnown(path) {
  if (!existsSync(path)) return [];
  const list = JSON.parse(readFileSync(path, "utf8"));
  return list.differences ?? list;
}

async function main() {
  const opts = parseArgs(process.argv.slice(2));
  try {
    await loadMdbReader();
  } catch {
    console.log("SKIP: the npm package mdb-reader is not installed (scripts/setup installs it)");
    process.exit(kSkip);
  }
  if (spawnSync("mdb-export", ["--version"]).error) {
    console.log("SKIP: mdbtools (mdb-export) is not installed (scripts/setup installs it)");
    process.exit(kSkip);
  }
  const report = new Report(opts.file, loadKnown(opts.known), opts.verbose);
  const useCli = cliCanRead(opts.cli);
  if (useCli) report.checked.add("veltrano");
  if (opts.expect) report.checked.add("expect");
  if (opts.sameAs) report.checked.add("same-as");
  if (!useCli) console.log(`note      ${report.file}: veltrano-cli cannot read yet (${opts.cli ?? "no --cli"}); comparing mdb-reader with mdbtools only`);

  if (opts.written) {
    let version = "";
    try {
      version = mdbtools.mdbVersion(opts.file);
    } catch (e) {
      version = `mdb-ver failed: ${e.message.split("\n")[0]}`;
    }
    if (version !== "JET4") report.diff({ source: "mdbtools", table: "*", column: "*", row: "*", message: `mdb-ver says ${show(version)}, not JET4` });
  }

  let reader;
  try {
    reader = new ReaderSource(opts.file, opts.password);
  } catch (e) {
    report.diff({ source: "mdb-reader", table: "*", column: "*", row: "*", message: `cannot open: ${e.message}` });
    process.exit(report.finish());
  }
  const tables = reader.tables();

  // Table lists.
  let mdbTables = [];
  try {
    mdbTables = mdbtools.mdbTables(opts.file);
  } catch (e) {
    report.diff({ source: "mdbtools", table: "*", column: "*", row: "*", message: `mdb-tables failed: ${e.message.split("\n")[0]}` });
  }
  compareLists(report, "mdbtools", "tables", tables, mdbTables);
  if (useCli) {
    const r = runCli(opts.cli, ["tables", opts.file, ...pwArgs(opts.password)]);
    if (r.status !== 0) report.diff({ source: "veltrano", table: "*", column: "*", row: "*", message: `tables failed (status ${r.status}): ${r.stderr.trim().split("\n")[0]}` });
    else compareLists(report, "veltrano", "tables", tables, r.stdout.split("\n").filter((l) => l !== ""));
    // A database password must be asked for: none and a wrong one both fail.
    const stored = reader.reader.getPassword();
    if (stored) {
      for (const attempt of [[], ["--password", stored + "x"]]) {
        const w = runCli(opts.cli, ["tables", opts.file, ...attempt]);
        if (w.status !== 1)
          report.diff({ source: "veltrano", table: "*", column: "*", row: "*", message: `tables with ${attempt.length ? "a wrong" : "no"} password ended with status ${w.status}, expected 1` });
      }
    }
  }

  // Schemas: mdb-reader against mdbtools.
  let mdbSchema = [];
  try {
    mdbSchema = mdbtools.mdbSchema(opts.file);
  } catch (e) {
    report.diff({ source: "mdbtools", table: "*", column: "*", row: "*", message: `mdb-schema failed: ${e.message.split("\n")[0]}` });
  }

  if (useCli && cliHas(opts.cli, "schema")) checkCliSchema(report, opts, mdbSchema);

  const readerExports = new Map();
  for (const table of tables) {
    const ref = reader.export(table);
    readerExports.set(table, ref);
    const ms = mdbSchema.find((s) => s.table === table);
    // mdb-reader's "nullable" is only the column flag, not the Required property
    // Access keeps in the column properties, which mdbtools reads: nullability is
    // compared between mdbtools views only (--same-as).
    if (ms) compareSchemas(report, "mdbtools", reader.columns(table), ms.columns, table, { checkNullable: false });
    let mdbtoolsRows = null;
    if (mdbTables.includes(table)) {
      try {
        const m = mdbtools.mdbExport(opts.file, table);
        compareCells(report, "mdbtools", table, ref, m, mdbtools.judgeCell);
        const at = ref.columns.map((c) => m.columns.indexOf(c));
        mdbtoolsRows = m.rows.map((row) => at.map((i) => (i < 0 ? undefined : row[i])));
      } catch (e) {
        report.diff({ source: "mdbtools", table, column: "*", row: "*", message: `mdb-export failed: ${e.message.split("\n")[0]}` });
      }
    }
    if (useCli) checkCliTable(report, opts, table, ref, mdbtoolsRows);
  }

  if (opts.expect) {
    const files = readdirSync(opts.expect).filter((f) => f.endsWith(".csv")).map((f) => f.slice(0, -4));
    compareLists(report, "expect", "tables (expected CSV files)", [...tables].sort(), [...files].sort());
    for (const table of tables) {
      const path = join(opts.expect, table + ".csv");
      if (!existsSync(path)) continue;
      const records = canon.parseCsv(readFileSync(path, "utf8"));
      compareCells(report, "expect", table, readerExports.get(table), { columns: records[0] ?? [], rows: records.slice(1) }, null);
    }
  }

  if (opts.sameAs) {
    const orig = new ReaderSource(opts.sameAs, opts.origPassword);
    const origTables = orig.tables();
    compareLists(report, "same-as", "tables of the original", origTables, tables);
    let origSchema = [];
    try {
      origSchema = mdbtools.mdbSchema(opts.sameAs);
    } catch {
      // mdb-schema failing on the original was reported when it was checked itself.
    }
    for (const table of origTables) {
      if (!tables.includes(table)) continue;
      // Jet 3 text lengths count bytes of a code page, Jet 4 ones characters: equal numbers either way.
      compareSchemas(report, "same-as", orig.columns(table), reader.columns(table), table, { checkNullable: false, names: ["original (mdb-reader)", "copy (mdb-reader)"] });
      const om = origSchema.find((s) => s.table === table), cm = mdbSchema.find((s) => s.table === table);
      if (om && cm) compareSchemas(report, "same-as", om.columns, cm.columns, table, { names: ["original (mdbtools)", "copy (mdbtools)"] });
      const oList = origSchema.find((s) => s.table === table)?.indexes ?? [];
      const cList = mdbSchema.find((s) => s.table === table)?.indexes ?? [];
      // An index mdbtools prints without columns (see checkCliSchema) is compared by name.
      const lost = new Set([...oList, ...cList].filter((i) => i.columns.length === 0).map((i) => i.name));
      const keys = (list) => list.map((i) => (lost.has(i.name) ? i.name : indexText(i))).sort().join("; ");
      if (keys(oList) !== keys(cList)) report.diff({ source: "same-as", table, column: "*", row: "*", message: `indexes (mdbtools): original ${show(keys(oList))}, copy ${show(keys(cList))}` });
      compareCells(report, "same-as", table, { ...orig.export(table) }, readerExports.get(table), null, null, "original");
    }
  }

  process.exit(report.finish());
}

await main();
