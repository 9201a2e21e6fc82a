-- Starts vornls, the Vorn language server, for every Vorn buffer through
-- Neovim's built-in client (Neovim 0.7 and later):
--
--   require('vornls').setup()                          -- vornls on the PATH
--   require('vornls').setup({ cmd = { '/path/to/vornls' } })
local M = {}

local function config(options)
  return {
    name = 'vornls',
    cmd = options.cmd or { 'vornls' },
    root_dir = vim.fn.getcwd(),
  }
end

-- Attaches the current buffer to the server, starting it once.
function M.start(options)
  options = options or {}
  if vim.lsp.start then -- Neovim 0.8 and later reuse a running client themselves
    return vim.lsp.start(config(options))
  end
  if not M.client or vim.lsp.client_is_stopped(M.client) then
    M.client = vim.lsp.start_client(config(options))
  end
  if M.client then
    vim.lsp.buf_attach_client(0, M.client)
  end
  return M.client
end

function M.setup(options)
  vim.api.nvim_create_autocmd('FileType', {
    pattern = 'vorn',
    callback = function()
      M.start(options)
    end,
  })
end

return M
