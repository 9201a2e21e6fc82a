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
  hoverTooltip,
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

// The session kept across reloads: source, input, breakpoints, watchpoints.
function save() {
  const text = source();
  const input = $("input").value;
  if (text.length <= linkLimit) history.replaceState(null, "", shareLink(text, input));
  try {
    localStorage.setItem(
      storageKey,
      JSON.stringify({ source: text, input, breakpoints: breakpointLines(view.state), watched }),
    );
  } catch {
    // Storage may be full or disabled; the address still holds the source.
  }
}

// ---- Breakpoints: toggled by a click on a line number, or F9 ----

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

function toggleBreakpointAtLine(line) {
  const doc = view.state.doc;
  if (line < 1 || line > doc.lines) return;
  view.dispatch({ effects: toggleBreakpoint.of(doc.line(line).from) });
  const set = breakpointLines(view.state).includes(line);
  announce(`Breakpoint ${set ? "set" : "cleared"} at line ${line}.`);
}

// ---- The current line of the run, and the heat map ----

// Line decorations set by an effect, gone when the text changes: `decorate`
// makes them from the effect's value and the document.
function lineDecorations(decorate) {
  const effectType = StateEffect.define();
  const field = StateField.define({
    create: () => Decoration.none,
    update(decorations, transaction) {
      if (transaction.docChanged) decorations = Decoration.none;
      for (const effect of transaction.effects) {
        if (effect.is(effectType)) decorations = Decoration.set(decorate(effect.value, transaction.state.doc));
      }
      return decorations;
    },
    provide: (f) => EditorView.decorations.from(f),
  });
  return [effectType, field];
}

const currentLineDecoration = Decoration.line({ class: "cm-current-instruction" });
const [setCurrentLine, currentLineField] = lineDecorations((line, doc) =>
  line > 0 && line <= doc.lines ? [currentLineDecoration.range(doc.line(line).from)] : [],
);

// A count's share of the colour: on a log scale, so that a loop run a
// thousand times leaves the lines run ten times visible.
function heatLevel(count, most) {
  return count > 0 ? (0.15 + (0.85 * Math.log1p(count)) / Math.log1p(Math.max(most, 1))).toFixed(3) : "0";
}

// The heat map in the editor: each line that holds instructions, coloured by
// how many times it ran against the line that ran most, its count in
// data-count and in its title.
const [setHeat, heatField] = lineDecorations((profileLines, doc) => {
  const lines = (profileLines ?? []).filter((l) => l.line > 0 && l.line <= doc.lines);
  const most = Math.max(...lines.map((l) => l.count));
  return lines.map(({ line, count }) =>
    Decoration.line({
      class: count > 0 ? "cm-heat" : "cm-heat cm-heat-none",
      attributes: {
        "data-count": String(count),
        title: `Ran ${count} ${count === 1 ? "time" : "times"}.`,
        style: `--heat: ${heatLevel(count, most)}`,
      },
    }).range(doc.line(line).from),
  );
});

// ---- The instruction reference: what the token under the pointer is ----

let hoverId = 0;
const hoverWaiting = new Map();

// The analysis's hover text (markdown) as plain text with code in <code>.
function markdownElement(markdown) {
  const element = document.createElement("div");
  element.className = "reference";
  for (const paragraph of markdown.split("\n\n")) {
    const p = document.createElement("p");
    for (const [i, part] of paragraph.replace(/\*\*/g, "").split("`").entries()) {
      if (i % 2) {
        const code = document.createElement("code");
        code.textContent = part;
        p.append(code);
      } else {
        p.append(part);
      }
    }
    element.append(p);
  }
  return element;
}

const instructionReference = hoverTooltip((editorView, pos) => {
  const line = editorView.state.doc.lineAt(pos);
  const column = new TextEncoder().encode(line.text.slice(0, pos - line.from)).length;
  const id = ++hoverId;
  return new Promise((resolve) => {
    hoverWaiting.set(id, (answer) => {
      if (!answer.markdown) return resolve(null);
      resolve({ pos, above: true, create: () => ({ dom: markdownElement(answer.markdown) }) });
    });
    worker.postMessage({ type: "hover", id, line: line.number, column });
  });
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
  }
  const breakpointsChanged = update.transactions.some((t) => t.effects.some((e) => e.is(toggleBreakpoint)));
  if (breakpointsChanged || update.docChanged) {
    worker.postMessage({ type: "breakpoints", lines: breakpointLines(update.state) });
    clearTimeout(saveTimer);
    saveTimer = setTimeout(save, 300);
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
      heatField,
      lintGutter(),
      undoHistory(),
      drawSelection(),
      EditorView.lineWrapping,
      highlightActiveLine(),
      instructionReference,
      language.of(vornLanguage()),
      syntaxHighlighting(vornHighlightStyle),
      EditorView.contentAttributes.of({ "aria-label": "Source" }),
      keymap.of([
        {
          key: "F9",
          run: (editorView) => (toggleBreakpointAtLine(editorView.state.doc.lineAt(editorView.state.selection.main.head).number), true),
        },
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
  if (command === "stop" && !(machine && machine.running)) return;
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

function diagnosticItem(className, text) {
  const item = document.createElement("div");
  item.className = `diagnostic ${className}`;
  item.textContent = text;
  return item;
}

// Each diagnostic in the editor (underlined) and in the pane below it: the
// error as vornasm prints it (it names its line itself), the hint under it,
// then any warnings.
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
    const full = diagnostic.hint ? `${text}\n${diagnostic.hint}` : text;
    marks.push({ from, to: Math.max(to, from), severity, message: full, source: diagnostic.code });
    const error = severity === "error";
    const item = diagnosticItem(severity, error || position.line <= 0 ? text : `line ${position.line}: ${text}`);
    item.tabIndex = 0;
    item.setAttribute("role", "button");
    const go = () => {
      view.dispatch({ selection: { anchor: from }, scrollIntoView: true });
      view.focus();
    };
    item.onclick = go;
    item.onkeydown = (event) => {
      if (event.key === "Enter" || event.key === " ") {
        event.preventDefault();
        go();
      }
    };
    items.push(item);
    if (diagnostic.hint) items.push(diagnosticItem("hint-line", diagnostic.hint));
  }
  if (!message.diagnostics.some((d) => d.severity === "error")) {
    items.unshift(
      diagnosticItem("ok", `No errors: ${message.cells} cells, assembled in ${message.milliseconds.toFixed(1)} ms.`),
    );
  }
  const more = (message.diagnosticCount ?? 0) - message.diagnostics.length;
  if (more > 0) items.push(diagnosticItem("warning", `… and ${more} more.`));
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

function table(headers, caption) {
  const element = document.createElement("table");
  if (caption) element.createCaption().textContent = caption;
  const head = element.createTHead().insertRow();
  for (const header of headers) {
    const th = document.createElement("th");
    th.scope = "col";
    th.textContent = header;
    head.append(th);
  }
  return element;
}

let listing = { cells: 0, rows: [] };
let machine = null;
let lastAssembly = null;
let names = { registers: "ABCDEFGHIJKLMNOP".split(""), operations: [], reference: [], roles: [] };
let features = { heatMap: false, origin: false };
let heatMap = null;

// What an operation does, from the instruction table, for a title.
function referenceOf(instruction) {
  const entry = names.reference.find((r) => r.name === instruction.split(" ")[0]);
  return entry ? `${entry.name} ${entry.form}: ${entry.effect}` : "";
}

// The heat map: the profile of the run up to the current step, as vornsim
// --profile-format json writes it ({steps, cells: [{address, line, count}],
// lines: [{line, count}]}), with each cell's count by address.
let heatByAddress = new Map();

function showHeatMap(profile) {
  heatMap = profile;
  heatByAddress = new Map((profile?.cells ?? []).map((c) => [c.address, c.count]));
  view.dispatch({ effects: setHeat.of(profile?.lines ?? []) });
  showListing();
}

function heatOf(address) {
  return heatByAddress.get(address) ?? null;
}

function showListing() {
  const pane = $("listing");
  const headers = ["addr", "word", "decimal", "instruction", "line", "source"];
  if (heatMap) headers.push("runs");
  const element = table(headers);
  const body = element.createTBody();
  const most = Math.max(...heatByAddress.values());
  for (const [address, word, instruction, line, text] of listing.rows) {
    const row = body.insertRow();
    row.dataset.address = address;
    if (machine && machine.pc === address) row.className = "current";
    cell(row, String(address), "number");
    cell(row, hex(word, 8), "number");
    cell(row, String(word), "number");
    const instructionCell = cell(row, instruction, "instruction");
    if (instruction) instructionCell.title = referenceOf(instruction);
    cell(row, String(line), "number");
    cell(row, text, "source");
    if (heatMap) {
      const count = heatOf(address);
      cell(row, String(count ?? ""), "number heat");
      if (count !== null) {
        row.dataset.count = count;
        row.style.setProperty("--heat", heatLevel(count, most));
      }
    }
  }
  pane.replaceChildren(element);
  if (listing.cells > listing.rows.length) {
    const more = document.createElement("p");
    more.textContent = `The first ${listing.rows.length} of ${listing.cells} cells.`;
    pane.append(more);
  }
}

let previousRegisters = new Array(16).fill(0); // a new machine's
let stopped = false; // whether the machine stands still at a step (values can be edited)

// A value that can be edited in place while the machine is stopped: Enter or
// a double click opens the field, Enter keeps it, Escape cancels.
function editableValue(td, where, value, label) {
  td.tabIndex = 0;
  td.setAttribute("aria-label", `${label}: ${value}`);
  const edit = () => {
    if (!stopped || td.querySelector("input")) return;
    const field = document.createElement("input");
    field.value = String(value);
    field.size = 12;
    field.setAttribute("aria-label", `New value of ${label}`);
    td.replaceChildren(field);
    field.focus();
    field.select();
    let done = false;
    const finish = (keep) => {
      if (done) return;
      done = true;
      const typed = field.value.trim();
      const number = Number(typed);
      const fits = typed !== "" && Number.isInteger(number) && number >= -(2 ** 31) && number < 2 ** 32;
      td.textContent = String(value);
      if (keep && fits && number !== value) {
        refocus = where;
        worker.postMessage({ type: "set", where, value: number | 0 });
      } else {
        if (keep && !fits) announce(`${typed} is not a number of 32 bits; ${label} is unchanged.`);
        td.focus();
      }
    };
    field.onkeydown = (event) => {
      event.stopPropagation();
      if (event.key === "Enter") finish(true);
      else if (event.key === "Escape") finish(false);
    };
    field.onblur = () => finish(false);
  };
  td.ondblclick = edit;
  td.onkeydown = (event) => {
    if (event.target !== td) return;
    if (event.key === "Enter" || event.key === "F2") {
      event.preventDefault();
      edit();
    } else if (event.key === "w" || event.key === "W") {
      event.preventDefault();
      toggleWatch(where);
    } else if (event.key === "o" || event.key === "O") {
      event.preventDefault();
      askOrigin(where);
    }
  };
  td.onclick = () => askOrigin(where);
  td.oncontextmenu = (event) => {
    event.preventDefault();
    toggleWatch(where);
  };
}

// ---- Where a value came from: the origin chain of a register or a word ----

function askOrigin(where) {
  if (features.origin && stopped) worker.postMessage({ type: "origin", where });
}

// The chain as vorndbg's info origin writes it: each source on its own line
// under what it produced, indented by its depth.
function showOrigin(origin) {
  const panel = $("origin");
  const register = names.registers.includes(origin.where);
  const what = register ? `register ${origin.where}` : `memory word ${origin.where}`;
  const title = document.createElement("p");
  title.textContent = `Where the value of ${what} came from, after ${origin.step} steps:`;
  if (origin.error) {
    title.textContent = origin.error;
    panel.replaceChildren(title);
    return;
  }
  const chain = document.createElement("ul");
  chain.id = "origin-chain";
  for (const link of origin.links) {
    const item = document.createElement("li");
    item.dataset.depth = link.depth;
    item.dataset.source = link.source;
    if (link.source === "step") item.dataset.step = link.step;
    if (link.line > 0) item.dataset.line = link.line;
    item.textContent = (link.depth > 0 ? " ".repeat(2 * (link.depth - 1)) + "\u2190 " : "") + link.text;
    chain.append(item);
  }
  panel.className = "";
  panel.replaceChildren(title, chain);
}

// After an edit, the focus goes back to the value edited, redrawn.
let refocus = null;

function showRegisters(state) {
  const pane = $("registers");
  const element = table(["", "decimal", "hex"]);
  const body = element.createTBody();
  names.registers.forEach((name, i) => {
    const row = body.insertRow();
    row.dataset.register = name;
    // Stopped: what the last step changed; running: what changed since the last view.
    const changed =
      state.lastChange !== undefined
        ? state.lastChange === name
        : previousRegisters && previousRegisters[i] !== state.registers[i];
    if (changed) row.className = "changed";
    if (watched.includes(name)) row.classList.add("watched");
    const th = document.createElement("th");
    th.scope = "row";
    th.textContent = name;
    th.className = "name";
    if (names.roles[i]) th.title = names.roles[i];
    row.append(th);
    const value = cell(row, String(state.registers[i]), "number value");
    value.dataset.register = name;
    editableValue(value, name, state.registers[i], `register ${name}`);
    cell(row, hex(state.registers[i], 8), "number");
  });
  const pc = body.insertRow();
  pc.dataset.register = "PC";
  const th = document.createElement("th");
  th.scope = "row";
  th.textContent = "PC";
  th.className = "name";
  pc.append(th);
  cell(pc, String(state.pc), "number value").dataset.register = "PC";
  cell(pc, hex(state.pc, 4), "number");
  pane.replaceChildren(element);
  previousRegisters = state.registers;
}

// The words last shown, by address: a word that differs is highlighted.
let previousMemory = new Map();

function memoryTable(title, rows, pc) {
  const section = document.createElement("section");
  section.setAttribute("aria-label", title);
  const heading = document.createElement("h3");
  heading.textContent = title;
  const element = table(["addr", "label", "word", "decimal", "as listed"]);
  const body = element.createTBody();
  for (const [address, word, instruction, label] of rows) {
    const row = body.insertRow();
    row.dataset.address = address;
    if (address === pc) row.classList.add("current");
    const changed =
      lastChange !== undefined
        ? lastChange === address
        : previousMemory.has(address) && previousMemory.get(address) !== word;
    if (changed) row.classList.add("changed");
    if (watched.includes(String(address))) row.classList.add("watched");
    cell(row, `${address} (${hex(address, 4)})`, "number");
    cell(row, label ? `${label}:` : "", "label");
    cell(row, hex(word, 8), "number");
    const value = cell(row, String(word), "number value");
    editableValue(value, String(address), word, `memory word ${label || address}`);
    const instructionCell = cell(row, instruction, "instruction");
    if (/^[a-z]/.test(instruction)) instructionCell.title = referenceOf(instruction);
  }
  section.append(heading, element);
  return section;
}

let lastChange;

function showMemory(state) {
  lastChange = state.lastChange;
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

// ---- The step log: the last steps of the run, in the trace's words ----

let stepLog = [];

function showStepLog(state) {
  const list = $("step-log");
  if (state.stepLog) {
    stepLog = state.stepLog;
    const items = stepLog.map(([step, address, line, text]) => {
      const item = document.createElement("li");
      item.dataset.step = step;
      item.dataset.address = address;
      item.dataset.line = line;
      item.textContent = text;
      item.tabIndex = -1;
      return item;
    });
    list.replaceChildren(...items);
  }
  for (const item of list.querySelectorAll("li.current")) {
    item.classList.remove("current");
    item.removeAttribute("aria-current");
  }
  const current = list.querySelector(`li[data-step="${state.steps}"]`);
  if (current) {
    current.classList.add("current");
    current.setAttribute("aria-current", "step");
    if (!state.running) current.scrollIntoView({ block: "nearest" });
  }
}

// The last move along the run: to which step, and how long the way to the
// worker and back to the views took (window.vornPlayground.lastSeek).
let seekSent = 0;
let lastSeek = null;

function seek(step) {
  seekSent = performance.now();
  worker.postMessage({ type: "seek", step });
}

// ---- Watchpoints ----

let watched = []; // register names and decimal addresses

function toggleWatch(where) {
  worker.postMessage({ type: "watch", text: String(where), remove: watched.includes(String(where)) });
}

let watchLabels = {};

function showWatchpoints(state) {
  watched = state.watched ?? watched;
  watchLabels = state.watchLabels ?? watchLabels;
  const list = $("watch-list");
  const items = watched.map((where) => {
    const item = document.createElement("li");
    const register = names.registers.includes(where);
    const label = register ? null : watchLabels[where];
    const what = register ? `register ${where}` : `memory word ${where}${label ? ` (${label})` : ""}`;
    const hits = (state.hits ?? []).filter(
      ([, name, watch]) => watch && (name === where || name === label || name === `*${where}`),
    );
    const text = document.createElement("span");
    text.textContent = `${what}: ${hits.length} ${hits.length === 1 ? "hit" : "hits"}`;
    item.append(text);
    if (hits.length) {
      const steps = document.createElement("span");
      steps.className = "hits";
      for (const [step, , , before, after] of hits.slice(-5)) {
        const go = document.createElement("button");
        go.textContent = `step ${step}: ${before} → ${after}`;
        go.onclick = () => seek(step);
        steps.append(" ", go);
      }
      item.append(steps);
    }
    const remove = document.createElement("button");
    remove.textContent = "Remove";
    remove.setAttribute("aria-label", `Remove the watchpoint on ${what}`);
    remove.onclick = () => toggleWatch(where);
    item.append(" ", remove);
    return item;
  });
  list.replaceChildren(...items);
}

// ---- The timeline: a range over the run so far ----

function showTimeline(state) {
  const timeline = $("timeline");
  timeline.max = String(state.lastStep);
  if (!timelineDragging || state.running) timeline.value = String(state.steps);
  timeline.disabled = state.running || state.state === "no-program";
  timeline.setAttribute("aria-valuetext", `step ${state.steps} of ${state.lastStep}`);
  $("timeline-step").textContent = String(state.steps);
  $("timeline-last").textContent = `of ${state.lastStep}`;
  const marks = $("timeline-hits");
  marks.replaceChildren(
    ...(state.hits ?? []).slice(-500).map(([step, what, watch]) => {
      const mark = document.createElement("span");
      mark.className = watch ? "hit watch" : "hit";
      mark.style.left = `${state.lastStep ? (100 * step) / state.lastStep : 0}%`;
      mark.title = `${watch ? "watchpoint" : "breakpoint"} ${what} at step ${step}`;
      return mark;
    }),
  );
}

let timelineDragging = false;

// ---- Status and announcements ----

function announce(text) {
  // A change of text is what a screen reader reads out: clear it first, so
  // the same sentence twice is read twice.
  const announcer = $("announcer");
  announcer.textContent = "";
  setTimeout(() => (announcer.textContent = text), 30);
}

function setStatus(text, state) {
  $("status").textContent = text;
  $("status").dataset.state = state;
}

function showState(state) {
  const wasRunning = machine?.running;
  machine = state;
  stopped = !state.running && state.state !== "no-program";
  const rate = state.running && state.rate ? ` Running at ${(state.rate / 1e6).toFixed(0)} million steps/s.` : "";
  const again = state.restartedBecause ? `Started again (${state.restartedBecause}). ` : "";
  // The warning on running into data, as vornsim -s gives it.
  const warning = state.warning ? ` Warning: ${state.warning}` : "";
  const sentence = again + (state.running ? `Running: ${state.steps} steps.${rate}` : state.message + warning);
  setStatus(sentence, state.running ? "running" : state.state);
  document.body.classList.toggle("running", state.running);
  $("stop").disabled = !state.running;
  if (state.heatMap !== undefined) showHeatMap($("heat-map").checked ? state.heatMap : null);
  if (state.origin) showOrigin(state.origin);
  showOutput(state);
  showRegisters(state);
  showMemory(state);
  showStepLog(state);
  showWatchpoints(state);
  showTimeline(state);
  if (!state.running) {
    view.dispatch({ effects: setCurrentLine.of(state.line) });
    const line = state.line > 0 ? ` Line ${state.line}.` : "";
    if (state.seek === undefined || !timelineDragging) announce(`${state.message}${line}`);
  } else if (!wasRunning) {
    announce("Running.");
  }
  if (state.seek !== undefined) lastSeek = { step: state.seek, steps: state.steps, milliseconds: performance.now() - seekSent };
  for (const row of $("listing").querySelectorAll("tr.current")) row.classList.remove("current");
  const current = $("listing").querySelector(`tr[data-address="${state.pc}"]`);
  if (current) current.classList.add("current");
  if (refocus !== null) {
    const selector = names.registers.includes(refocus)
      ? `#registers td[data-register="${refocus}"]`
      : `#memory-views tr[data-address="${refocus}"] td.value`;
    document.querySelector(selector)?.focus();
    refocus = null;
  }
}

// Before the first command: the status says how the source stands.
function showAssemblyStatus(message) {
  if (machine) return;
  if (message.diagnostics.some((d) => d.severity === "error")) {
    setStatus("The program has an error: see the diagnostics.", "no-program");
  } else {
    setStatus("Ready: Run (Ctrl+Enter) or Step (F10) starts the program.", "ready");
  }
}

function showAddressAnswer(message) {
  const field = $(`${message.field}-address`);
  const error = $(`${message.field}-address-error`);
  field.setAttribute("aria-invalid", message.error ? "true" : "false");
  error.textContent = message.error ?? "";
}

function onWorkerMessage(event) {
  const message = event.data;
  switch (message.type) {
    case "ready":
      names = message.names;
      features = message.features;
      view.dispatch({ effects: language.reconfigure(vornLanguage(names)) });
      showHelp();
      $("heat-map").disabled = !features.heatMap;
      if (!features.heatMap) $("heat-map").parentElement.title = "This build has no profile.";
      if (!features.origin) $("origin").textContent = "This build has no origin chains.";
      // A new machine's registers, until it runs.
      if (!machine) showRegisters({ registers: new Array(names.registers.length).fill(0), pc: 0 });
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
      showAssemblyStatus(message);
      lastAssembly.diagnosticsShownAfter = performance.now() - assembleSent;
      showListing();
      lastAssembly.listingShownAfter = performance.now() - assembleSent;
      break;
    case "state":
      showState(message);
      break;
    case "address":
      showAddressAnswer(message);
      break;
    case "break-line":
      if (!breakpointLines(view.state).includes(message.line)) toggleBreakpointAtLine(message.line);
      $("break-address").value = "";
      break;
    case "watched":
      showWatchpoints({ watched: message.watched, watchLabels: message.watchLabels, hits: machine?.hits ?? [] });
      save();
      break;
    case "hover":
      hoverWaiting.get(message.id)?.(message);
      hoverWaiting.delete(message.id);
      break;
    case "origin":
      showOrigin(message.origin);
      break;
  }
  if (message.type === "state" && message.watched) save();
}

// ---- Help: the language from the instruction table, and the shortcuts ----

const shortcuts = [
  ["Ctrl+Enter", "Run from the start"],
  ["Escape", "Stop the run"],
  ["F10", "Step: one instruction"],
  ["Shift+F10", "Back: one instruction back"],
  ["F5", "Continue to the next breakpoint"],
  ["Shift+F5", "Reverse-continue to the previous breakpoint"],
  ["F9", "Set or clear a breakpoint on the editor's line"],
  ["← →, Page Up/Down, Home, End", "On the timeline: move through the run"],
  ["Enter, Escape", "On a register or memory value while stopped: edit it, keep or cancel"],
  ["W", "On a register or memory value: watch it, or stop watching"],
  ["F1", "This help"],
];

function definitionList(entries) {
  const list = document.createElement("dl");
  for (const [term, description] of entries) {
    const dt = document.createElement("dt");
    dt.textContent = term;
    const dd = document.createElement("dd");
    dd.textContent = description;
    list.append(dt, dd);
  }
  return list;
}

function heading(text) {
  const h = document.createElement("h3");
  h.textContent = text;
  return h;
}

function showHelp() {
  const syntax = [
    ["load A count", "An instruction: the operation, then its registers, then its address (a number or a label)."],
    [":loop", "A label: names the address of the cell after it."],
    ["= size 5", "A definition: a name for a number."],
    ["42", "A data word: a number (or a name) alone on its line."],
    ["; ...", "A comment, to the end of the line."],
    ["end", "The address 65535: jump end halts the machine."],
  ];
  $("help-content").replaceChildren(
    heading("Shortcuts"),
    definitionList(shortcuts),
    heading("Lines"),
    definitionList(syntax),
    heading("Operations"),
    definitionList(names.reference.map((r) => [`${r.name} ${r.form}`.trim(), r.effect])),
    heading("Registers"),
    definitionList(names.registers.map((r, i) => [r, names.roles[i] ?? ""])),
  );
}

function openHelp() {
  const dialog = $("help-panel");
  if (!dialog.open) dialog.showModal();
}

// ---- Keyboard: the shortcuts anywhere on the page ----

function onKey(event) {
  if ($("help-panel").open && event.key !== "F1") return;
  const key = (event.shiftKey ? "Shift+" : "") + ((event.ctrlKey || event.metaKey ? "Ctrl+" : "") + event.key);
  const actions = {
    "Ctrl+Enter": () => send("run"),
    F10: () => send("step"),
    "Shift+F10": () => send("back"),
    F5: () => send("continue"),
    "Shift+F5": () => send("reverse-continue"),
    F1: () => openHelp(),
  };
  if (event.key === "Escape" && machine?.running) {
    event.preventDefault();
    send("stop");
    return;
  }
  const action = actions[key];
  if (action) {
    event.preventDefault();
    action();
  }
}

// ---- Files: open, save, drop ----

let fileName = "program.vorn";

function openFile(file) {
  if (!file) return;
  file.text().then((text) => {
    fileName = file.name;
    setSource(text);
    save();
    announce(`Opened ${file.name}.`);
  });
}

function saveFile() {
  const blob = new Blob([source()], { type: "text/plain" });
  const link = document.createElement("a");
  link.href = URL.createObjectURL(blob);
  link.download = fileName;
  document.body.append(link);
  link.click();
  link.remove();
  setTimeout(() => URL.revokeObjectURL(link.href), 1000);
  setStatus(`Saved as ${fileName} (in the browser's downloads).`, $("status").dataset.state);
}

function dropFiles() {
  let depth = 0;
  const zone = $("drop-zone");
  document.addEventListener("dragenter", (event) => {
    if (![...event.dataTransfer.types].includes("Files")) return;
    depth++;
    zone.hidden = false;
  });
  document.addEventListener("dragleave", () => {
    depth = Math.max(depth - 1, 0);
    if (depth === 0) zone.hidden = true;
  });
  document.addEventListener("dragover", (event) => event.preventDefault());
  document.addEventListener(
    "drop",
    (event) => {
      const file = event.dataTransfer?.files?.[0];
      depth = 0;
      zone.hidden = true;
      if (!file) return;
      event.preventDefault();
      event.stopPropagation();
      openFile(file);
    },
    true,
  );
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
      fileName = `${example.name}.vorn`;
      setSource(example.source);
      $("input").value = example.input.trim();
      save();
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
    setStatus(
      `The machine could not start: ${event.message || "the worker failed"}.` +
        (location.protocol === "file:" ? " Serve the page over http (scripts/web does)." : ""),
      "fault",
    );
  };
  for (const command of ["run", "stop", "step", "back", "continue", "reverse-continue"]) {
    $(command).onclick = () => send(command);
  }
  document.addEventListener("keydown", onKey);
  $("input").oninput = () => save();
  $("memory-address").onchange = () => worker.postMessage({ type: "memory", text: $("memory-address").value });
  $("break-address").onchange = () => {
    if ($("break-address").value.trim()) worker.postMessage({ type: "break-at", text: $("break-address").value });
  };
  $("watch-form").onsubmit = (event) => {
    event.preventDefault();
    const text = $("watch-address").value.trim();
    if (!text) return;
    worker.postMessage({ type: "watch", text });
    $("watch-address").value = "";
  };
  $("step-log").onclick = (event) => {
    const item = event.target.closest("li[data-step]");
    if (item) seek(Number(item.dataset.step));
  };
  $("step-log").onkeydown = (event) => {
    // Up and down walk the log; the machine follows.
    if (!machine || !["ArrowUp", "ArrowDown"].includes(event.key)) return;
    event.preventDefault();
    const step = machine.steps + (event.key === "ArrowUp" ? -1 : 1);
    if (step >= 0 && step <= machine.lastStep) seek(step);
  };
  const timeline = $("timeline");
  timeline.addEventListener("input", () => {
    timelineDragging = true;
    $("timeline-step").textContent = timeline.value;
    seek(Number(timeline.value));
  });
  timeline.addEventListener("change", () => {
    timelineDragging = false;
    if (machine) announce(`${machine.message} Line ${machine.line}.`);
  });
  $("heat-map").onchange = () => {
    if (!$("heat-map").checked) showHeatMap(null);
    worker.postMessage({ type: "heat-map", on: $("heat-map").checked });
  };
  $("open").onclick = () => $("open-file").click();
  $("open-file").onchange = () => openFile($("open-file").files[0]);
  $("save").onclick = saveFile;
  $("help").onclick = openHelp;
  dropFiles();
  $("share").onclick = () => {
    if (source().length > linkLimit) {
      setStatus(`The source is too long for a link (more than ${linkLimit} characters).`, $("status").dataset.state);
      return;
    }
    save();
    navigator.clipboard?.writeText(location.href).catch(() => {});
    setStatus("The link to this program is in the address bar (and the clipboard).", $("status").dataset.state);
  };
  window.addEventListener("hashchange", () => {
    const shared = fromFragment();
    if (shared && shared.source !== source()) {
      setSource(shared.source);
      $("input").value = shared.input;
    }
  });

  const examplesLoaded = loadExamples();
  const stored = fromStorage();
  const initial = fromFragment() ?? stored;
  if (initial) {
    setSource(initial.source);
    $("input").value = initial.input ?? "";
    // The breakpoints and watchpoints come back with the same source.
    if (stored && stored.source === initial.source) {
      for (const line of stored.breakpoints ?? []) toggleBreakpointAtLine(line);
      for (const where of stored.watched ?? []) worker.postMessage({ type: "watch", text: where });
    }
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
  if ("serviceWorker" in navigator && location.protocol !== "file:") {
    navigator.serviceWorker.register("service-worker.js").catch(() => {});
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
  lastSeek: () => lastSeek,
};
