// The playground's WebAssembly build runs each case of a list to its end
// (runToEnd) and prints the outcomes as JSON, for same_ending.py.
//
//   node web_outcome.js PAGE_DIR CASES.json
//
// Exits 77 (skipped) when PAGE_DIR holds no build (scripts/web --build).
"use strict";
const fs = require("fs");
const path = require("path");

const [page, casesPath] = process.argv.slice(2);
const modulePath = path.join(page, "vorn.js");
if (!fs.existsSync(modulePath)) {
  console.log(`skipped: no ${modulePath} (scripts/web --build makes it)`);
  process.exit(77);
}

async function main() {
  const create = require(path.resolve(modulePath));
  const vorn = await create({ wasmBinary: fs.readFileSync(path.join(page, "vorn.wasm")) });
  const cases = JSON.parse(fs.readFileSync(casesPath, "utf8"));
  const outcomes = cases.map((each) =>
    JSON.parse(vorn.runToEnd(each.source, each.input, JSON.stringify(each.limits))),
  );
  process.stdout.write(JSON.stringify(outcomes));
}

main().catch((error) => {
  console.error(error);
  process.exit(1);
});
