// Starts vornls, the Vorn language server, for .vorn files. The command is the
// setting "vorn.server.path" (default: vornls on the PATH).
'use strict';

const vscode = require('vscode');
const { LanguageClient, TransportKind } = require('vscode-languageclient/node');

let client;

function activate(context) {
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
