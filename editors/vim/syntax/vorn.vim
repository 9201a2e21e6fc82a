" Vim syntax file for Vorn assembly (.vorn): operations, registers A to P,
" labels (':name'), definitions ('= name value'), repetitions ('* n item'),
" decimal numbers and ';' comments. Case matters, as it does to vornasm.
if exists('b:current_syntax')
  finish
endif

syntax case match
syntax keyword vornOperation noop load store loadi storei add sub zero incr decr neg jz jn jump read write
syntax keyword vornRegister A B C D E F G H I J K L M N O P
syntax keyword vornPredefined end
syntax match vornLabel /:\s*\h\w*/
syntax match vornDefinition /=\s*\h\w*/
syntax match vornRepetition /\*/
syntax match vornNumber /\<\d\+\>/
syntax match vornComment /;.*$/ contains=vornTodo
syntax keyword vornTodo contained TODO FIXME XXX

highlight default link vornOperation Statement
highlight default link vornRegister Identifier
highlight default link vornPredefined Constant
highlight default link vornLabel Label
highlight default link vornDefinition Define
highlight default link vornRepetition Operator
highlight default link vornNumber Number
highlight default link vornComment Comment
highlight default link vornTodo Todo

let b:current_syntax = 'vorn'
