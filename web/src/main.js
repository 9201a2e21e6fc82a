// The playground page: the editor, the controls and the views. The machine
// itself lives in the worker (worker.js); this file only sends it commands
// and shows what it answers.
import { EditorState, StateField, StateEffect, RangeSet, Compartment } from "@codemirror/state";
import {
  EditorView,
  keymap,
  lineNumbers,
  gutterLineClass,
  GutterMarker,
  Decoration,
  highlightActiveLine,
  drawSelection,
} from "@codemirror/view";
import { defaultKeymap, history as undoHistory, historyKeymap } from "@codemirror/commands";
import { syntaxHighlighting } from "@codemirror/language";
import { setDiagnostics, lintGutter } from "@codemirror/lint";
import { vornLanguage, vornHighlightStyle } from "./language.js";

const storageKey = "vorn-playground";
const $ = (id) => document.getElementById(id);

// ---- The source in the address and in local storage ----

function encodeText(text) {
  const bytes = new TextEncoder().encode(text);
  let binary = "";
  for (const byte of bytes) binary += String.fromCharCode(byte);
  return btoa(binary).replace(/\+/g, "-").replace(/\//g, "_").replace(/=+$/, "");
}

function decodeText(encoded) {
  const binary = atob(encoded.replace(/-/g, "+").replace(/_/g, "/"));
  return new TextDecoder().decode(Uint8Array.from(binary, (c) => c.charCodeAt(0)));
}

// "#source=...&input=..." as written by shareLink.
function fromFragment() {
  const params = new URLSearchParams(location.hash.slice(1));
  if (!params.has("source")) return null;
  try {
    return { source: decodeText(params.get("source")), input: decodeText(params.get("input") ?? "") };
  } catch {
    return null;
  }
}

function shareLink(source, input) {
  const params = new URLSearchParams();
  params.set("source", encodeText(source));
  if (input) params.set("input", encodeText(input));
  return "#" + params.toString();
}

function fromStorage() {
  try {
    const saved = JSON.parse(localStorage.getItem(storageKey));
    return saved && typeof saved.source === "string" ? saved : null;
  } catch {
    return null;
  }
}

// Longer sources stay out of the address: browsers limit its length, and
// encoding megabytes on every edit would slow the typing.
const linkLimit = 100_000;

function save(source, input) {
  if (source.length <= linkLimit) history.replaceState(null, "", shareLink(source, input));
  try {
    localStorage.setItem(storageKey, JSON.stringify({ source, input }));
  } catch {
    // Storage may be full or disabled; the address still holds the source.
  }
}

// ---- Breakpoints: toggled by a click on a line number ----

const toggleBreakpoint = StateEffect.define({ map: (pos, changes) => changes.mapPos(pos) });
const breakpointMarker = new (class extends GutterMarker {
  elementClass = "cm-breakpoint";
})();

const breakpointField = StateField.define({
  create: () => RangeSet.empty,
  update(set, transaction) {
    set = set.map(transaction.changes);
    for (const effect of transaction.effects) {
      if (!effect.is(toggleBreakpoint)) continue;
      let present = false;
      set.between(effect.value, effect.value, () => {
        present = true;
      });
      set = present
        ? set.update({ filter: (from) => from !== effect.value })
        : set.update({ add: [breakpointMarker.range(effect.value)] });
    }
    return set;
  },
  provide: (field) => gutterLineClass.from(field),
});

function breakpointLines(state) {
  const lines = [];
  const cursor = state.field(breakpointField).iter();
  for (; cursor.value; cursor.next()) lines.push(state.doc.lineAt(cursor.from).number);
  return lines;
}

// ---- The current line of the run ----

const setCurrentLine = StateEffect.define();
const currentLineDecoration = Decoration.line({ class: "cm-current-instruction" });
const currentLineField = StateField.define({
  create: () => Decoration.none,
  update(decorations, transaction) {
    if (transaction.docChanged) decorations = Decoration.none;
    for (const effect of transaction.effects) {
      if (!effect.is(setCurrentLine)) continue;
      const line = effect.value;
      decorations =
        line > 0 && line <= transaction.state.doc.lines
          ? Decoration.set([currentLineDecoration.range(transaction.state.doc.line(line).from)])
          : Decoration.none;
    }
    return decorations;
  },
  provide: (field) => EditorView.decorations.from(field),
});

// ---- The editor ----

const language = new Compartment();
let worker = null;
let assembleTimer = 0;
let saveTimer = 0;
let assembleId = 0;

const editorUpdates = EditorView.updateListener.of((update) => {
  if (update.docChanged) {
    clearTimeout(assembleTimer);
    assembleTimer = setTimeout(assemble, 120);
    clearTimeout(saveTimer);
    saveTimer = setTimeout(() => save(source(), $("input").value), 300);
  }
  const breakpointsChanged = update.transactions.some((t) =>
    t.effects.some((e) => e.is(toggleBreakpoint)),
  );
  if (breakpointsChanged || update.docChanged) {
    worker.postMessage({ type: "breakpoints", lines: breakpointLines(update.state) });
  }
});

const view = new EditorView({
  parent: $("editor"),
  state: EditorState.create({
    doc: "",
    extensions: [
      lineNumbers({
        domEventHandlers: {
          mousedown(editorView, line) {
            editorView.dispatch({ effects: toggleBreakpoint.of(line.from) });
            return true;
          },
        },
      }),
      breakpointField,
      currentLineField,
      lintGutter(),
      undoHistory(),
      drawSelection(),
      EditorView.lineWrapping,
      highlightActiveLine(),
      language.of(vornLanguage()),
      syntaxHighlighting(vornHighlightStyle),
      keymap.of([
        { key: "Mod-Enter", run: () => (send("run"), true) },
        { key: "F10", run: () => (send("step"), true) },
        ...defaultKeymap,
        ...historyKeymap,
      ]),
      editorUpdates,
    ],
  }),
});

function source() {
  return view.state.doc.toString();
}

function setSource(text) {
  view.dispatch({ changes: { from: 0, to: view.state.doc.length, insert: text } });
}

// ---- Talking to the worker ----

let assembleSent = 0;

function assemble() {
  assembleSent = performance.now();
  worker.postMessage({ type: "assemble", id: ++assembleId, source: source() });
}

function send(command) {
  worker.postMessage({ type: "command", command, source: source(), input: $("input").value });
}

// A byte offset in a line (as the assembler counts) as a character offset.
function characterOffset(lineText, byteOffset) {
  const encoder = new TextEncoder();
  let bytes = 0;
  for (let i = 0; i < lineText.length; i++) {
    if (bytes >= byteOffset) return i;
    bytes += encoder.encode(lineText[i]).length;
  }
  return lineText.length;
}

// Each diagnostic in the editor (underlined) and in the pane below it: the
// error as vornasm prints it, then any warnings.
function showDiagnostics(message) {
  const pane = $("diagnostics");
  const marks = [];
  const items = [];
  const doc = view.state.doc;
  for (const diagnostic of message.diagnostics) {
    const { position, severity } = diagnostic;
    const line = doc.line(Math.min(Math.max(position.line, 1), doc.lines));
    const from = line.from + characterOffset(line.text, position.column);
    const to = Math.min(line.from + characterOffset(line.text, position.column + position.length), line.to);
    const text = diagnostic.text ?? diagnostic.message;
    const full = diagnostic.hint ? `${text} ${diagnostic.hint}` : text;
    marks.push({ from, to: Math.max(to, from), severity, message: full, source: diagnostic.code });
    const item = document.createElement("div");
    item.className = `diagnostic ${severity}`;
    item.textContent = position.line > 0 ? `line ${position.line}: ${full}` : full;
    item.onclick = () => view.dispatch({ selection: { anchor: from }, scrollIntoView: true });
    items.push(item);
  }
  if (!message.diagnostics.some((d) => d.severity === "error")) {
    const item = document.createElement("div");
    item.className = "diagnostic ok";
    item.textContent = `No errors: ${message.cells} cells, assembled in ${message.milliseconds.toFixed(1)} ms.`;
    items.unshift(item);
  }
  const more = (message.diagnosticCount ?? 0) - message.diagnostics.length;
  if (more > 0) {
    const item = document.createElement("div");
    item.className = "diagnostic warning";
    item.textContent = `… and ${more} more.`;
    items.push(item);
  }
  pane.replaceChildren(...items);
  view.dispatch(setDiagnostics(view.state, marks));
}

const hex = (value, digits) => "0x" + (value >>> 0).toString(16).toUpperCase().padStart(digits, "0");

function cell(row, text, className) {
  const td = document.createElement("td");
  td.textContent = text;
  if (className) td.className = className;
  row.append(td);
  return td;
}

function table(headers) {
  const element = document.createElement("table");
  const head = element.createTHead().insertRow();
  for (const header of headers) {
    const th = document.createElement("th");
    th.textContent = header;
    head.append(th);
  }
  return element;
}

let listing = { cells: 0, rows: [] };
let machine = null;
let lastAssembly = null;

function showListing() {
  const pane = $("listing");
  const element = table(["addr", "word", "decimal", "instruction", "line", "source"]);
  const body = element.createTBody();
  for (const [address, word, instruction, line, text] of listing.rows) {
    const row = body.insertRow();
    row.dataset.address = address;
    if (machine && machine.pc === address) row.className = "current";
    cell(row, String(address), "number");
    cell(row, hex(word, 8), "number");
    cell(row, String(word), "number");
    cell(row, instruction, "instruction");
    cell(row, String(line), "number");
    cell(row, text, "source");
  }
  pane.replaceChildren(element);
  if (listing.cells > listing.rows.length) {
    const more = document.createElement("p");
    more.textContent = `The first ${listing.rows.length} of ${listing.cells} cells.`;
    pane.append(more);
  }
}

const registerNames = () => names.registers;
let names = { registers: "ABCDEFGHIJKLMNOP".split(""), operations: [] };
let previousRegisters = new Array(16).fill(0); // a new machine's

function showRegisters(state) {
  const pane = $("registers");
  const element = table(["", "decimal", "hex"]);
  const body = element.createTBody();
  registerNames().forEach((name, i) => {
    const row = body.insertRow();
    row.dataset.register = name;
    const changed = previousRegisters && previousRegisters[i] !== state.registers[i];
    if (changed) row.className = "changed";
    cell(row, name, "name");
    cell(row, String(state.registers[i]), "number value");
    cell(row, hex(state.registers[i], 8), "number");
  });
  const pc = body.insertRow();
  pc.dataset.register = "PC";
  cell(pc, "PC", "name");
  cell(pc, String(state.pc), "number value");
  cell(pc, hex(state.pc, 4), "number");
  pane.replaceChildren(element);
  previousRegisters = state.registers;
}

// The words last shown, by address: a word that differs is highlighted.
let previousMemory = new Map();

function memoryTable(title, rows, pc) {
  const section = document.createElement("section");
  const heading = document.createElement("h3");
  heading.textContent = title;
  const element = table(["addr", "word", "decimal", "as instruction"]);
  const body = element.createTBody();
  for (const [address, word, instruction] of rows) {
    const row = body.insertRow();
    row.dataset.address = address;
    if (address === pc) row.classList.add("current");
    if (previousMemory.has(address) && previousMemory.get(address) !== word) row.classList.add("changed");
    cell(row, `${address} (${hex(address, 4)})`, "number");
    cell(row, hex(word, 8), "number");
    cell(row, String(word), "number");
    cell(row, instruction, "instruction");
  }
  section.append(heading, element);
  return section;
}

function showMemory(state) {
  const pane = $("memory-views");
  pane.replaceChildren(
    memoryTable(`From address ${state.memoryAddress}`, state.memory, state.pc),
    memoryTable("Around the current instruction", state.memoryAtPc, state.pc),
  );
  previousMemory = new Map([...state.memory, ...state.memoryAtPc].map(([address, word]) => [address, word]));
}

let output = [];

// The worker sends the numbers from `outputFrom` on: those the page has not
// shown yet, or all of them after Back. The output is the output at the
// current step, so it is shorter after Back over a write.
function showOutput(state) {
  output = output.slice(0, state.outputFrom).concat(state.output);
  $("output").textContent = output.join("\n");
  $("output").scrollTop = $("output").scrollHeight;
}

function showState(state) {
  machine = state;
  const rate = state.running && state.rate ? ` Running at ${(state.rate / 1e6).toFixed(0)} million steps/s.` : "";
  const again = state.restartedBecause ? `Started again (${state.restartedBecause}). ` : "";
  // The warning on running into data, as vornsim -s gives it.
  const warning = state.warning ? ` Warning: ${state.warning}` : "";
  $("status").textContent = again + (state.running ? `Running: ${state.steps} steps.${rate}` : state.message + warning);
  $("status").dataset.state = state.running ? "running" : state.state;
  document.body.classList.toggle("running", state.running);
  $("stop").disabled = !state.running;
  showOutput(state);
  showRegisters(state);
  showMemory(state);
  if (!state.running) view.dispatch({ effects: setCurrentLine.of(state.line) });
  for (const row of $("listing").querySelectorAll("tr.current")) row.classList.remove("current");
  const current = $("listing").querySelector(`tr[data-address="${state.pc}"]`);
  if (current) current.classList.add("current");
}

function onWorkerMessage(event) {
  const message = event.data;
  switch (message.type) {
    case "ready":
      names = message.names;
      view.dispatch({ effects: language.reconfigure(vornLanguage(names)) });
      document.body.dataset.ready = "true";
      break;
    case "assembled":
      if (message.id !== assembleId) return;
      lastAssembly = {
        id: message.id,
        milliseconds: message.milliseconds,
        diagnostics: message.diagnostics,
        cells: message.cells,
      };
      lastAssembly.receivedAfter = performance.now() - assembleSent;
      listing = message.listing;
      showDiagnostics(message);
      lastAssembly.diagnosticsShownAfter = performance.now() - assembleSent;
      showListing();
      lastAssembly.listingShownAfter = performance.now() - assembleSent;
      break;
    case "state":
      showState(message);
      break;
  }
}

// ---- Examples ----

async function loadExamples() {
  const menu = $("examples");
  try {
    const response = await fetch("examples.json");
    const examples = await response.json();
    for (const example of examples) {
      const option = document.createElement("option");
      option.value = example.name;
      option.textContent = example.name;
      menu.append(option);
    }
    menu.onchange = () => {
      const example = examples.find((e) => e.name === menu.value);
      if (!example) return;
      setSource(example.source);
      $("input").value = example.input.trim();
      save(source(), $("input").value);
      menu.value = "";
    };
    return examples;
  } catch {
    return [];
  }
}

// ---- Start ----

function start() {
  worker = new Worker("worker.js");
  worker.onmessage = onWorkerMessage;
  worker.onerror = (event) => {
    $("status").textContent = `The machine could not start: ${event.message || "the worker failed"}.` +
      (location.protocol === "file:" ? " Serve the page over http (scripts/web does)." : "");
    $("status").dataset.state = "fault";
  };
  for (const command of ["run", "stop", "step", "back", "continue", "reverse-continue"]) {
    $(command).onclick = () => send(command);
  }
  $("input").oninput = () => save(source(), $("input").value);
  $("memory-address").onchange = () => {
    const text = $("memory-address").value.trim();
    const address = Number(text);
    if (Number.isInteger(address) && address >= 0 && address <= 0xffff) {
      worker.postMessage({ type: "memory", address });
    }
  };
  $("share").onclick = () => {
    if (source().length > linkLimit) {
      $("status").textContent = `The source is too long for a link (more than ${linkLimit} characters).`;
      return;
    }
    save(source(), $("input").value);
    navigator.clipboard?.writeText(location.href).catch(() => {});
    $("status").textContent = "The link to this program is in the address bar (and the clipboard).";
  };
  window.addEventListener("hashchange", () => {
    const shared = fromFragment();
    if (shared && shared.source !== source()) {
      setSource(shared.source);
      $("input").value = shared.input;
    }
  });

  const examplesLoaded = loadExamples();
  const initial = fromFragment() ?? fromStorage();
  if (initial) {
    setSource(initial.source);
    $("input").value = initial.input ?? "";
    assemble();
  } else {
    examplesLoaded.then((examples) => {
      const first = examples.find((e) => e.name === "countdown") ?? examples[0];
      if (first) {
        setSource(first.source);
        $("input").value = first.input.trim();
      }
      assemble();
    });
  }
}

start();

// For people (and tests) who script the page.
// lastAssembly and machine give what the worker last reported: the time it
// took to assemble, and the run's state (with its speed, `rate`, in steps/s).
window.vornPlayground = {
  view,
  source,
  setSource,
  breakpointLines: () => breakpointLines(view.state),
  lastAssembly: () => lastAssembly,
  machine: () => machine,
};
