#!/usr/bin/env node
// Prints every user table of an Access file in the oracle's canonical CSV,
// read by mdb-reader in one process (the writer's tests call this once per
// file instead of starting node per table).
//   node writer_dump_all.mjs FILE [PASSWORD]
import * as canon from "../oracle/canonical.mjs";
import { loadMdbReader, ReaderSource } from "../oracle/dump.mjs";

const [file, password] = process.argv.slice(2);
await loadMdbReader();
try {
  const src = new ReaderSource(file, password || null);
  for (const t of src.tables()) {
    const e = src.export(t);
    process.stdout.write(`== ${t}\n` + canon.toCsv(e.columns, e.rows));
  }
} catch (err) {
  process.stdout.write(`writer_dump_all: ${err.message}\n`);
  process.exit(1);
}
