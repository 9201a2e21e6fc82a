-- Driven by neovim.sh: opens a faulty source in headless Neovim with the
-- editors/vim package, waits for vornls's diagnostic, then asks for a hover
-- and goes to a definition through the built-in client. Writes what it saw,
-- one line each, to $RESULT, and quits.
local lines = {}
local function put(text)
  table.insert(lines, text)
end

vim.cmd('filetype plugin on')
require('vornls').setup({ cmd = { os.getenv('VORNLS') } })
vim.cmd('edit ' .. os.getenv('SOURCE'))
put('filetype ' .. vim.bo.filetype)

if vim.wait(15000, function() return #vim.diagnostic.get(0) > 0 end, 50) then
  local diagnostic = vim.diagnostic.get(0)[1]
  put(string.format('diagnostic %d:%d %s', diagnostic.lnum, diagnostic.col, diagnostic.message))
else
  put('no diagnostic')
end

-- "loop" in "jump loop" (line 6).
local params = {
  textDocument = vim.lsp.util.make_text_document_params(),
  position = { line = 5, character = 14 },
}
local answers = vim.lsp.buf_request_sync(0, 'textDocument/hover', params, 5000) or {}
for _, answer in pairs(answers) do
  if answer.result then
    put('hover ' .. answer.result.contents.value)
  end
end

vim.api.nvim_win_set_cursor(0, { 6, 14 })
vim.lsp.buf.definition()
vim.wait(5000, function() return vim.api.nvim_win_get_cursor(0)[1] ~= 6 end, 50)
local cursor = vim.api.nvim_win_get_cursor(0)
put(string.format('definition %d:%d', cursor[1], cursor[2]))

vim.fn.writefile(lines, os.getenv('RESULT'))
vim.cmd('qall!')
