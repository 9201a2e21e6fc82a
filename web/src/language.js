// Highlighting for Vorn assembly: the lexer's own classes of characters.
// The operation and register names come from the WebAssembly module (the
// machine's instruction table), so the editor never restates them.
import { StreamLanguage, HighlightStyle } from "@codemirror/language";
import { tags } from "@lezer/highlight";

const identifierStart = /[A-Za-z_]/;
const identifierRest = /[A-Za-z0-9_]/;

export function vornLanguage(names = { operations: [], registers: [] }) {
  const operations = new Set(names.operations);
  const registers = new Set(names.registers);
  return StreamLanguage.define({
    name: "vorn",
    startState: () => ({ afterLabel: false, afterDefinition: false }),
    token(stream, state) {
      if (stream.sol()) {
        state.afterLabel = false;
        state.afterDefinition = false;
      }
      if (stream.eatSpace()) return null;
      const ch = stream.next();
      if (ch === ";") {
        stream.skipToEnd();
        return "comment";
      }
      if (ch === ":") {
        state.afterLabel = true;
        return "labelName";
      }
      if (ch === "=") {
        state.afterDefinition = true;
        return "definitionKeyword";
      }
      if (ch === "*") return "operator";
      if (/[0-9]/.test(ch)) {
        stream.eatWhile(/[0-9]/);
        return "number";
      }
      if (identifierStart.test(ch)) {
        stream.eatWhile(identifierRest);
        const word = stream.current();
        if (state.afterLabel) {
          state.afterLabel = false;
          return "labelName";
        }
        if (state.afterDefinition) {
          state.afterDefinition = false;
          return "variableName.definition";
        }
        if (operations.has(word)) return "keyword";
        if (registers.has(word)) return "atom";
        return "variableName";
      }
      return "invalid";
    },
    languageData: { commentTokens: { line: ";" } },
  });
}

// Colours from the page's theme (style.css), light or dark.
export const vornHighlightStyle = HighlightStyle.define([
  { tag: tags.comment, color: "var(--code-comment)", fontStyle: "italic" },
  { tag: tags.keyword, color: "var(--code-keyword)", fontWeight: "bold" },
  { tag: tags.atom, color: "var(--code-register)" },
  { tag: tags.number, color: "var(--code-number)" },
  { tag: tags.labelName, color: "var(--code-label)", fontWeight: "bold" },
  { tag: tags.definitionKeyword, color: "var(--code-operator)" },
  { tag: tags.definition(tags.variableName), color: "var(--code-definition)" },
  { tag: tags.operator, color: "var(--code-operator)" },
  { tag: tags.variableName, color: "var(--text)" },
  { tag: tags.invalid, color: "#fff", backgroundColor: "#b31d28" },
]);
