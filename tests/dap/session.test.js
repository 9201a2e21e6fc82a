// vorndbg --dap driven by the Debug Adapter Protocol's own test client, as an
// editor drives it: the real binary over its standard streams.
//
//   VORNDBG=build/debug/vorndbg node --test tests/dap/
'use strict';

const assert = require('node:assert/strict');
const fs = require('node:fs');
const os = require('node:os');
const path = require('node:path');
const { test } = require('node:test');
const { DebugClient } = require('@vscode/debugadapter-testsupport');

const vorndbg = process.env.VORNDBG;
const program = path.join(__dirname, 'evens.vorn');
// evens.vorn's lines: the program's own names for them.
const LINE = { read: 3, storeI: 4, load: 5, jz: 6, write: 7, storeO: 10, jumpLoop: 11 };
const COUNT = 10; // the address of `count`

// The client spawns "RUNTIME EXECUTABLE": vorndbg with its one option.
function client() {
  const dc = new DebugClient(vorndbg, '--dap', 'vorn');
  dc.defaultTimeout = 10000;
  return dc;
}

// Sends a request and waits for both its answer and the event it causes:
// the test client keeps no event that arrived before it was waited for.
async function andEvent(dc, eventType, request) {
  const [event, response] = await Promise.all([dc.waitForEvent(eventType), request]);
  return { event, response };
}

async function stopped(dc, request, reason) {
  const { event } = await andEvent(dc, 'stopped', request);
  assert.equal(event.body.reason, reason, JSON.stringify(event.body));
  return event.body;
}

async function variable(dc, scopeName, name) {
  const scopes = await dc.scopesRequest({ frameId: 1 });
  const scope = scopes.body.scopes.find((s) => s.name === scopeName);
  assert.ok(scope, `no scope ${scopeName}`);
  const variables = await dc.variablesRequest({ variablesReference: scope.variablesReference });
  const found = variables.body.variables.find((v) => v.name === name);
  assert.ok(found, `no variable ${name} in ${scopeName}`);
  return { scope, variable: found };
}

async function frame(dc) {
  const trace = await dc.stackTraceRequest({ threadId: 1 });
  assert.equal(trace.body.stackFrames.length, 1);
  return trace.body.stackFrames[0];
}

// A session launched with `launchArguments`, handed to `body`, then stopped.
async function withSession(launchArguments, body) {
  const dc = client();
  await dc.start();
  try {
    await dc.initializeRequest();
    await andEvent(dc, 'initialized', dc.launchRequest(launchArguments));
    await body(dc);
  } finally {
    await dc.stop();
  }
}

function wordsOf(base64) {
  const bytes = Buffer.from(base64, 'base64');
  const words = [];
  for (let i = 0; i + 4 <= bytes.length; i += 4) {
    words.push(bytes.readInt32BE(i));
  }
  return words;
}

test('a debugging session from the launch to the halt', async () => {
  const dc = client();
  await dc.start();
  const exited = new Promise((resolve) => dc._adapterProcess.on('exit', resolve));
  try {
    const init = await dc.initializeRequest({
      adapterID: 'vorn', linesStartAt1: true, columnsStartAt1: true, pathFormat: 'path',
      supportsInvalidatedEvent: true, supportsMemoryReferences: true,
    });
    const caps = init.body;
    for (const name of ['supportsConditionalBreakpoints', 'supportsValueFormattingOptions',
      'supportsStepBack', 'supportsDataBreakpoints', 'supportsReadMemoryRequest',
      'supportsWriteMemoryRequest', 'supportsDisassembleRequest', 'supportsSetVariable',
      'supportsConfigurationDoneRequest', 'supportsInstructionBreakpoints',
      'supportsFunctionBreakpoints', 'supportsHitConditionalBreakpoints',
      'supportsRestartRequest', 'supportsExceptionInfoRequest', 'supportsGotoTargetsRequest']) {
      assert.equal(caps[name], true, name);
    }
    // Not there yet: said so rather than half done.
    assert.equal(caps.supportsSteppingGranularity, false);

    // Launch with n = 4 and stop at the write, line 7.
    const { response: launched } = await andEvent(dc, 'initialized',
      dc.launchRequest({ program, input: [4] }));
    assert.equal(launched.success, true);
    const set = await dc.setBreakpointsRequest({
      source: { path: program }, breakpoints: [{ line: LINE.write }, { line: 2 }, { line: 99 }],
    });
    const [atWrite, movedDown, outside] = set.body.breakpoints;
    assert.deepEqual([atWrite.verified, atWrite.line], [true, LINE.write]);
    // A comment line's breakpoint moves to the next instruction.
    assert.deepEqual([movedDown.verified, movedDown.line], [true, LINE.read]);
    assert.equal(outside.verified, false);
    assert.match(outside.message, /out of range: the source has 13 lines/);
    await dc.setBreakpointsRequest({ source: { path: program }, breakpoints: [{ line: LINE.write }] });
    const id = (await dc.setBreakpointsRequest({
      source: { path: program }, breakpoints: [{ line: LINE.write }],
    })).body.breakpoints[0].id;

    let stop = await stopped(dc, dc.configurationDoneRequest(), 'breakpoint');
    assert.deepEqual(stop.hitBreakpointIds, [id]);
    assert.equal(stop.description, `Breakpoint ${id}; $step = 4, $pc = 4, line 7: write`);
    let top = await frame(dc);
    assert.equal(top.line, LINE.write);
    assert.equal(top.source.path, program);
    assert.equal(top.instructionPointerReference, '0x0004');
    assert.equal(top.name, 'loop + 2');

    // Variables: registers with hex, labels with their words.
    const { variable: o } = await variable(dc, 'Registers', 'O');
    assert.equal(o.value, '4 (0x00000004)');
    const { scope: labels, variable: count } = await variable(dc, 'Labels', 'count');
    assert.equal(count.value, '4 (0x00000004)');
    assert.equal(count.memoryReference, '0x000A');
    const { variable: done } = await variable(dc, 'Labels', 'done');
    assert.match(done.value, / jump end$/);

    // A data breakpoint on the word count; the line breakpoint goes.
    const info = await dc.dataBreakpointInfoRequest({
      variablesReference: labels.variablesReference, name: 'count',
    });
    assert.deepEqual(info.body.accessTypes, ['write']);
    assert.equal(info.body.description, 'count, the word at address 10');
    const data = await dc.setDataBreakpointsRequest({
      breakpoints: [{ dataId: info.body.dataId, accessType: 'write' }],
    });
    const watchId = data.body.breakpoints[0].id;
    assert.equal(data.body.breakpoints[0].verified, true);
    const reads = await dc.setDataBreakpointsRequest({
      breakpoints: [{ dataId: info.body.dataId, accessType: 'read' }],
    });
    assert.equal(reads.body.breakpoints[0].verified, false);
    const again = await dc.setDataBreakpointsRequest({
      breakpoints: [{ dataId: info.body.dataId, accessType: 'write' }],
    });
    const dataId = again.body.breakpoints[0].id;
    assert.equal(dataId, watchId);  // set again, the same breakpoint
    await dc.setBreakpointsRequest({ source: { path: program }, breakpoints: [] });

    // Continue to the write of count (4 -> 2); the write of 4 is output.
    const output = dc.assertOutput('stdout', '4\n');
    stop = await stopped(dc, dc.continueRequest({ threadId: 1 }), 'data breakpoint');
    await output;
    assert.deepEqual(stop.hitBreakpointIds, [dataId]);
    assert.equal(stop.description,
      `Watchpoint ${dataId} (count): old 4, new 2; $step = 8, $pc = 8, line 11: jump loop`);

    // Step back over the store: count is 4 again.
    stop = await stopped(dc, dc.stepBackRequest({ threadId: 1 }), 'step');
    assert.equal(stop.description, 'Stepped back; $step = 7, $pc = 7, line 10: store O count');
    assert.equal((await frame(dc)).line, LINE.storeO);
    assert.equal((await variable(dc, 'Labels', 'count')).variable.value, '4 (0x00000004)');

    // Back to the write before: the store of n, count still 0.
    stop = await stopped(dc, dc.reverseContinueRequest({ threadId: 1 }), 'data breakpoint');
    assert.equal(stop.description,
      `Watchpoint ${dataId} (count): before the write: now 0, the write stores 4; $step = 1, $pc = 1, line 4: store I count`);
    top = await frame(dc);
    assert.equal(top.line, LINE.storeI);

    // Memory: count's word, and the words from done's (jump end) on.
    const memory = await dc.customRequest('readMemory', { memoryReference: count.memoryReference, count: 4 });
    assert.equal(memory.body.address, '0x000A');
    assert.deepEqual(wordsOf(memory.body.data), [0]);
    const span = await dc.customRequest('readMemory', { memoryReference: '0x0000', offset: 36, count: 12 });
    assert.deepEqual(wordsOf(span.body.data), [0xD000FFFF | 0, 0, 0]);
    assert.equal(span.body.unreadableBytes, 0);

    // The disassembly around the program counter, with labels and lines.
    const code = await dc.disassembleRequest({
      memoryReference: top.instructionPointerReference, instructionOffset: -4, instructionCount: 8,
    });
    const rows = code.body.instructions;
    assert.equal(rows.length, 8);
    const byAddress = Object.fromEntries(rows.map((r) => [r.address, r]));
    assert.equal(byAddress['0x0001'].instruction, 'store I count');
    assert.equal(byAddress['0x0001'].line, LINE.storeI);
    assert.equal(byAddress['0x0002'].symbol, 'loop');
    assert.equal(byAddress['0x0003'].instruction, 'jz O done');
    assert.deepEqual([rows[0].address, rows[0].presentationHint], ['-3', 'invalid']);

    // Set a register: the client is told to read the variables again.
    const { event: invalidated, response: setA } = await andEvent(dc, 'invalidated',
      dc.setVariableRequest({ variablesReference: 1, name: 'A', value: '0x10' }));
    assert.equal(setA.body.value, '16 (0x00000010)');
    assert.deepEqual(invalidated.body.areas, ['variables']);
    assert.equal((await variable(dc, 'Registers', 'A')).variable.value, '16 (0x00000010)');
    await assert.rejects(dc.setVariableRequest({ variablesReference: 1, name: 'A', value: 'ten' }),
      /No symbol "ten" in the program/);

    // The debug console runs the terminal debugger's commands.
    const printed = await dc.evaluateRequest({ expression: 'print [count]', context: 'repl' });
    assert.equal(printed.body.result, '[10] = 0');
    const watched = await dc.evaluateRequest({ expression: 'I', context: 'watch' });
    assert.equal(watched.body.result, '4');
    const hovered = await dc.evaluateRequest({ expression: 'loop', context: 'hover' });
    assert.equal(hovered.body.result, '[2] = 503316490 (0x1E00000A) load O count');

    // An odd n: the endless loop, paused, then ended at the halt.
    await dc.setDataBreakpointsRequest({ breakpoints: [] });
    await dc.restartRequest({ arguments: { program, input: [5] } });
    await new Promise((resolve) => setTimeout(resolve, 300));
    const asked = Date.now();
    stop = await stopped(dc, dc.pauseRequest({ threadId: 1 }), 'pause');
    const took = Date.now() - asked;
    assert.ok(took < 1000, `pause took ${took} ms`);
    assert.match(stop.description, /^Interrupted; \$step = \d+, \$pc = \d+/);
    await dc.setBreakpointsRequest({ source: { path: program }, breakpoints: [{ line: LINE.jz }] });
    stop = await stopped(dc, dc.continueRequest({ threadId: 1 }), 'breakpoint');
    assert.ok((await variable(dc, 'Registers', 'O')).variable.value.startsWith('-'));
    await dc.setVariableRequest({ variablesReference: 1, name: 'O', value: '0' });
    await dc.setBreakpointsRequest({ source: { path: program }, breakpoints: [] });
    const [exit] = await Promise.all([
      dc.waitForEvent('exited'), dc.waitForEvent('terminated'), dc.continueRequest({ threadId: 1 }),
    ]);
    assert.equal(exit.body.exitCode, 0);
    await dc.disconnectRequest();
    assert.equal(await exited, 0);
  } finally {
    dc.stopAdapter();
  }
});

test('conditions and hit counts in the debugger\'s expressions, and the Watch view', () => withSession({ program, input: [6] }, async (dc) => {
  const set = await dc.setBreakpointsRequest({
    source: { path: program },
    breakpoints: [
      { line: LINE.write, condition: 'O == 2' },
      { line: LINE.load, hitCondition: '>= 2' },
      { line: LINE.jz, condition: 'O == && 1' },
      { line: LINE.storeO, condition: 'O == totl' },
      { line: LINE.jumpLoop, hitCondition: 'twice' },
    ],
  });
  const [atWrite, atLoad, unreadable, unknown, badCount] = set.body.breakpoints;
  assert.deepEqual([atWrite.verified, atLoad.verified], [true, true]);
  // A condition that does not read comes back with the evaluator's sentence.
  assert.equal(unreadable.verified, false);
  assert.match(unreadable.message, /^Cannot read the expression "O == && 1"/);
  assert.equal(unknown.verified, false);
  assert.equal(unknown.message, 'No symbol "totl" in the program.');
  assert.equal(badCount.verified, false);
  assert.match(badCount.message, /is not N, >= N, > N, == N or % N/);

  // The load's second time round, the loop's 7 instructions after the first.
  let stop = await stopped(dc, dc.configurationDoneRequest(), 'breakpoint');
  assert.deepEqual(stop.hitBreakpointIds, [atLoad.id]);
  assert.equal(stop.description, `Breakpoint ${atLoad.id}; $step = 9, $pc = 2, line 5: :loop   load O count`);

  // The Watch view and hover: print's expressions, hex as print/x.
  const watch = async (expression, format) =>
    (await dc.evaluateRequest({ expression, context: 'watch', format })).body.result;
  assert.equal(await watch('[count]'), '4');
  assert.equal(await watch('[count] + 12', { hex: true }), '0x10');
  assert.equal(await watch('O == 4 && $pc == &loop'), '1');
  assert.equal((await dc.evaluateRequest({ expression: 'count', context: 'hover' })).body.result,
    '[10] = 4 (0x00000004)');
  await assert.rejects(watch('[count'), /Cannot read the expression/);
  await assert.rejects(watch('cuont'), /No symbol "cuont" in the program; did you mean "count"\?/);
  await assert.rejects(dc.evaluateRequest({ expression: 'O', context: 'watch', format: 'hex' }),
    /'format' is not an object/);

  // The write's condition: it passes 6 and 4, stops at 2.
  await dc.setBreakpointsRequest({
    source: { path: program }, breakpoints: [{ line: LINE.write, condition: 'O == 2' }],
  });
  stop = await stopped(dc, dc.continueRequest({ threadId: 1 }), 'breakpoint');
  assert.deepEqual(stop.hitBreakpointIds, [atWrite.id]);
  assert.match(stop.description, new RegExp(`^Breakpoint ${atWrite.id}; \\$step = 18, \\$pc = 4, line 7: write`));
  assert.equal((await variable(dc, 'Registers', 'O')).variable.value, '2 (0x00000002)');

  // Going back, the condition holds only where O was 2: no stop at 4 and 6.
  await dc.setBreakpointsRequest({
    source: { path: program }, breakpoints: [{ line: LINE.write, condition: 'O == 4' }],
  });
  stop = await stopped(dc, dc.reverseContinueRequest({ threadId: 1 }), 'breakpoint');
  assert.match(stop.description, /\$step = 11, \$pc = 4, line 7: write/);

  // "== N" counts every hit with its condition true, the one set before kept.
  await dc.setBreakpointsRequest({ source: { path: program }, breakpoints: [] });
  const load = (await dc.setFunctionBreakpointsRequest({
    breakpoints: [{ name: 'loop', hitCondition: '== 2' }],
  })).body.breakpoints[0];
  assert.equal(load.verified, true);
  stop = await stopped(dc, dc.restartRequest({ arguments: { program, input: [6] } }),
    'function breakpoint');
  assert.match(stop.description, /\$step = 9, \$pc = 2/);
  // "% 2" from there: the same breakpoint, its 2 hits kept, stops at the 4th.
  const every = (await dc.setFunctionBreakpointsRequest({
    breakpoints: [{ name: 'loop', hitCondition: '% 2' }],
  })).body.breakpoints[0];
  assert.equal(every.id, load.id);
  stop = await stopped(dc, dc.continueRequest({ threadId: 1 }), 'function breakpoint');
  assert.match(stop.description, /\$step = 23, \$pc = 2/);
  const [exit] = await Promise.all([dc.waitForEvent('exited'), dc.continueRequest({ threadId: 1 })]);
  assert.equal(exit.body.exitCode, 0);
}));

test('a condition that cannot be evaluated stops with its error, as the terminal debugger does', () => withSession({ program, input: [4] }, async (dc) => {
  const [broken] = (await dc.customRequest('setInstructionBreakpoints', {
    breakpoints: [{ instructionReference: '0x0004', condition: '[O] == 1' }],
  })).body.breakpoints;
  assert.equal(broken.verified, true);
  // The console shows both of the terminal's lines.
  const console = dc.assertOutput('console',
    `Error in the condition of breakpoint ${broken.id}: Register O holds 4, a word without an address field.\n` +
    `Breakpoint ${broken.id}; $step = 4, $pc = 4, line 7: write`);
  const stop = await stopped(dc, dc.configurationDoneRequest(), 'instruction breakpoint');
  await console;
  assert.deepEqual(stop.hitBreakpointIds, [broken.id]);
  assert.equal(stop.description,
    `Error in the condition of breakpoint ${broken.id}: Register O holds 4, a word without an address field.`);
  // A data breakpoint takes a condition too, tested after the write.
  await dc.customRequest('setInstructionBreakpoints', { breakpoints: [] });
  const [onCount] = (await dc.setDataBreakpointsRequest({
    breakpoints: [{ dataId: 'word:10', accessType: 'write', condition: '[count] == 0' }],
  })).body.breakpoints;
  assert.equal(onCount.verified, true);
  const watched = await stopped(dc, dc.continueRequest({ threadId: 1 }), 'data breakpoint');
  assert.match(watched.description, new RegExp(`^Watchpoint ${onCount.id} \\(count\\): old 2, new 0`));
}));

test('reading past the input stops for more, given in the debug console', () => withSession({ program, input: [] }, async (dc) => {
  let stop = await stopped(dc, dc.configurationDoneRequest(), 'pause');
  assert.match(stop.description, /^Stopped at read: no number was given; \$step = 0, \$pc = 0, line 3/);
  await dc.evaluateRequest({ expression: 'input 2', context: 'repl' });
  // goto moves the program counter only: back to the read, then on.
  stop = await stopped(dc, dc.nextRequest({ threadId: 1 }), 'step');
  assert.equal((await frame(dc)).line, LINE.storeI);
  const targets = await dc.gotoTargetsRequest({ source: { path: program }, line: LINE.read });
  assert.equal(targets.body.targets[0].instructionPointerReference, '0x0000');
  await stopped(dc, dc.gotoRequest({ threadId: 1, targetId: targets.body.targets[0].id }), 'goto');
  assert.equal((await frame(dc)).line, LINE.read);
  stop = await stopped(dc, dc.nextRequest({ threadId: 1 }), 'pause');
  assert.match(stop.description, /^Stopped at read/);
  await dc.evaluateRequest({ expression: 'input 2', context: 'repl' });
  // A breakpoint the console sets holds beside the editor's.
  const set = await dc.evaluateRequest({ expression: 'break 7', context: 'repl' });
  assert.equal(set.body.result, 'Breakpoint 1 at address 4, line 7.');
  await dc.setBreakpointsRequest({ source: { path: program }, breakpoints: [{ line: LINE.jumpLoop }] });
  stop = await stopped(dc, dc.continueRequest({ threadId: 1 }), 'breakpoint');
  assert.match(stop.description, /^Breakpoint 1; \$step = 5, \$pc = 4, line 7: write/);
  await dc.setBreakpointsRequest({ source: { path: program }, breakpoints: [] });
  const output = dc.assertOutput('stdout', '2\n');
  await Promise.all([dc.waitForEvent('exited'), dc.continueRequest({ threadId: 1 })]);
  await output;
}));

test('a fault stops as an exception, with its message', async () => {
  const dc = client();
  await dc.start();
  try {
    await dc.initializeRequest();
    const faulty = path.join(__dirname, '..', 'debugger', 'programs', 'fault.vorn');
    await andEvent(dc, 'initialized', dc.launchRequest({ program: faulty, stopOnEntry: true }));
    let stop = await stopped(dc, dc.configurationDoneRequest(), 'entry');
    assert.match(stop.description, /^Entry; \$step = 0, \$pc = 0, line 3: load B ptr/);
    stop = await stopped(dc, dc.continueRequest({ threadId: 1 }), 'exception');
    assert.equal(stop.text,
      'fault at address 2, line 5 (loadi A B): register B holds 7, a word without an address field.');
    const fault = await dc.exceptionInfoRequest({ threadId: 1 });
    assert.equal(fault.body.breakMode, 'always');
    assert.equal(fault.body.description, stop.text);
    await assert.rejects(dc.customRequest('stepOut', { threadId: 1 }), /no calls/);
    await assert.rejects(dc.customRequest('unheardOf'), /Unknown request 'unheardOf'/);
  } finally {
    await dc.stop();
  }
});

test('strict: running into a data word is a fault, otherwise a warning', async () => {
  const dir = fs.mkdtempSync(path.join(os.tmpdir(), 'vorndbg-dap-'));
  const intoData = path.join(dir, 'into-data.vorn');
  fs.writeFileSync(intoData, '        load A x\n:x      5\n');
  for (const strict of [true, false]) {
    const dc = client();
    await dc.start();
    try {
      await dc.initializeRequest();
      await andEvent(dc, 'initialized', dc.launchRequest({ program: intoData, strict }));
      if (strict) {
        const stop = await stopped(dc, dc.configurationDoneRequest(), 'exception');
        assert.equal(stop.text,
          "fault at address 1 (strict): execution enters a data word from line 2 (':x      5').");
      } else {
        const warning = dc.assertOutput('console',
          "Warning: execution enters address 1, a data word from line 2 (':x      5'), as an instruction.");
        await Promise.all([dc.waitForEvent('exited'), dc.configurationDoneRequest()]);
        await warning;
      }
    } finally {
      await dc.stop();
    }
  }
  fs.rmSync(dir, { recursive: true });
});
