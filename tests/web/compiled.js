// The playground's compiled runs against its run loop, on random programs:
// the same machine (end, steps, program counter, registers, memory, output)
// after the same run, with compiled runs on and off. The programs loop,
// jump back and forth, change their own code, fault, read and write, and
// stop at random addresses; the limits fall on either side of the length
// the run loop takes over at.
//
//   node compiled.js PAGE_DIR [PROGRAMS]
//
// Exits 77 (skipped) when PAGE_DIR holds no build (scripts/web --build).
"use strict";
const fs = require("fs");
const path = require("path");

const [page, given] = process.argv.slice(2);
const programs = Number(given ?? 3000);

const modulePath = path.join(page, "vorn.js");
if (!fs.existsSync(modulePath)) {
  console.log(`skipped: no ${modulePath} (scripts/web --build makes it)`);
  process.exit(77);
}

// The same programs on every run: a small linear congruential generator.
let seed = 20261210;
function random(below) {
  seed = (seed * 1103515245 + 12345) % 2147483648;
  return Math.floor((seed / 2147483648) * below);
}
function pick(list) {
  return list[random(list.length)];
}

// Opcodes by their place in the instruction table, weighted towards what a
// loop does.
const ops = { noop: 0, load: 1, store: 2, loadi: 3, storei: 4, add: 5, sub: 6, zero: 7, incr: 8, decr: 9, neg: 10, jz: 11, jn: 12, jump: 13, read: 14, write: 15 };
const weighted = [
  ...Array(3).fill("decr"), ...Array(3).fill("incr"), ...Array(3).fill("jz"), ...Array(3).fill("jn"),
  ...Array(3).fill("jump"), ...Array(3).fill("load"), ...Array(2).fill("store"),
  "loadi", "storei", "add", "sub", "zero", "neg", "noop", "read", "write",
];

function word(op, r1, r2, address) {
  return ((op << 28) | (r1 << 24) | (r2 << 20) | address) | 0;
}

function program(size) {
  const words = [];
  const register = () => (random(4) === 0 ? random(16) : random(3));
  const address = () => {
    const roll = random(40);
    if (roll === 0) return 0xffff;
    if (roll === 1) return random(65536);
    if (roll === 2) return 0xfff0 + random(15);
    return random(size);
  };
  for (let i = 0; i < size; i++) {
    if (random(6) === 0) {
      // A number: a count, a pointer's word, or anything.
      words.push(pick([random(200), -random(5), random(4294967296) | 0, word(pick([1, 2, 11, 13]), 0, 0, random(size))]));
    } else {
      words.push(word(ops[pick(weighted)], register(), register(), address()));
    }
  }
  return words;
}

// Programs that change their own loop while it runs, with storei and with
// store: from the 150,000th time round, `decr A` at 9 becomes `incr A`.
function selfChanging(storeOp) {
  const words = Array(24).fill(0);
  Object.assign(words, [
    word(ops.load, 3, 0, 20), word(ops.load, 4, 0, 21), word(ops.load, 1, 0, 22), word(ops.load, 2, 0, 23),
    word(ops.decr, 3, 0, 0), word(ops.jz, 3, 0, 0xffff), word(ops.decr, 4, 0, 0), word(ops.jn, 4, 0, 11),
    word(ops.noop, 0, 0, 0), word(ops.decr, 0, 0, 0), word(ops.jump, 0, 0, 4),
    storeOp === "storei" ? word(ops.storei, 2, 1, 0) : word(ops.store, 2, 0, 9), word(ops.jump, 0, 0, 9),
  ]);
  words[20] = 300000;
  words[21] = 150000;
  words[22] = word(ops.jump, 0, 0, 9);
  words[23] = word(ops.incr, 0, 0, 0);
  return words;
}
// A loop that reads and writes; one that runs off its end into empty
// memory; one that jumps into empty memory and on to code past it.
const cases = [
  selfChanging("storei"),
  selfChanging("store"),
  [word(ops.read, 0, 0, 0), word(ops.jz, 8, 0, 0xffff), word(ops.write, 0, 0, 0), word(ops.jump, 0, 0, 0)],
  [word(ops.load, 0, 0, 3), word(ops.decr, 0, 0, 0), word(ops.jn, 0, 0, 1), 100000],
  [word(ops.load, 0, 0, 4), word(ops.decr, 0, 0, 0), word(ops.jz, 0, 0, 200), word(ops.jump, 0, 0, 1), 300000,
    ...Array(195).fill(0), word(ops.jump, 0, 0, 1000), ...Array(799).fill(0), word(ops.load, 0, 0, 4), word(ops.jump, 0, 0, 1)],
];

require(modulePath)({ wasmBinary: fs.readFileSync(path.join(page, "vorn.wasm")) }).then((vorn) => {
  const failures = [];
  const compare = (label, words, input, limit, stops) => {
    vorn.compiledRuns(false);
    const expected = vorn.runMachine(words, input, limit, stops);
    vorn.compiledRuns(true);
    const actual = vorn.runMachine(words, input, limit, stops);
    if (expected !== actual) {
      failures.push(`${label}: ${words}\n  input ${JSON.stringify(input)}, limit ${limit}, stops ${stops}\n  run loop ${expected}\n  compiled ${actual}`);
    }
  };
  cases.forEach((words, i) => {
    for (const limit of [70000, 1000000, 5000000]) {
      for (const stops of ["[]", "[9]", "[1,900]"]) {
        compare(`case ${i}`, JSON.stringify(words), "5\n-3\n7\n0\n", limit, stops);
      }
    }
  });
  const limits = [65535, 65536, 65537, 100000, 131071, 250000, 1000000];
  for (let n = 0; n < programs && failures.length < 10; n++) {
    const size = 4 + random(60);
    const words = JSON.stringify(program(size));
    const input = Array.from({ length: random(8) }, () => random(2000) - 1000).join("\n");
    const limit = random(4) === 0 ? 65536 + random(3000000) : pick(limits);
    const stops = random(3) === 0 ? JSON.stringify(Array.from({ length: 1 + random(3) }, () => random(size))) : "[]";
    compare(`program ${n}`, words, input, limit, stops);
  }
  const stats = JSON.parse(vorn.compiledRuns(true));
  if (stats.compiled === 0 || stats.steps === 0) {
    failures.push(`nothing ran compiled: ${JSON.stringify(stats)}`);
  }
  for (const failure of failures) console.log(failure.length > 2000 ? failure.slice(0, 2000) + "..." : failure);
  console.log(`${programs} programs, ${failures.length} differ; compiled ${stats.compiled} functions, ${stats.steps} steps`);
  process.exit(failures.length === 0 ? 0 : 1);
});
