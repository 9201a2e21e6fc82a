// Starts vornls, the Vorn language server, for .vorn files, and vorndbg --dap
// for the debugger type "vorn". The commands are the settings
// "vorn.server.path" and "vorn.debugger.path" (default: vornls and vorndbg on
// the PATH). Bundled with the language client into dist/extension.js.
'use strict';

const vscode = require('vscode');
const { LanguageClient, TransportKind } = require('vscode-languageclient/node');

let client;

// F5 without a launch.json debugs the Vorn source in the editor.
const configurations = {
  resolveDebugConfiguration(folder, config) {
    if (!config.type && !config.request && !config.name) {
      const editor = vscode.window.activeTextEditor;
      if (!editor || editor.document.languageId !== 'vorn') {
        return config;
      }
      return {
        type: 'vorn',
        request: 'launch',
        name: 'Debug the open program',
        program: editor.document.uri.fsPath,
        input: [],
      };
    }
    if (!config.program) {
      return vscode.window.showErrorMessage('The launch configuration names no program.').then(() => undefined);
    }
    return config;
  },
};

const adapters = {
  createDebugAdapterDescriptor() {
    const command = vscode.workspace.getConfiguration('vorn').get('debugger.path', 'vorndbg');
    return new vscode.DebugAdapterExecutable(command, ['--dap']);
  },
};

function activate(context) {
  context.subscriptions.push(
    vscode.debug.registerDebugConfigurationProvider('vorn', configurations),
    vscode.debug.registerDebugAdapterDescriptorFactory('vorn', adapters)
  );
  const command = vscode.workspace.getConfiguration('vorn').get('server.path', 'vornls');
  const server = { command, transport: TransportKind.stdio };
  client = new LanguageClient(
    'vornls',
    'Vorn Language Server',
    { run: server, debug: server },
    { documentSelector: [{ language: 'vorn' }] }
  );
  context.subscriptions.push({ dispose: () => client && client.stop() });
  return client.start();
}

function deactivate() {
  return client ? client.stop() : undefined;
}

module.exports = { activate, deactivate };
