" Vorn assembly: ';' starts a comment to the end of the line.
if exists('b:did_ftplugin')
  finish
endif
let b:did_ftplugin = 1
setlocal commentstring=;\ %s
setlocal comments=:;
setlocal iskeyword=a-z,A-Z,48-57,_
let b:undo_ftplugin = 'setlocal commentstring< comments< iskeyword<'
