" Vorn assembly sources end in .vorn.
autocmd BufNewFile,BufRead *.vorn setfiletype vorn
