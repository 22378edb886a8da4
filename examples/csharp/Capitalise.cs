// VELMORIN from C#/.NET (and Mono): prints each argument, as UTF-8 bytes,
// with the first letter of every word capitalised, one a line.
//
// Windows: csc Capitalise.cs, with VELMORIN.DLL beside Capitalise.exe. The
// process must have the DLL's word size: build for x86 (/platform:x86) to
// load the 32-bit DLL, for x64 to load the 64-bit one; AnyCPU runs as
// whatever the machine prefers and then fails to load the other one with
// BadImageFormatException.
// Mono on Linux: mcs Capitalise.cs; Capitalise.exe.config maps the two
// library names to libvelmorin.so.1 and the stand-in's libwinstandin.so.1,
// which the dynamic loader must find (LD_LIBRARY_PATH, or a system folder).
using System;
using System.IO;
using System.Runtime.InteropServices;
using System.Text;

static class Velmorin
{
    // 32-bit: standard call, one 4-byte argument. The argument is the
    // address of a variable that holds the string: ref IntPtr. IntPtr is 4
    // bytes in a 32-bit process and 8 in a 64-bit one, like the string's
    // pointer. 64-bit Windows has one convention, and StdCall is ignored.
    [DllImport("VELMORIN", CallingConvention = CallingConvention.StdCall)]
    static extern IntPtr VELMORIN(ref IntPtr text);

    // Strings come from the allocator VELMORIN.DLL itself uses, oleaut32, so
    // they are made and released there too. On Windows Marshal.FreeBSTR is
    // the same SysFreeString; under Mono on Linux it frees with the C
    // library's free() instead, which is wrong for these strings: declare
    // SysFreeString from the allocator's library on every platform.
    // Not UnmanagedType.AnsiBStr: that marshaller converts text through the
    // ANSI code page, and these are raw bytes, no characters.
    [DllImport("oleaut32", CallingConvention = CallingConvention.StdCall)]
    static extern IntPtr SysAllocStringByteLen(byte[] source, uint length);

    [DllImport("oleaut32", CallingConvention = CallingConvention.StdCall)]
    static extern uint SysStringByteLen(IntPtr text);

    [DllImport("oleaut32", CallingConvention = CallingConvention.StdCall)]
    static extern void SysFreeString(IntPtr text);

    // The bytes with the first letter a-z of every word upper-cased.
    public static byte[] Capitalise(byte[] bytes)
    {
        if (bytes == null) throw new ArgumentNullException("bytes");
        if (bytes.Length == 0) return new byte[0];  // the empty string is IntPtr.Zero
        IntPtr text = SysAllocStringByteLen(bytes, (uint)bytes.Length);
        if (text == IntPtr.Zero) throw new OutOfMemoryException();
        IntPtr result;
        try { result = VELMORIN(ref text); }
        finally { SysFreeString(text); }  // the argument stays the caller's
        // A non-empty argument and no result: the allocator ran out of memory.
        if (result == IntPtr.Zero) throw new OutOfMemoryException();
        try
        {
            // The count, not a search for a zero byte: the result may hold zeros.
            var output = new byte[SysStringByteLen(result)];
            Marshal.Copy(result, output, 0, output.Length);
            return output;
        }
        finally { SysFreeString(result); }  // the result is the caller's as well
    }

    static int Main(string[] args)
    {
        if (args.Length == 0) args = new[] { "dit is een zin." };
        Stream output = Console.OpenStandardOutput();
        foreach (string arg in args)
        {
            byte[] line = Capitalise(Encoding.UTF8.GetBytes(arg));
            output.Write(line, 0, line.Length);
            output.WriteByte((byte)'\n');
        }
        output.Flush();
        return 0;
    }
}
