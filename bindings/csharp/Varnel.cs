// Varnel.cs: the Varnel line design library for .NET hosts.
//
// P/Invoke declarations of the library's 25 exports and of the records it shares with its host,
// with a helper that copies the five design data libraries into managed arrays and decodes their
// GBK (code page 936) texts. Compile with /unsafe: the records hold their texts as fixed byte
// buffers so that they stay blittable and are passed to the library in place, never copied.
//
// The process must have the library's bitness: a 32-bit (x86) process loads the 32-bit
// varnel.dll, a 64-bit (x64) process the 64-bit one, and Linux hosts libvarnel.so. The 32-bit DLL
// uses the standard calling convention (stdcall); .NET honours CallingConvention.StdCall on x86
// and ignores it on x64 and other platforms, which have a single convention.
//
// Code page 936 is built into .NET Framework; on mono it comes from the I18N.CJK assembly (Debian:
// libmono-i18n-cjk4.0-cil). On .NET Core and .NET 5 or later it needs CodePagesEncodingProvider,
// registered once before the first text is decoded:
//     System.Text.Encoding.RegisterProvider(System.Text.CodePagesEncodingProvider.Instance);
// Gbk below registers it itself when the runtime has it and 936 is not yet available.
//
// Units as in varnel.h: mm, mm², kg/km, N/mm², N, N/(m·mm²), m, m/s, kN/m², kN, kN·m, °C, degrees.

using System;
using System.Reflection;
using System.Runtime.InteropServices;
using System.Text;

namespace Varnel {

// Records without pointers have one layout on every platform, so their offsets are given
// explicitly: the CLR would otherwise be free to align a double on 4 bytes in a 32-bit process,
// where the library expects 8. The records that hold pointers are sequential and follow the
// pointer size of the process (16-byte sequences and 40-byte areas in a 32-bit process, 32 and 56
// bytes in a 64-bit one); they contain no double, so their alignment is that of C everywhere.

/// <summary>One design weather condition of a weather area (48 bytes).</summary>
[StructLayout(LayoutKind.Explicit, Size = 48)]
public unsafe struct WeatherCondition {
    /// <summary>GBK, at most 23 bytes and a NUL; 年平 marks the annual average condition.</summary>
    [FieldOffset(0)] public fixed byte name[24];
    /// <summary>Radial ice thickness, mm; 0 without ice.</summary>
    [FieldOffset(24)] public double iceThickness;
    /// <summary>Design wind speed, m/s; basic wind pressure is windSpeed² / 1600 kN/m².</summary>
    [FieldOffset(32)] public double windSpeed;
    /// <summary>Air temperature, °C.</summary>
    [FieldOffset(40)] public double temperature;

    public string Name {
        get { fixed (byte* p = name) return Gbk.Decode(p, 24); }
        set { fixed (byte* p = name) Gbk.Encode(value, p, 24); }
    }
}

/// <summary>Attributes of one conductor type (168 bytes, no padding).</summary>
[StructLayout(LayoutKind.Explicit, Size = 168)]
public unsafe struct LineAttrib {
    [FieldOffset(0)] public fixed byte name[32];
    /// <summary>Cross-sectional area, mm².</summary>
    [FieldOffset(32)] public double area;
    /// <summary>Outer diameter, mm.</summary>
    [FieldOffset(40)] public double diameter;
    /// <summary>Mass per length, kg/km.</summary>
    [FieldOffset(48)] public double unitMass;
    [FieldOffset(56)] public double column4Value;
    /// <summary>Modulus of elasticity, N/mm².</summary>
    [FieldOffset(64)] public double elasticModulus;
    /// <summary>Coefficient of linear expansion, 1/°C (not 1e-6/°C).</summary>
    [FieldOffset(72)] public double expansionCoeff;
    [FieldOffset(80)] public double column7Value;
    /// <summary>Rated tensile strength, N.</summary>
    [FieldOffset(88)] public double ratedStrength;
    [FieldOffset(96)] public int column9Number;
    [FieldOffset(100)] public fixed byte column10Text[68];

    public string Name {
        get { fixed (byte* p = name) return Gbk.Decode(p, 32); }
        set { fixed (byte* p = name) Gbk.Encode(value, p, 32); }
    }
    public string Column10Text {
        get { fixed (byte* p = column10Text) return Gbk.Decode(p, 68); }
    }
}

/// <summary>One row of an HB line table (176 bytes; 4 bytes of zero after column9Number).</summary>
[StructLayout(LayoutKind.Explicit, Size = 176)]
public unsafe struct HBLineAttrib {
    [FieldOffset(0)] public fixed byte name[32];
    [FieldOffset(32)] public int column9Number;
    [FieldOffset(40)] public double column1Value;
    [FieldOffset(48)] public double column3Value;
    [FieldOffset(56)] public double column2Value;
    [FieldOffset(64)] public double column5Value;
    /// <summary>Table column 6 × 1e-6.</summary>
    [FieldOffset(72)] public double column6Value;
    [FieldOffset(80)] public double column8Value;
    [FieldOffset(88)] public double column11Value;
    [FieldOffset(96)] public double column4Value;
    [FieldOffset(104)] public double column7Value;
    [FieldOffset(112)] public fixed byte column10Text[64];

    public string Name {
        get { fixed (byte* p = name) return Gbk.Decode(p, 32); }
    }
    public string Column10Text {
        get { fixed (byte* p = column10Text) return Gbk.Decode(p, 64); }
    }
}

/// <summary>One row of an insulator table (288 bytes): columns 4 to 24, then 0 to 3.</summary>
[StructLayout(LayoutKind.Explicit, Size = 288)]
public unsafe struct InsulatorAttrib {
    [FieldOffset(0)] public double column4Value;
    [FieldOffset(8)] public fixed byte column5Text[24];
    [FieldOffset(32)] public int column6Number;
    [FieldOffset(40)] public double column7Value;
    [FieldOffset(48)] public double column8Value;
    [FieldOffset(56)] public int column9Number;
    [FieldOffset(64)] public double column10Value;
    [FieldOffset(72)] public fixed byte column11Text[24];
    [FieldOffset(96)] public double column12Value;
    [FieldOffset(104)] public int column13Number;
    [FieldOffset(112)] public double column14Value;
    [FieldOffset(120)] public double column15Value;
    [FieldOffset(128)] public int column16Number;
    [FieldOffset(136)] public double column17Value;
    [FieldOffset(144)] public fixed byte column18Text[24];
    [FieldOffset(168)] public double column19Value;
    [FieldOffset(176)] public double column20Value;
    [FieldOffset(184)] public double column21Value;
    [FieldOffset(192)] public double column22Value;
    [FieldOffset(200)] public int column23Number;
    [FieldOffset(204)] public fixed byte column24Text[52];
    [FieldOffset(256)] public double column0Value;
    [FieldOffset(264)] public double column1Value;
    [FieldOffset(272)] public double column2Value;
    [FieldOffset(280)] public double column3Value;

    public string Column5Text {
        get { fixed (byte* p = column5Text) return Gbk.Decode(p, 24); }
    }
    public string Column11Text {
        get { fixed (byte* p = column11Text) return Gbk.Decode(p, 24); }
    }
    public string Column18Text {
        get { fixed (byte* p = column18Text) return Gbk.Decode(p, 24); }
    }
    public string Column24Text {
        get { fixed (byte* p = column24Text) return Gbk.Decode(p, 52); }
    }
}

// Sequence objects: a tag byte with no content, then the first element, one past the last and the
// end of the reserved storage. The count is (last - first) / element size, 0 whenever first is
// null. Generic structs cannot cross P/Invoke, hence one declaration per element type.

[StructLayout(LayoutKind.Sequential)]
public struct WeatherConditionSeq {
    public byte allocatorTag;
    public IntPtr first;
    public IntPtr last;
    public IntPtr end;
}

/// <summary>One weather area; it owns its conditions' storage.</summary>
[StructLayout(LayoutKind.Sequential)]
public unsafe struct WeatherArea {
    public fixed byte name[24];
    public WeatherConditionSeq conditions;

    public string Name {
        get { fixed (byte* p = name) return Gbk.Decode(p, 24); }
    }
}

[StructLayout(LayoutKind.Sequential)]
public struct WeatherAreaSeq {
    public byte allocatorTag;
    public IntPtr first;
    public IntPtr last;
    public IntPtr end;
}

[StructLayout(LayoutKind.Sequential)]
public struct LineAttribSeq {
    public byte allocatorTag;
    public IntPtr first;
    public IntPtr last;
    public IntPtr end;
}

[StructLayout(LayoutKind.Sequential)]
public struct HBLineAttribSeq {
    public byte allocatorTag;
    public IntPtr first;
    public IntPtr last;
    public IntPtr end;
}

[StructLayout(LayoutKind.Sequential)]
public struct InsulatorAttribSeq {
    public byte allocatorTag;
    public IntPtr first;
    public IntPtr last;
    public IntPtr end;
}

/// <summary>
/// The 25 exports, as varnel.h declares them. Records go by reference and are read in place.
/// Table paths are marshalled as the platform's narrow strings, which is what the library expects:
/// the ANSI code page (GBK) on Windows, UTF-8 elsewhere; a path character the ANSI code page
/// cannot represent throws rather than turning into '?'.
/// </summary>
public static class NativeMethods {
    const string Lib = "varnel";
    const CallingConvention Conv = CallingConvention.StdCall;

    [DllImport(Lib, CallingConvention = Conv, ExactSpelling = true)]
    public static extern double CalcWindAsymmetryCoff(double windSpeed, double iceThickness);

    [DllImport(Lib, CallingConvention = Conv, ExactSpelling = true)]
    public static extern double CalcLineShapeCoff(double diameter, double iceThickness);

    [DllImport(Lib, CallingConvention = Conv, ExactSpelling = true)]
    public static extern double CalcRingStickShapeCoff(double pressureTimesDiameterSquared);

    /// <param name="terrainClass">An ASCII letter 'A' to 'D' (a C char, passed in a 4-byte
    /// slot).</param>
    [DllImport(Lib, CallingConvention = Conv, ExactSpelling = true)]
    public static extern double CalcWindHeightChangeCoff(double height, byte terrainClass,
                                                         int groupSelector);

    [DllImport(Lib, CallingConvention = Conv, ExactSpelling = true)]
    public static extern double CalcBZ(ref WeatherCondition condition, ref LineAttrib conductor);

    // The C result is a one-byte bool: without I1 the marshaller would read all of EAX/RAX, whose
    // upper bytes are not set, and could take false for true.
    [DllImport(Lib, CallingConvention = Conv, ExactSpelling = true)]
    [return: MarshalAs(UnmanagedType.I1)]
    public static extern bool StateEquationGetForce(double span, double cosAngle,
                                                    ref LineAttrib conductor,
                                                    ref WeatherCondition knownCondition,
                                                    ref WeatherCondition soughtCondition,
                                                    double knownStress, out double stress);

    /// <summary>Index of the controlling condition, or -1. Writes its account of the search, in
    /// GBK, to the process's C standard output (not Console.Out).</summary>
    [DllImport(Lib, CallingConvention = Conv, ExactSpelling = true)]
    public static extern int StateEquationGetControl(double span, double cosAngle,
                                                     double avgStressRatio,
                                                     ref LineAttrib conductor,
                                                     ref WeatherConditionSeq conditions,
                                                     double strengthFactor, double safetyFactor);

    [DllImport(Lib, CallingConvention = Conv, ExactSpelling = true)]
    public static extern void CPBodyWindHZ(ref WeatherCondition condition, double topDiameter,
                                           double topHeight, double taper, double bottomHeight,
                                           out double force, out double moment);

    [DllImport(Lib, CallingConvention = Conv, ExactSpelling = true)]
    public static extern double CPLineWindHZ(ref WeatherCondition condition,
                                             ref LineAttrib conductor, double span, double height,
                                             double windAngle);

    [DllImport(Lib, CallingConvention = Conv, ExactSpelling = true)]
    public static extern double CPInsuWindHZ(ref WeatherCondition condition, double height,
                                             double area);

    // The five libraries. Load... returns 1 when every row was appended, 0 otherwise (the library
    // is then as before). Get... returns the address of the library's sequence object, which never
    // changes; the records it points to move on the next load or clear.

    [DllImport(Lib, CallingConvention = Conv, ExactSpelling = true, BestFitMapping = false,
               ThrowOnUnmappableChar = true)]
    public static extern int LoadWeatherAreaFromDBF([MarshalAs(UnmanagedType.LPStr)] string path,
                                                    int englishNames);
    [DllImport(Lib, CallingConvention = Conv, ExactSpelling = true)]
    public static extern IntPtr GetWeatherAreaLib();
    [DllImport(Lib, CallingConvention = Conv, ExactSpelling = true)]
    public static extern void ClearWeatherAreaLib();

    [DllImport(Lib, CallingConvention = Conv, ExactSpelling = true, BestFitMapping = false,
               ThrowOnUnmappableChar = true)]
    public static extern int LoadHZWeatherAreaFromDBF([MarshalAs(UnmanagedType.LPStr)] string path,
                                                      int englishNames);
    [DllImport(Lib, CallingConvention = Conv, ExactSpelling = true)]
    public static extern IntPtr GetHZWeatherAreaLib();
    [DllImport(Lib, CallingConvention = Conv, ExactSpelling = true)]
    public static extern void ClearHZWeatherAreaLib();

    [DllImport(Lib, CallingConvention = Conv, ExactSpelling = true, BestFitMapping = false,
               ThrowOnUnmappableChar = true)]
    public static extern int LoadLineAttribFromDBF([MarshalAs(UnmanagedType.LPStr)] string path);
    [DllImport(Lib, CallingConvention = Conv, ExactSpelling = true)]
    public static extern IntPtr GetLineAttribLib();
    [DllImport(Lib, CallingConvention = Conv, ExactSpelling = true)]
    public static extern void ClearLineAttribLib();

    [DllImport(Lib, CallingConvention = Conv, ExactSpelling = true, BestFitMapping = false,
               ThrowOnUnmappableChar = true)]
    public static extern int LoadHBLineAttribFromDBF([MarshalAs(UnmanagedType.LPStr)] string path);
    [DllImport(Lib, CallingConvention = Conv, ExactSpelling = true)]
    public static extern IntPtr GetHBLineAttribLib();
    [DllImport(Lib, CallingConvention = Conv, ExactSpelling = true)]
    public static extern void ClearHBLineAttribLib();

    [DllImport(Lib, CallingConvention = Conv, ExactSpelling = true, BestFitMapping = false,
               ThrowOnUnmappableChar = true)]
    public static extern int LoadInsulatorAttribFromDBF(
        [MarshalAs(UnmanagedType.LPStr)] string path);
    [DllImport(Lib, CallingConvention = Conv, ExactSpelling = true)]
    public static extern IntPtr GetInsulatorAttribLib();
    [DllImport(Lib, CallingConvention = Conv, ExactSpelling = true)]
    public static extern void ClearInsulatorAttribLib();
}

/// <summary>
/// Copies of the libraries' records. A copy stays valid after the library changes, except the
/// condition pointers inside a copied WeatherArea, which point into the library until its next
/// load or clear: read them with Conditions() before that.
/// </summary>
public static class Libraries {
    public static WeatherArea[] WeatherAreas() {
        return ReadSequence<WeatherArea>(NativeMethods.GetWeatherAreaLib());
    }
    public static WeatherArea[] HZWeatherAreas() {
        return ReadSequence<WeatherArea>(NativeMethods.GetHZWeatherAreaLib());
    }
    public static LineAttrib[] LineAttribs() {
        return ReadSequence<LineAttrib>(NativeMethods.GetLineAttribLib());
    }
    public static HBLineAttrib[] HBLineAttribs() {
        return ReadSequence<HBLineAttrib>(NativeMethods.GetHBLineAttribLib());
    }
    public static InsulatorAttrib[] InsulatorAttribs() {
        return ReadSequence<InsulatorAttrib>(NativeMethods.GetInsulatorAttribLib());
    }

    /// <summary>The conditions of an area, copied from the library that holds the area.</summary>
    public static WeatherCondition[] Conditions(WeatherArea area) {
        return ReadElements<WeatherCondition>(area.conditions.first, area.conditions.last);
    }

    /// <summary>The elements of a sequence object at <paramref name="sequence"/>; every sequence
    /// has the layout of WeatherConditionSeq whatever its element type.</summary>
    public static T[] ReadSequence<T>(IntPtr sequence) where T : struct {
        if (sequence == IntPtr.Zero) throw new ArgumentNullException("sequence");
        var seq = (WeatherConditionSeq)Marshal.PtrToStructure(sequence,
                                                              typeof(WeatherConditionSeq));
        return ReadElements<T>(seq.first, seq.last);
    }

    /// <summary>The elements from first to one before last; none when first is null, whatever
    /// last holds.</summary>
    public static T[] ReadElements<T>(IntPtr first, IntPtr last) where T : struct {
        if (first == IntPtr.Zero) return new T[0];
        int size = Marshal.SizeOf(typeof(T));
        long bytes = last.ToInt64() - first.ToInt64();
        if (bytes < 0 || bytes % size != 0)
            throw new InvalidOperationException(string.Format(
                "not a sequence of {0}: {1} bytes between first and last", typeof(T).Name, bytes));
        var items = new T[bytes / size];
        for (int i = 0; i < items.Length; ++i)
            items[i] = (T)Marshal.PtrToStructure(new IntPtr(first.ToInt64() + (long)i * size),
                                                 typeof(T));
        return items;
    }

    /// <summary>StateEquationGetControl over the host's own conditions, pinned for the call.</summary>
    public static unsafe int GetControl(double span, double cosAngle, double avgStressRatio,
                                        ref LineAttrib conductor, WeatherCondition[] conditions,
                                        double strengthFactor, double safetyFactor) {
        if (conditions == null) throw new ArgumentNullException("conditions");
        var seq = new WeatherConditionSeq();
        fixed (WeatherCondition* p = conditions) {
            // An empty array pins as null: the library then counts no condition and returns -1.
            seq.first = (IntPtr)p;
            seq.last = (IntPtr)(p + conditions.Length);
            seq.end = seq.last;
            return NativeMethods.StateEquationGetControl(span, cosAngle, avgStressRatio,
                                                         ref conductor, ref seq, strengthFactor,
                                                         safetyFactor);
        }
    }
}

/// <summary>GBK (code page 936) texts of the records: NUL-terminated bytes in a fixed field.</summary>
public static class Gbk {
    static Encoding codePage;

    /// <summary>Code page 936, registering CodePagesEncodingProvider first on runtimes that need
    /// it (.NET Core, .NET 5 and later) and have it. Encoding a character that GBK lacks throws
    /// instead of writing '?'.</summary>
    public static Encoding CodePage {
        get {
            if (codePage == null) codePage = Load();
            return codePage;
        }
    }

    static Encoding Load() {
        try {
            return Get936();
        } catch (Exception e) {
            if (!(e is NotSupportedException || e is ArgumentException)) throw;
        }
        // Looked up by name so that this file also compiles for runtimes without the type.
        Type provider = Type.GetType(
            "System.Text.CodePagesEncodingProvider, System.Text.Encoding.CodePages");
        PropertyInfo instance = provider == null ? null : provider.GetProperty("Instance");
        if (instance == null)
            throw new NotSupportedException(
                "code page 936 is not available: on .NET Core register " +
                "CodePagesEncodingProvider; on mono install the I18N.CJK assembly");
        Encoding.RegisterProvider((EncodingProvider)instance.GetValue(null, null));
        return Get936();
    }

    static Encoding Get936() {
        return Encoding.GetEncoding(936, EncoderFallback.ExceptionFallback,
                                    DecoderFallback.ReplacementFallback);
    }

    /// <summary>The text in a field of <paramref name="capacity"/> bytes, up to its first NUL (the
    /// whole field when it has none).</summary>
    public static unsafe string Decode(byte* field, int capacity) {
        int n = 0;
        while (n < capacity && field[n] != 0) ++n;
        return n == 0 ? "" : CodePage.GetString(field, n);
    }

    /// <summary>Writes <paramref name="text"/> into a field of <paramref name="capacity"/> bytes,
    /// NUL-terminated and zero-filled. A text whose GBK form does not leave room for the NUL is
    /// refused, never cut; so is a text holding a NUL, which C would read as ending there.</summary>
    public static unsafe void Encode(string text, byte* field, int capacity) {
        if (text == null) throw new ArgumentNullException("text");
        int nul = text.IndexOf('\0');
        if (nul >= 0)
            throw new ArgumentException(string.Format(
                "\"{0}\" holds a NUL character at {1}: the field would end there",
                text.Replace("\0", "\\0"), nul));
        byte[] bytes = CodePage.GetBytes(text);
        if (bytes.Length >= capacity)
            throw new ArgumentException(string.Format(
                "\"{0}\" is {1} bytes in GBK; the field holds at most {2}", text, bytes.Length,
                capacity - 1));
        for (int i = 0; i < capacity; ++i) field[i] = i < bytes.Length ? bytes[i] : (byte)0;
    }
}

}  // namespace Varnel
