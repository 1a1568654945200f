-- Calls korvanelib from Lua through LuaJIT's FFI.
--
--   luajit korvane_example.lua /path/to/korvanelib.so      (or korvanelib.dll on Windows)
local ffi = require("ffi")

-- The exports this program calls, each with the one signature. The result is a single-precision
-- float. On x86-64 Windows __stdcall is the platform's one convention, so no attribute is needed;
-- elsewhere it is the C convention.
ffi.cdef [[
float Version(const char* text, double number, char* buffer, int fourth);
float Sine(const char* text, double number, char* buffer, int fourth);
float Power(const char* text, double number, char* buffer, int fourth);
float Floor(const char* text, double number, char* buffer, int fourth);
float Is_Digit(const char* text, double number, char* buffer, int fourth);
float _ShellExecute(const char* text, double number, char* buffer, int fourth);
]]

-- KORVANE_BUFFER_CAPACITY: the library never asks how large the buffer is and may use this many
-- bytes of it, the terminating NUL included.
local CAPACITY = 65536

local library = ffi.load(arg[1])
local buffer = ffi.new("char[?]", CAPACITY)

-- The result as "%g" text, and the buffer's text as C wrote it. Formatting numbers in Lua instead
-- would differ: tostring drops a NaN's sign, and "%f" rounds ties away from zero.
local function call(name, text, number)
  local result = library[name](text, number or 0, buffer, 0)
  return string.format("%g", result), ffi.string(buffer)
end

local function show(...) print(table.concat({...}, " ")) end

show("Version", (call("Version")))
show("Sine(30)", call("Sine", nil, 30))
show("Power(2, 10)", call("Power", "2", 10))
show("Power(2, -7)", call("Power", "2", -7)) -- a tie: C rounds it to even
show("Floor(-nan)", call("Floor", nil, 0 / 0)) -- 0/0 has its sign bit set on x86-64
show("Is_Digit(007)", (call("Is_Digit", "007")))
-- _ShellExecute reads its command line from the buffer and leaves the output there.
ffi.copy(buffer, "echo hi")
local result, text = call("_ShellExecute")
show("_ShellExecute(echo hi)", result, (text:gsub("\n", "\\n")))
