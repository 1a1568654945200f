// Calls korvanelib from C# through P/Invoke (Mono or .NET).
//
//   mcs -out:KorvaneExample.exe KorvaneExample.cs
//   mono KorvaneExample.exe /path/to/korvanelib.so
//   KorvaneExample.exe korvanelib.dll                   (on Windows)
//
// [DllImport] takes the library's name when the program is compiled; a host that is given the
// path at run time loads the library itself and binds each export to a delegate of the one
// signature.
using System;
using System.Globalization;
using System.Runtime.InteropServices;
using System.Text;

static class KorvaneExample {
  // KORVANE_BUFFER_CAPACITY: the library never asks how large the buffer is and may use this
  // many bytes of it, the terminating NUL included.
  const int Capacity = 65536;

  // Cdecl is the C convention on Linux; on x86-64 Windows StdCall and Cdecl are the same one
  // convention. The result is a single-precision float. The buffer is a byte[] of the capacity:
  // a blittable array is pinned and passed as it is, so the library writes into it directly. (A
  // StringBuilder would be copied into a native block sized by its Capacity, which must then be
  // at least the library's capacity, and copied back as characters.)
  [UnmanagedFunctionPointer(CallingConvention.Cdecl)]
  delegate float ScriptFunction([MarshalAs(UnmanagedType.LPStr)] string text, double number,
                                [In, Out] byte[] buffer, int fourth);

  [DllImport("libdl.so.2")] static extern IntPtr dlopen(string path, int flags);
  [DllImport("libdl.so.2")] static extern IntPtr dlsym(IntPtr library, string name);
  [DllImport("kernel32", CharSet = CharSet.Ansi)] static extern IntPtr LoadLibraryA(string path);
  [DllImport("kernel32", CharSet = CharSet.Ansi)]
  static extern IntPtr GetProcAddress(IntPtr library, string name);

  static readonly bool windows = Environment.OSVersion.Platform == PlatformID.Win32NT;
  static IntPtr library;
  static readonly byte[] buffer = new byte[Capacity];

  static ScriptFunction Export(string name) {
    IntPtr address = windows ? GetProcAddress(library, name) : dlsym(library, name);
    if (address == IntPtr.Zero) throw new EntryPointNotFoundException(name);
    return Marshal.GetDelegateForFunctionPointer<ScriptFunction>(address);
  }

  // The buffer's text up to its NUL, as C wrote it. Formatting the number here instead would
  // differ: .NET's "F6" rounds ties away from zero (0.0078125 -> 0.007813), C to even.
  static string BufferText() {
    int length = Array.IndexOf(buffer, (byte)0);
    return Encoding.ASCII.GetString(buffer, 0, length < 0 ? Capacity : length);
  }

  static string Call(string name, string text = null, double number = 0) {
    float result = Export(name)(text, number, buffer, 0);
    return result.ToString(CultureInfo.InvariantCulture);
  }

  static void Main(string[] arguments) {
    const int RTLD_NOW = 2;
    library = windows ? LoadLibraryA(arguments[0]) : dlopen(arguments[0], RTLD_NOW);
    if (library == IntPtr.Zero) throw new DllNotFoundException(arguments[0]);

    Console.WriteLine("Version " + Call("Version"));
    Console.WriteLine("Sine(30) " + Call("Sine", null, 30) + " " + BufferText());
    Console.WriteLine("Power(2, 10) " + Call("Power", "2", 10) + " " + BufferText());
    Console.WriteLine("Power(2, -7) " + Call("Power", "2", -7) + " " + BufferText());
    // .NET's double.NaN has its sign bit set, so C writes "-nan" for it.
    Console.WriteLine("Floor(-nan) " + Call("Floor", null, double.NaN) + " " + BufferText());
    Console.WriteLine("Is_Digit(007) " + Call("Is_Digit", "007"));
    // _ShellExecute reads its command line from the buffer and leaves the output there.
    byte[] command = Encoding.ASCII.GetBytes("echo hi\0");
    Array.Copy(command, buffer, command.Length);
    string result = Call("_ShellExecute");
    Console.WriteLine("_ShellExecute(echo hi) " + result + " " + BufferText().Replace("\n", "\\n"));
  }
}
