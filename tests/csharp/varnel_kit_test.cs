// Tests of the C# kit (bindings/csharp/Varnel.cs) against the native library, under mono.
//
//   varnel_kit_test.exe layout DUMP          record layouts against the C compiler's (DUMP prints them)
//   varnel_kit_test.exe library SAMPLES_DIR  loaders against the samples' CSV sources, exports by hand
//   varnel_kit_test.exe host AREAS CONDUCTORS  the C example host's road, its output byte for byte
//   varnel_kit_test.exe example MONO EXAMPLE_HOST SAMPLES_DIR  runs both hosts and compares them
//
// Each mode ends with "N passed, N failed" and exits 1 on any failure.

using System;
using System.Collections.Generic;
using System.Diagnostics;
using System.Globalization;
using System.IO;
using System.Linq;
using System.Numerics;
using System.Reflection;
using System.Runtime.CompilerServices;
using System.Runtime.InteropServices;
using System.Text;
using Varnel;

static class KitTest {
    static int passed, failed;

    static void Check(bool ok, string what) {
        if (ok) {
            ++passed;
        } else {
            ++failed;
            Console.Error.WriteLine("FAILED: " + what);
        }
    }

    static void Equal<T>(T expected, T actual, string what) {
        Check(EqualityComparer<T>.Default.Equals(expected, actual),
              string.Format("{0}: expected {1}, got {2}", what, expected, actual));
    }

    static void Near(double expected, double actual, double tolerance, string what) {
        Check(Math.Abs(expected - actual) <= tolerance,
              string.Format("{0}: expected {1:R}, got {2:R}", what, expected, actual));
    }

    static void Throws<E>(Action action, string what) where E : Exception {
        try {
            action();
            Check(false, what + ": no " + typeof(E).Name);
        } catch (E) {
            Check(true, what);
        }
    }

    static int Main(string[] args) {
        if (args.Length == 2 && args[0] == "layout") {
            Layout(args[1]);
        } else if (args.Length == 2 && args[0] == "library") {
            Library(args[1]);
        } else if (args.Length == 3 && args[0] == "host") {
            return Host(args[1], args[2]);
        } else if (args.Length == 4 && args[0] == "example") {
            Example(args[1], args[2], args[3]);
        } else {
            Console.Error.WriteLine("usage: varnel_kit_test.exe layout DUMP | library SAMPLES_DIR |" +
                                    " host AREAS CONDUCTORS | example MONO EXAMPLE_HOST SAMPLES_DIR");
            return 2;
        }
        fflush(IntPtr.Zero); // the library's accounts of its searches, before the summary
        Console.WriteLine("{0} passed, {1} failed", passed, failed);
        return failed == 0 ? 0 : 1;
    }

    static string Run(string program, string arguments, out byte[] output) {
        var info = new ProcessStartInfo(program, arguments) {
            UseShellExecute = false, RedirectStandardOutput = true
        };
        using (var p = Process.Start(info))
        using (var buffer = new MemoryStream()) {
            p.StandardOutput.BaseStream.CopyTo(buffer);
            p.WaitForExit();
            output = buffer.ToArray();
            return p.ExitCode == 0 ? null : program + " exited with " + p.ExitCode;
        }
    }

    // ---- Layouts: every record and field the C compiler knows, and no other ----

    static void Layout(string dump) {
        byte[] output;
        string error = Run(dump, "", out output);
        Check(error == null, error ?? "");
        // "Type size N" or "Type.field OFFSET WIDTH", kept as "Type size" or "Type.field" -> figures.
        var c = new Dictionary<string, string>();
        foreach (string line in Encoding.ASCII.GetString(output).Split('\n')) {
            if (line.Length == 0) continue;
            int cut = line.IndexOf(line.Contains(" size ") ? " size " : " ") +
                      (line.Contains(" size ") ? 5 : 0);
            c[line.Substring(0, cut)] = line.Substring(cut + 1);
        }
        Check(c.Count > 80, "the C dump lists " + c.Count + " records and fields");

        var cs = new Dictionary<string, string>();
        foreach (Type t in typeof(WeatherCondition).Assembly.GetTypes()) {
            if (!t.IsValueType || !t.IsPublic || t.Namespace != "Varnel") continue;
            cs[t.Name + " size"] = Marshal.SizeOf(t).ToString();
            foreach (FieldInfo f in t.GetFields(BindingFlags.Instance | BindingFlags.Public)) {
                var buffer = (FixedBufferAttribute)Attribute.GetCustomAttribute(
                    f, typeof(FixedBufferAttribute));
                int width = buffer != null
                                ? buffer.Length * Marshal.SizeOf(buffer.ElementType)
                                : Marshal.SizeOf(f.FieldType);
                cs[t.Name + "." + f.Name] = Marshal.OffsetOf(t, f.Name) + " " + width;
            }
        }
        foreach (var entry in c) {
            string figures;
            Check(cs.TryGetValue(entry.Key, out figures) && figures == entry.Value,
                  string.Format("{0}: C {1}, C# {2}", entry.Key, entry.Value,
                                figures ?? "missing"));
        }
        foreach (string key in cs.Keys.Where(k => !c.ContainsKey(k)))
            Check(false, key + " is declared in C# but not in varnel.h");
        Console.WriteLine("{0} sizes, offsets and widths compared, {1}-bit process", c.Count,
                          IntPtr.Size * 8);
    }

    // ---- The loaders through the kit, against the CSV the sample tables were made from ----

    static List<string[]> Csv(string path) {
        return File.ReadAllLines(path, Encoding.UTF8).Skip(1).Where(l => l.Length > 0)
            .Select(l => l.Split(',')).ToList();
    }

    static double Real(string cell) {
        return double.Parse(cell, CultureInfo.InvariantCulture);
    }

    // A text as a field of the given capacity holds it: cut before the first character whose GBK
    // bytes would not leave room for the NUL.
    static string Cut(string text, int capacity) {
        var cut = new StringBuilder();
        foreach (char ch in text) {
            if (Gbk.CodePage.GetByteCount(cut.ToString() + ch) >= capacity) break;
            cut.Append(ch);
        }
        return cut.ToString();
    }

    static object Get(object record, string member) {
        FieldInfo f = record.GetType().GetField(member);
        return f != null ? f.GetValue(record) : record.GetType().GetProperty(member).GetValue(record, null);
    }

    // Table columns of a record: "columnNValue" real, "columnNNumber" whole, "ColumnNText" text.
    static void Columns(object record, string[] row, string what, int[] reals, int[] wholes,
                        int[] texts, int[] capacities) {
        foreach (int n in reals) {
            string name = "column" + n + "Value";
            Equal(Real(row[n]), (double)Get(record, name), what + " " + name);
        }
        foreach (int n in wholes) {
            string name = "column" + n + "Number";
            Equal((int)Real(row[n]), (int)Get(record, name), what + " " + name);
        }
        for (int i = 0; i < texts.Length; ++i) {
            string name = "Column" + texts[i] + "Text";
            Equal(Cut(row[texts[i]], capacities[i]), (string)Get(record, name), what + " " + name);
        }
    }

    static readonly string[] ChineseConditions = {"低温", "大风", "年平", "覆冰", "高温",
                                                   "校验", "安装", "外过", "内过"};
    static readonly string[] EnglishConditions = {"Lowest Temp", "Max. wind vel", "Avg. ann",
                                                   "Thickest ice", "Max. Temp", "Checkout",
                                                   "Setting", "L.O", "S.O"};

    static void Library(string samples) {
        SamplesDir = samples;
        string src = Path.Combine(samples, "src");

        // Conductors.
        Equal(1, NativeMethods.LoadLineAttribFromDBF(Path.Combine(samples, "conductors.dbf")),
              "conductor table loads");
        LineAttrib[] lines = Libraries.LineAttribs();
        List<string[]> rows = Csv(Path.Combine(src, "conductors.csv"));
        Equal(rows.Count, lines.Length, "conductors");
        for (int i = 0; i < Math.Min(rows.Count, lines.Length); ++i) {
            string[] r = rows[i];
            string what = "conductor " + r[0];
            Equal(r[0], lines[i].Name, what + " name");
            Equal(Real(r[1]), lines[i].area, what + " area");
            Equal(Real(r[2]), lines[i].diameter, what + " diameter");
            Equal(Real(r[3]), lines[i].unitMass, what + " unitMass");
            Equal(Real(r[4]), lines[i].column4Value, what + " column4Value");
            Equal(Real(r[5]), lines[i].elasticModulus, what + " elasticModulus");
            Equal(Real(r[6]) * 1e-6, lines[i].expansionCoeff, what + " expansionCoeff");
            Equal(Real(r[7]), lines[i].column7Value, what + " column7Value");
            Equal(Real(r[8]), lines[i].ratedStrength, what + " ratedStrength");
            Equal(int.Parse(r[9]), lines[i].column9Number, what + " column9Number");
            Equal(Cut(r[10], 68), lines[i].Column10Text, what + " column10Text");
        }

        // HB lines: same first eleven columns as a conductor, in another record.
        Equal(1, NativeMethods.LoadHBLineAttribFromDBF(Path.Combine(samples, "hb_lines.dbf")),
              "HB line table loads");
        HBLineAttrib[] hb = Libraries.HBLineAttribs();
        rows = Csv(Path.Combine(src, "hb_lines.csv"));
        Equal(rows.Count, hb.Length, "HB lines");
        for (int i = 0; i < Math.Min(rows.Count, hb.Length); ++i) {
            Equal(rows[i][0], hb[i].Name, "HB line name");
            Equal(Real(rows[i][6]) * 1e-6, hb[i].column6Value, "HB line column6Value");
            Columns(hb[i], rows[i], "HB line " + rows[i][0], new[] {1, 2, 3, 4, 5, 7, 8, 11},
                    new[] {9}, new[] {10}, new[] {64});
        }

        // Insulators: every column by its name in the record.
        Equal(1, NativeMethods.LoadInsulatorAttribFromDBF(Path.Combine(samples, "insulators.dbf")),
              "insulator table loads");
        InsulatorAttrib[] ins = Libraries.InsulatorAttribs();
        rows = Csv(Path.Combine(src, "insulators.csv"));
        Equal(rows.Count, ins.Length, "insulators");
        for (int i = 0; i < Math.Min(rows.Count, ins.Length); ++i)
            Columns(ins[i], rows[i], "insulator " + i,
                    new[] {0, 1, 2, 3, 4, 7, 8, 10, 12, 14, 15, 17, 19, 20, 21, 22},
                    new[] {6, 9, 13, 16, 23}, new[] {5, 11, 18, 24}, new[] {24, 24, 24, 52});

        // Weather areas, then the same table again with English condition names.
        rows = Csv(Path.Combine(src, "weather_areas.csv"));
        foreach (int english in new[] {0, 1}) {
            NativeMethods.ClearWeatherAreaLib();
            Equal(1, NativeMethods.LoadWeatherAreaFromDBF(Path.Combine(samples, "weather_areas"),
                                                          english),
                  "weather area table loads without its extension");
            WeatherArea[] areas = Libraries.WeatherAreas();
            Equal(rows.Count, areas.Length, "weather areas");
            string[] names = english != 0 ? EnglishConditions : ChineseConditions;
            for (int i = 0; i < Math.Min(rows.Count, areas.Length); ++i) {
                string[] r = rows[i];
                Equal(r[0], areas[i].Name, "area name");
                WeatherCondition[] c = Libraries.Conditions(areas[i]);
                Equal(9, c.Length, r[0] + " conditions");
                if (c.Length != 9) continue;
                for (int k = 0; k < 9; ++k) Equal(names[k], c[k].Name, r[0] + " condition " + k);
                // Temperature, wind and ice of each condition from the table's columns.
                double[,] expected = {
                    {Real(r[2]), 0, 0}, {Real(r[4]), Real(r[8]), 0}, {Real(r[14]), 0, 0},
                    {Real(r[3]), Real(r[9]), Real(r[13])}, {Real(r[1]), 0, 0}, {15, 0, 0},
                    {Real(r[5]), Real(r[10]), 0}, {Real(r[6]), Real(r[11]), 0},
                    {Real(r[7]), Real(r[12]), 0}};
                for (int k = 0; k < 9; ++k) {
                    string what = r[0] + " " + ChineseConditions[k];
                    Equal(expected[k, 0], c[k].temperature, what + " temperature");
                    Equal(expected[k, 1], c[k].windSpeed, what + " wind");
                    Equal(expected[k, 2], c[k].iceThickness, what + " ice");
                }
            }
        }

        // Load-case areas: six conditions, the ice one from the same source row.
        Equal(1, NativeMethods.LoadHZWeatherAreaFromDBF(
                     Path.Combine(samples, "load_case_areas.dbf"), 0),
              "load-case area table loads");
        WeatherArea[] hz = Libraries.HZWeatherAreas();
        Check(hz.Length > 0, "load-case areas");
        string[] six = {"低温", "大风", "年平", "覆冰", "校验", "安装"};
        foreach (WeatherArea a in hz) {
            WeatherCondition[] c = Libraries.Conditions(a);
            Equal(string.Join(" ", six), string.Join(" ", c.Select(x => x.Name)), a.Name);
            string[] row = rows.FirstOrDefault(r => r[0] == a.Name);
            Check(row != null, a.Name + " is a weather area of the source");
            if (row != null && c.Length == 6) Equal(Real(row[13]), c[3].iceThickness, a.Name + " ice");
        }

        Calculations();

        // Clearing empties a library, and only that one.
        NativeMethods.ClearLineAttribLib();
        Equal(0, Libraries.LineAttribs().Length, "conductors after clear");
        Check(Libraries.HBLineAttribs().Length > 0, "HB lines kept after clearing conductors");
        NativeMethods.ClearWeatherAreaLib();
        NativeMethods.ClearHZWeatherAreaLib();
        NativeMethods.ClearHBLineAttribLib();
        NativeMethods.ClearInsulatorAttribLib();
        Equal(0, Libraries.WeatherAreas().Length + Libraries.InsulatorAttribs().Length,
              "areas and insulators after clear");

        Sequences();
        Texts();
    }

    // ---- Exports whose arguments are easy to get wrong: figures from varnel.h's tables ----

    static void Calculations() {
        // windSpeed, ice: 1.0 below 20 m/s, 0.85 below 30, 0.75 below 35, 0.7 above; × 1.5 from 20 mm.
        double[][] asymmetry = {new[] {19.9, 0, 1.0}, new[] {25, 0, 0.85}, new[] {32, 0, 0.75},
                                new[] {40, 0, 0.7}, new[] {25, 20, 0.85 * 1.5}, new[] {0, 25, 1.5}};
        foreach (double[] t in asymmetry)
            Near(t[2], NativeMethods.CalcWindAsymmetryCoff(t[0], t[1]), 1e-12,
                 string.Format("CalcWindAsymmetryCoff({0}, {1})", t[0], t[1]));
        double[][] shape = {new[] {16.9, 0, 1.2}, new[] {17, 0, 1.1}, new[] {21.6, 5, 1.2}};
        foreach (double[] t in shape)
            Equal(t[2], NativeMethods.CalcLineShapeCoff(t[0], t[1]),
                  string.Format("CalcLineShapeCoff({0}, {1})", t[0], t[1]));
        double[][] ring = {new[] {0.001, 1.2}, new[] {0.02, 0.7}, new[] {0.0085, 0.95}};
        foreach (double[] t in ring)
            Near(t[1], NativeMethods.CalcRingStickShapeCoff(t[0]), 1e-12,
                 "CalcRingStickShapeCoff(" + t[0] + ")");
        // The terrain class is one byte in a 4-byte slot, between a double and an int.
        var height = new[] {
            Tuple.Create(30.0, 'A', 0, 1.80), Tuple.Create(30.0, 'c', 0, 1.00),
            Tuple.Create(30.0, 'D', 0, 0.62), Tuple.Create(30.0, 'D', 330, 1.25),
            Tuple.Create(40.0, 'b', 600, 1.25), Tuple.Create(25.0, 'B', 0, 1.335),
            Tuple.Create(5.0, 'A', 100, 1.21)};
        foreach (var t in height)
            Near(t.Item4, NativeMethods.CalcWindHeightChangeCoff(t.Item1, (byte)t.Item2, t.Item3),
                 1e-12, string.Format("CalcWindHeightChangeCoff({0}, '{1}', {2})", t.Item1,
                                      t.Item2, t.Item3));

        // A one-byte bool: false must read as false. A NaN known stress gives a NaN stress.
        var line = new LineAttrib {area = 275.96, diameter = 21.6, unitMass = 922.2,
                                   elasticModulus = 73000, expansionCoeff = 19.6e-6,
                                   ratedStrength = 75190};
        var cold = new WeatherCondition {temperature = -10};
        var hot = new WeatherCondition {temperature = 40};
        double stress;
        Check(!NativeMethods.StateEquationGetForce(300, 1, ref line, ref cold, ref hot, double.NaN,
                                                   out stress) && double.IsNaN(stress),
              "StateEquationGetForce of a NaN stress is false and writes NaN");
        Check(NativeMethods.StateEquationGetForce(300, 1, ref line, ref cold, ref hot, 100,
                                                  out stress) && stress > 0 && stress < 100,
              "StateEquationGetForce: warmer slackens (" + stress + " N/mm2)");
        double back;
        Check(NativeMethods.StateEquationGetForce(300, 1, ref line, ref hot, ref cold, stress,
                                                  out back),
              "StateEquationGetForce back to the cold condition");
        Near(100, back, 1e-9, "the state equation solved back");

        // The pinned-array route and the library's own sequence find the same condition.
        NativeMethods.LoadLineAttribFromDBF(Path.Combine(SamplesDir, "conductors.dbf"));
        NativeMethods.ClearWeatherAreaLib();
        NativeMethods.LoadWeatherAreaFromDBF(Path.Combine(SamplesDir, "weather_areas.dbf"), 0);
        LineAttrib[] conductors = Libraries.LineAttribs();
        int found = 0;
        foreach (WeatherArea a in Libraries.WeatherAreas()) {
            WeatherArea area = a;
            WeatherCondition[] copy = Libraries.Conditions(area);
            for (int i = 0; i < conductors.Length; ++i) {
                foreach (double span in new[] {80.0, 300.0, 700.0}) {
                    int inPlace = NativeMethods.StateEquationGetControl(
                        span, 1, 0.25, ref conductors[i], ref area.conditions, 0.95, 2.5);
                    int pinned = Libraries.GetControl(span, 1, 0.25, ref conductors[i], copy, 0.95,
                                                      2.5);
                    Equal(inPlace, pinned, area.Name + " " + conductors[i].Name + " " + span + " m");
                    if (inPlace >= 0) ++found;
                }
            }
        }
        Check(found > 0, "a controlling condition was found " + found + " times");
        Equal(-1, Libraries.GetControl(300, 1, 0.25, ref conductors[0], new WeatherCondition[0],
                                       0.95, 2.5),
              "no conditions, no controlling condition");
    }

    static string SamplesDir;

    // ---- Sequences read by the helper ----

    static void Sequences() {
        IntPtr block = Marshal.AllocHGlobal(1024);
        try {
            var garbage = new IntPtr(block.ToInt64() + 500);
            Equal(0, Libraries.ReadElements<WeatherCondition>(IntPtr.Zero, garbage).Length,
                  "a null first counts nothing, whatever last holds");
            Throws<InvalidOperationException>(
                () => Libraries.ReadElements<WeatherCondition>(block, garbage),
                "500 bytes are not a whole number of 48-byte conditions");
            Throws<InvalidOperationException>(
                () => Libraries.ReadElements<WeatherCondition>(garbage, block),
                "last before first");
            Equal(10, Libraries.ReadElements<WeatherCondition>(
                          block, new IntPtr(block.ToInt64() + 480)).Length,
                  "480 bytes hold ten conditions");
        } finally {
            Marshal.FreeHGlobal(block);
        }
    }

    // ---- GBK texts ----

    static unsafe void Texts() {
        var c = new WeatherCondition();
        c.Name = "年平";
        Equal("C4-EA-C6-BD-00", BitConverter.ToString(FieldBytes(ref c, 5)), "年平 in GBK");
        Equal("年平", c.Name, "年平 read back");
        c.Name = "典型气象区Ⅲ典型气象区A"; // 23 bytes
        Equal("典型气象区Ⅲ典型气象区A", c.Name, "23 bytes and the NUL fill a 24-byte field");
        c.Name = "年";
        Equal("C4-EA-00-00-00", BitConverter.ToString(FieldBytes(ref c, 5)),
              "a shorter name clears the rest of the field");
        Throws<ArgumentException>(() => { var w = new WeatherCondition(); w.Name = "典型气象区Ⅲ典型气象区Ⅲ"; },
                                  "24 bytes leave no room for the NUL");
        Throws<ArgumentException>(() => { var w = new WeatherCondition(); w.Name = "\U0001F600"; },
                                  "a character GBK lacks is refused, not written as '?'");
        Throws<ArgumentException>(() => { var w = new WeatherCondition(); w.Name = "a\0b"; },
                                  "a NUL inside a name is refused, not stored as the text before it");
        Throws<ArgumentException>(() => { var a = new LineAttrib(); a.Name = "\0"; },
                                  "a name of a NUL alone is refused");
        // A field without a NUL is read to its end.
        var l = new LineAttrib();
        for (int i = 0; i < 32; ++i) l.name[i] = (byte)'x';
        Equal(new string('x', 32), l.Name, "a full field without a NUL");
    }

    static unsafe byte[] FieldBytes(ref WeatherCondition c, int n) {
        var bytes = new byte[n];
        fixed (byte* p = c.name)
            for (int i = 0; i < n; ++i) bytes[i] = p[i];
        return bytes;
    }

    // ---- The C example's road, printed as it prints it ----

    [DllImport("libc")]
    static extern int fflush(IntPtr stream);

    static Stream stdout;

    static void Print(string format, params object[] args) {
        byte[] bytes = Gbk.CodePage.GetBytes(string.Format(CultureInfo.InvariantCulture, format, args));
        stdout.Write(bytes, 0, bytes.Length);
        stdout.Flush();
    }

    // printf's %-Ns: padded to N bytes of GBK, not N characters.
    static string Left(string text, int width) {
        return text + new string(' ', Math.Max(0, width - Gbk.CodePage.GetByteCount(text)));
    }

    static int Host(string areasPath, string conductorsPath) {
        const double span = 300.0;
        const double cosAngle = 1.0;
        const double avgRatio = 0.25;
        const double strengthFactor = 0.95;
        const double safetyFactor = 2.5;
        stdout = Console.OpenStandardOutput();

        if (NativeMethods.LoadWeatherAreaFromDBF(areasPath, 0) != 1) return 1;
        if (NativeMethods.LoadLineAttribFromDBF(conductorsPath) != 1) return 1;
        WeatherArea[] areas = Libraries.WeatherAreas();
        LineAttrib[] conductors = Libraries.LineAttribs();
        int a = Array.FindIndex(areas, x => x.Name == "典型气象区Ⅲ");
        int k = Array.FindIndex(conductors, x => x.Name == "JL/G1A-240/30");
        if (a < 0 || k < 0) return 1;
        LineAttrib conductor = conductors[k];
        WeatherCondition[] conditions = Libraries.Conditions(areas[a]);
        int n = conditions.Length;

        Print("Weather area {0}, {1} conditions\n", areas[a].Name, n);
        Print("Conductor {0}: area {1} mm2, diameter {2} mm, {3} kg/km, E {4} N/mm2, " +
                  "expansion {5}e-6 /C, rated strength {6} N\n\n",
              conductor.Name, F(conductor.area, 2), F(conductor.diameter, 2),
              F(conductor.unitMass, 1), F(conductor.elasticModulus, 0),
              F(conductor.expansionCoeff * 1e6, 1), F(conductor.ratedStrength, 0));
        Print("{0} {1,8} {2,8} {3,8} {4,16}\n", Left("condition", 12), "ice mm", "wind m/s",
              "temp C", "load N/(m.mm2)");
        for (int i = 0; i < n; ++i)
            Print("{0} {1,8} {2,8} {3,8} {4,16}\n", Left(conditions[i].Name, 12),
                  F(conditions[i].iceThickness, 1), F(conditions[i].windSpeed, 2),
                  F(conditions[i].temperature, 1),
                  E(NativeMethods.CalcBZ(ref conditions[i], ref conductor), 6));

        Print("\nControlling-condition search, {0} m level span:\n", F(span, 0));
        // The library writes its account through C's stdout, which has its own buffer.
        int control = NativeMethods.StateEquationGetControl(span, cosAngle, avgRatio, ref conductor,
                                                            ref areas[a].conditions,
                                                            strengthFactor, safetyFactor);
        fflush(IntPtr.Zero);
        if (control < 0) {
            Print("No condition qualifies as controlling.\n");
            return 1;
        }
        double controlStress =
            conditions[control].Name == "年平"
                ? avgRatio * conductor.ratedStrength * strengthFactor / conductor.area
                : strengthFactor * conductor.ratedStrength / safetyFactor / conductor.area;
        Print("Controlling condition: {0} (index {1}), strung to {2} N/mm2\n\n",
              conditions[control].Name, control, F(controlStress, 3));

        Print("{0} {1,14}\n", Left("condition", 12), "stress N/mm2");
        for (int i = 0; i < n; ++i) {
            double stress;
            if (!NativeMethods.StateEquationGetForce(span, cosAngle, ref conductor,
                                                     ref conditions[control], ref conditions[i],
                                                     controlStress, out stress)) {
                Print("{0} {1,14}\n", Left(conditions[i].Name, 12), "not a number");
                continue;
            }
            Print("{0} {1,14}\n", Left(conditions[i].Name, 12), F(stress, 3));
        }

        double force, moment;
        Print("\nWind loads in {0} ({1} m/s):\n", conditions[1].Name, F(conditions[1].windSpeed, 1));
        NativeMethods.CPBodyWindHZ(ref conditions[1], 190.0, 12.0, 0.075, 0.0, out force,
                                   out moment);
        Print("  12 m pole, 190 mm top, taper 1/75: force {0} kN, moment {1} kN.m\n", F(force, 6),
              F(moment, 6));
        Print("  {0} m of conductor at 15 m, wind across: {1} kN\n", F(span, 0),
              F(NativeMethods.CPLineWindHZ(ref conditions[1], ref conductor, span, 15.0, 90.0), 6));
        Print("  insulator string at 15 m, 0.25 m2: {0} kN\n",
              F(NativeMethods.CPInsuWindHZ(ref conditions[1], 15.0, 0.25), 6));

        NativeMethods.ClearWeatherAreaLib();
        NativeMethods.ClearLineAttribLib();
        return 0;
    }

    // printf's %.Nf and %.Ne, from the double's exact binary value rounded half to even as glibc
    // does; .NET's own formats round a 15-digit approximation and can differ in the last digit.
    static string F(double v, int decimals) {
        BigInteger num, den;
        bool negative = Exact(v, out num, out den);
        string digits = Round(num * BigInteger.Pow(10, decimals), den).ToString()
                            .PadLeft(decimals + 1, '0');
        string s = decimals == 0 ? digits
                                 : digits.Substring(0, digits.Length - decimals) + "." +
                                       digits.Substring(digits.Length - decimals);
        return (negative ? "-" : "") + s;
    }

    static string E(double v, int decimals) {
        BigInteger num, den;
        bool negative = Exact(v, out num, out den);
        int exponent = 0;
        BigInteger digits = 0;
        if (!num.IsZero) {
            exponent = (int)Math.Floor(Math.Log10(Math.Abs(v)));
            for (;;) {
                int shift = decimals - exponent;
                digits = shift >= 0 ? Round(num * BigInteger.Pow(10, shift), den)
                                    : Round(num, den * BigInteger.Pow(10, -shift));
                if (digits >= BigInteger.Pow(10, decimals + 1)) ++exponent;
                else if (digits < BigInteger.Pow(10, decimals)) --exponent;
                else break;
            }
        }
        string d = digits.ToString().PadLeft(decimals + 1, '0');
        return string.Format("{0}{1}.{2}e{3}{4:00}", negative ? "-" : "", d[0], d.Substring(1),
                             exponent < 0 ? "-" : "+", Math.Abs(exponent));
    }

    // |v| = num / den exactly; returns the sign.
    static bool Exact(double v, out BigInteger num, out BigInteger den) {
        long bits = BitConverter.DoubleToInt64Bits(v);
        int biased = (int)((bits >> 52) & 0x7FF);
        long fraction = bits & ((1L << 52) - 1);
        if (biased == 0x7FF) throw new ArgumentException("not a finite number");
        long mantissa = biased == 0 ? fraction : fraction | (1L << 52);
        int exponent = (biased == 0 ? 1 : biased) - 1075;
        num = exponent >= 0 ? new BigInteger(mantissa) << exponent : new BigInteger(mantissa);
        den = exponent >= 0 ? BigInteger.One : BigInteger.One << -exponent;
        return bits < 0;
    }

    static BigInteger Round(BigInteger num, BigInteger den) {
        BigInteger remainder;
        BigInteger q = BigInteger.DivRem(num, den, out remainder);
        int c = (remainder * 2).CompareTo(den);
        return c > 0 || (c == 0 && !q.IsEven) ? q + 1 : q;
    }

    // ---- Both hosts on the same tables ----

    static void Example(string mono, string exampleHost, string samples) {
        string areas = Path.Combine(samples, "weather_areas.dbf");
        string conductors = Path.Combine(samples, "conductors.dbf");
        byte[] c, cs;
        string error = Run(exampleHost, Quote(areas) + " " + Quote(conductors), out c);
        Check(error == null, error ?? "");
        string self = Assembly.GetExecutingAssembly().Location;
        error = Run(mono, Quote(self) + " host " + Quote(areas) + " " + Quote(conductors), out cs);
        Check(error == null, error ?? "");
        Check(c.Length > 1000, "the C example printed " + c.Length + " bytes");
        string[] cLines = Gbk.CodePage.GetString(c).Split('\n');
        string[] csLines = Gbk.CodePage.GetString(cs).Split('\n');
        for (int i = 0; i < Math.Max(cLines.Length, csLines.Length); ++i) {
            string left = i < cLines.Length ? cLines[i] : "(none)";
            string right = i < csLines.Length ? csLines[i] : "(none)";
            Check(left == right, string.Format("line {0}\n  C:  {1}\n  C#: {2}", i + 1, left, right));
        }
        Check(c.SequenceEqual(cs), "the two outputs are the same bytes");
    }

    static string Quote(string s) {
        return "\"" + s + "\"";
    }
}
