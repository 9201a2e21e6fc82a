$ vornsim -s --max-steps 7 --profile PROFILE --profile-format json profile_json.vorn </dev/null >/dev/null; cat PROFILE; vornlist -s --profile PROFILE profile_json.vorn
--- stdout
{
  "steps": 7,
  "cells": [
    {"address": 0, "line": 4, "count": 3},
    {"address": 1, "line": 5, "count": 2},
    {"address": 2, "line": 6, "count": 2}
  ],
  "lines": [
    {"line": 4, "count": 3},
    {"line": 5, "count": 2},
    {"line": 6, "count": 2}
  ]
}
--- stderr
Error: step limit reached: 7 steps run and the program has not halted (next address 1, line 5).
--- exit status 2
