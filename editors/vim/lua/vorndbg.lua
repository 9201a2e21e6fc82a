-- Debugs Vorn programs in Neovim through nvim-dap and vorndbg --dap: the
-- adapter "vorn" and a launch configuration for the open file, asking for
-- the numbers read takes. Step Back and Reverse (nvim-dap's step_back and
-- reverse_continue) go backwards over the recorded run.
--
--   require('vorndbg').setup()                              -- vorndbg on the PATH
--   require('vorndbg').setup({ command = '/path/to/vorndbg' })
local M = {}

function M.setup(options)
  options = options or {}
  local dap = require('dap')
  dap.adapters.vorn = {
    type = 'executable',
    command = options.command or 'vorndbg',
    args = { '--dap' },
  }
  dap.configurations.vorn = {
    {
      type = 'vorn',
      request = 'launch',
      name = 'Debug the open program',
      program = '${file}',
      input = function()
        local numbers = {}
        for word in vim.fn.input('Input numbers: '):gmatch('%S+') do
          table.insert(numbers, tonumber(word))
        end
        return numbers
      end,
    },
  }
end

return M
