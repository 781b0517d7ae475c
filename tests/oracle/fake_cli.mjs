#!/usr/bin/env node
// Stands in for veltrano-cli in the harness self-test: answers `--help`,
// `tables` and `export` through mdb-reader (dump.mjs). With
// FAKE_CLI_FAULT=cell it changes one cell, with FAKE_CLI_FAULT=quote it
// quotes a field that needs no quotes, so the self-test can see that
// compare.mjs reports each fault where it is.
import { spawnSync } from "node:child_process";
import { dirname, join } from "node:path";
import { fileURLToPath } from "node:url";

const here = dirname(fileURLToPath(import.meta.url));
const [command, ...rest] = process.argv.slice(2);
if (command === "--help") {
  process.stdout.write("Usage: veltrano-cli COMMAND [ARGS...]\n\nCommands:\n  tables FILE [--password PW]\n  export FILE TABLE [--password PW]\n");
  process.exit(0);
}
if (command !== "tables" && command !== "export") process.exit(2);
const [file, ...more] = rest;
const r = spawnSync(process.execPath, [join(here, "dump.mjs"), file, command, ...more], { encoding: "utf8" });
let out = r.stdout;
const fault = process.env.FAKE_CLI_FAULT;
if (command === "export" && fault === "cell") out = out.replace("hijklmnop", "hijklmnoq");
if (command === "export" && fault === "quote") out = out.replace(",hijklmnop,", ',"hijklmnop",');
process.stdout.write(out);
process.stderr.write(r.stderr);
process.exit(r.status);
