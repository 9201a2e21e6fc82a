$ vornsim -s --profile PROFILE --profile-format csv profile_loop.vorn <profile_loop.input >/dev/null; cat PROFILE; vornlist -s --profile PROFILE profile_loop.vorn
--- stdout
address,line,count,line_count
0,4,1,1
1,5,4,4
2,6,3,3
3,7,3,3
4,8,3,3
5,9,1,1
6,10,0,0
 addr     hex        word      decimal  instruction    line         count   share  source
    0  0x0000  0xE0000000   -536870912  read              4             1    6.7%          read
    1  0x0001  0xB8000005  -1207959547  jz I done         5             4   26.7%  :loop   jz I done
    2  0x0002  0xF0000000   -268435456  write             6             3   20.0%          write
    3  0x0003  0x98000000  -1744830464  decr I            7             3   20.0%          decr I
    4  0x0004  0xD0000001   -805306367  jump loop         8             3   20.0%          jump loop
    5  0x0005  0xD000FFFF   -805240833  jump end          9             1    6.7%  :done   jump end
    6  0x0006  0xF0000000   -268435456  write            10             0    0.0%          write

symbol        value  hex
done              5  0x00000005
end           65535  0x0000FFFF
loop              1  0x00000001

steps: 15
--- stderr
--- exit status 0
