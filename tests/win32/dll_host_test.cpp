// A host as the design application is one: it loads varnel.dll by name, finds each export by its
// undecorated name and calls it through a pointer. A plain call cannot tell whether the callee
// removed its arguments, so each call goes through a probe that measures the stack.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <stdexcept>
#include <string>
#include <vector>

#include "support/dbf_writer.h"
#include "support/fixtures.h"
#include "varnel.h"

extern "C" {
struct ProbeResult {
    std::uint32_t eax;
    std::uint32_t edx;
    double st0;
};
unsigned varnelProbeCall(const void* fn, const void* args, unsigned argBytes, ProbeResult* out,
                         int returnsDouble);
}

namespace {

// Arguments laid out as a 32-bit caller pushes them: doubles in 8 bytes, everything else
// (pointers, ints, a char) in a 4-byte slot.
class Args {
  public:
    Args& d(double v) { return put(&v, 8); }
    Args& p(const void* v) { return put(&v, 4); }
    Args& i(std::int32_t v) { return put(&v, 4); }
    Args& c(char v) { return i(static_cast<unsigned char>(v)); }
    const void* data() const { return bytes_; }
    unsigned size() const { return size_; }

  private:
    Args& put(const void* v, unsigned n) {
        if (size_ + n > sizeof bytes_) throw std::length_error("too many arguments");
        std::memcpy(bytes_ + size_, v, n);
        size_ += n;
        return *this;
    }
    unsigned char bytes_[64] = {};
    unsigned size_ = 0;
};

class DllHost : public testing::Test {
  protected:
    void SetUp() override {
        module_ = LoadLibraryA("varnel.dll");
        ASSERT_NE(module_, nullptr) << "LoadLibrary failed: " << GetLastError();
    }
    void TearDown() override {
        if (module_ != nullptr) FreeLibrary(module_);
    }

    // Calls the export `name` with `args` and checks that it removed exactly its own arguments.
    ProbeResult call(const char* name, const Args& args, bool returnsDouble) {
        ProbeResult r{};
        const void* fn = reinterpret_cast<const void*>(GetProcAddress(module_, name));
        EXPECT_NE(fn, nullptr) << name << " is not exported under its plain name";
        if (fn == nullptr) return r;
        const std::string decorated = std::string(name) + "@" + std::to_string(args.size());
        EXPECT_EQ(GetProcAddress(module_, decorated.c_str()), nullptr)
            << decorated << " must not be exported";
        const unsigned left = varnelProbeCall(fn, args.data(), args.size(), &r, returnsDouble);
        EXPECT_EQ(left, 0u) << name << " left " << left << " of its " << args.size()
                            << " argument bytes on the stack: not stdcall";
        return r;
    }

    HMODULE module_ = nullptr;
};

WeatherCondition condition(double ice, double wind, double temperature) {
    return varnel::test::makeCondition("", ice, wind, temperature);
}

LineAttrib conductor() {
    return varnel::test::jlg1a240();
}

TEST_F(DllHost, ProbeTellsCdeclFromStdcall) {
    // The probe itself must be able to fail: a cdecl function leaves its arguments behind.
    struct Local {
        static int __cdecl add(int a, int b) { return a + b; }
        static int __stdcall addStd(int a, int b) { return a + b; }
    };
    ProbeResult r{};
    Args args;
    args.i(2).i(3);
    EXPECT_EQ(varnelProbeCall(reinterpret_cast<const void*>(&Local::add), args.data(), 8, &r, 0),
              8u);
    EXPECT_EQ(r.eax, 5u);
    EXPECT_EQ(varnelProbeCall(reinterpret_cast<const void*>(&Local::addStd), args.data(), 8, &r, 0),
              0u);
    EXPECT_EQ(r.eax, 5u);
}

TEST_F(DllHost, Coefficients) {
    EXPECT_EQ(call("CalcWindAsymmetryCoff", Args().d(25).d(20), true).st0, 1.275);
    EXPECT_EQ(call("CalcLineShapeCoff", Args().d(17).d(0), true).st0, 1.1);
    EXPECT_EQ(call("CalcRingStickShapeCoff", Args().d(0.015), true).st0, 0.7);
    EXPECT_NEAR(call("CalcWindHeightChangeCoff", Args().d(12.5).c('b').i(0), true).st0, 1.07,
                1e-12);
    // Only the low byte of the letter's slot is read.
    EXPECT_NEAR(call("CalcWindHeightChangeCoff", Args().d(10).i(0x7F43).i(0), true).st0, 0.74,
                1e-12);
}

TEST_F(DllHost, SpecificLoadAndStateEquation) {
    const auto a = conductor();
    const auto cold = condition(0, 0, -10);
    const auto hot = condition(0, 0, 40);
    EXPECT_NEAR(call("CalcBZ", Args().p(&cold).p(&a), true).st0, 922.2 * 0.00980665 / 275.96,
                1e-15);

    double stress = 0;
    const auto r = call("StateEquationGetForce",
                        Args().d(300).d(1).p(&a).p(&cold).p(&hot).d(100).p(&stress), false);
    EXPECT_EQ(r.eax & 0xFF, 1u);
    EXPECT_NEAR(stress, 66.1823, 5e-5);
}

TEST_F(DllHost, ControlSearch) {
    const auto a = conductor();
    WeatherCondition single = condition(0, 0, -10);
    WeatherConditionSeq seq{};
    seq.first = &single;
    seq.last = seq.end = &single + 1;
    const auto r = call("StateEquationGetControl",
                        Args().d(300).d(1).d(0.25).p(&a).p(&seq).d(0.95).d(2.5), false);
    EXPECT_EQ(static_cast<std::int32_t>(r.eax), 0);
    std::fflush(stdout);
}

TEST_F(DllHost, WindLoads) {
    const auto a = conductor();
    const auto wind = condition(0, 25, 15);
    double force = 0, moment = 0;
    call("CPBodyWindHZ", Args().p(&wind).d(190).d(12).d(0.075).d(0).p(&force).p(&moment), false);
    EXPECT_NEAR(force, 0.932866, 5e-7);
    EXPECT_NEAR(moment, 5.063325, 5e-7);
    EXPECT_NEAR(call("CPLineWindHZ", Args().p(&wind).p(&a).d(300).d(15).d(90), true).st0,
                2.36671875, 1e-12);
    const auto gust = condition(0, 20, 15);
    EXPECT_NEAR(call("CPInsuWindHZ", Args().p(&gust).d(15).d(2), true).st0, 0.5, 1e-15);
}

// A 15-field weather area table and an 11-field conductor table of a few rows each.
struct Tables {
    std::string areas;
    std::string conductors;
    std::string loadCases;
    std::string hbLines;
    std::string insulators;
};

const Tables& tables() {
    static const Tables t = [] {
        auto make = [](const char* name, int fields, int rows) {
            varnel::test::DbfWriter w;
            for (int i = 0; i < fields; ++i) w.field("C" + std::to_string(i), 12);
            for (int r = 0; r < rows; ++r) {
                std::vector<std::string> row(static_cast<std::size_t>(fields), "12.5");
                row[0] = "row" + std::to_string(r);
                w.record(row);
            }
            const std::string path = varnel::test::tempPath(name);
            w.save(path);
            return path;
        };
        return Tables{make("areas.dbf", 15, 7), make("conductors.dbf", 11, 4),
                      make("load_cases.dbf", 10, 7), make("hb_lines.dbf", 12, 3),
                      make("insulators.dbf", 25, 5)};
    }();
    return t;
}

template <class Seq>
std::size_t count(const Seq* s) {
    return s->first == nullptr ? 0 : static_cast<std::size_t>(s->last - s->first);
}

TEST_F(DllHost, LibraryExports) {
    const Tables& t = tables();
    struct Library {
        const char* load;
        const char* get;
        const char* clear;
        const std::string& path;
        bool takesNameFlag;
        std::size_t rows;
    };
    const Library libraries[] = {
        {"LoadWeatherAreaFromDBF", "GetWeatherAreaLib", "ClearWeatherAreaLib", t.areas, true, 7},
        {"LoadHZWeatherAreaFromDBF", "GetHZWeatherAreaLib", "ClearHZWeatherAreaLib", t.loadCases,
         true, 7},
        {"LoadLineAttribFromDBF", "GetLineAttribLib", "ClearLineAttribLib", t.conductors, false, 4},
        {"LoadHBLineAttribFromDBF", "GetHBLineAttribLib", "ClearHBLineAttribLib", t.hbLines, false,
         3},
        {"LoadInsulatorAttribFromDBF", "GetInsulatorAttribLib", "ClearInsulatorAttribLib",
         t.insulators, false, 5},
    };
    for (const Library& lib : libraries) {
        SCOPED_TRACE(lib.load);
        Args load;
        load.p(lib.path.c_str());
        if (lib.takesNameFlag) load.i(0);
        EXPECT_EQ(call(lib.load, load, false).eax, 1u);
        const auto address = call(lib.get, Args(), false).eax;
        ASSERT_NE(address, 0u);
        const auto* seq =
            reinterpret_cast<const LineAttribSeq*>(static_cast<std::uintptr_t>(address));
        EXPECT_NE(seq->first, nullptr);
        call(lib.clear, Args(), false);
        EXPECT_EQ(seq->first, seq->last) << "cleared";
        EXPECT_EQ(call(lib.get, Args(), false).eax, address) << "the library never moves";
    }
}

// GetProcAddress's generic pointer as the export's real type (through void (*)(), the generic
// function pointer type that casts to any other).
template <class F>
F exportOf(HMODULE module, const char* name) {
    return reinterpret_cast<F>(reinterpret_cast<void (*)()>(GetProcAddress(module, name)));
}

// Committed private memory of the process, summed over its address space (what the heaps and
// the module's own data take).
std::size_t privateBytes() {
    std::size_t total = 0;
    MEMORY_BASIC_INFORMATION info{};
    const char* address = nullptr;
    while (VirtualQuery(address, &info, sizeof info) == sizeof info) {
        if (info.State == MEM_COMMIT && info.Type == MEM_PRIVATE) total += info.RegionSize;
        const char* next = static_cast<const char*>(info.BaseAddress) + info.RegionSize;
        if (next <= address) break;
        address = next;
    }
    return total;
}

// The module's lifetime: loading it, filling its libraries and freeing it again gives all of its
// memory back. A hundred cycles must not grow the process.
TEST(DllLifetime, LoadFillFreeHundredTimes) {
    const Tables& t = tables();
    auto cycle = [&] {
        HMODULE module = LoadLibraryA("varnel.dll");
        ASSERT_NE(module, nullptr);
        using LoadFlag = int(__stdcall*)(const char*, int);
        using Load = int(__stdcall*)(const char*);
        auto loadAreas = exportOf<LoadFlag>(module, "LoadWeatherAreaFromDBF");
        auto loadCases = exportOf<LoadFlag>(module, "LoadHZWeatherAreaFromDBF");
        auto loadLines = exportOf<Load>(module, "LoadLineAttribFromDBF");
        auto loadHb = exportOf<Load>(module, "LoadHBLineAttribFromDBF");
        auto loadInsulators = exportOf<Load>(module, "LoadInsulatorAttribFromDBF");
        for (int i = 0; i < 20; ++i) {
            ASSERT_EQ(loadAreas(t.areas.c_str(), 0), 1);
            ASSERT_EQ(loadCases(t.loadCases.c_str(), 1), 1);
            ASSERT_EQ(loadLines(t.conductors.c_str()), 1);
            ASSERT_EQ(loadHb(t.hbLines.c_str()), 1);
            ASSERT_EQ(loadInsulators(t.insulators.c_str()), 1);
        }
        ASSERT_TRUE(FreeLibrary(module));
    };
    for (int i = 0; i < 5; ++i) cycle();  // warm up the heap and the loader
    const std::size_t before = privateBytes();
    for (int i = 0; i < 100; ++i) cycle();
    const std::size_t after = privateBytes();
    const long long growth = static_cast<long long>(after) - static_cast<long long>(before);
    std::printf("private bytes: %zu before, %zu after 100 cycles (growth %lld)\n", before, after,
                growth);
    // Each cycle holds 140 areas with their conditions, 80 conductors and more: some 100 kB. A
    // leak of the libraries, or of the runtime's own start-up storage, would grow the process
    // by megabytes over a hundred cycles.
    EXPECT_LT(growth, 256 * 1024);
}

}  // namespace

namespace {

// The module's export table, read from its PE image in memory: the host's contract is these 25
// names and no others (the design layer and every helper stay inside).
TEST_F(DllHost, ExportsExactlyTheTwentyFiveNames) {
    const auto* base = reinterpret_cast<const unsigned char*>(module_);
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY& entry =
        nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_EXPORT];
    ASSERT_NE(entry.VirtualAddress, 0u);
    const auto* exports =
        reinterpret_cast<const IMAGE_EXPORT_DIRECTORY*>(base + entry.VirtualAddress);
    const auto* names = reinterpret_cast<const DWORD*>(base + exports->AddressOfNames);
    std::vector<std::string> found;
    for (DWORD i = 0; i < exports->NumberOfNames; ++i) {
        found.emplace_back(reinterpret_cast<const char*>(base + names[i]));
    }
    std::sort(found.begin(), found.end());
    std::vector<std::string> expected{"CPBodyWindHZ",
                                      "CPInsuWindHZ",
                                      "CPLineWindHZ",
                                      "CalcBZ",
                                      "CalcLineShapeCoff",
                                      "CalcRingStickShapeCoff",
                                      "CalcWindAsymmetryCoff",
                                      "CalcWindHeightChangeCoff",
                                      "ClearHBLineAttribLib",
                                      "ClearHZWeatherAreaLib",
                                      "ClearInsulatorAttribLib",
                                      "ClearLineAttribLib",
                                      "ClearWeatherAreaLib",
                                      "GetHBLineAttribLib",
                                      "GetHZWeatherAreaLib",
                                      "GetInsulatorAttribLib",
                                      "GetLineAttribLib",
                                      "GetWeatherAreaLib",
                                      "LoadHBLineAttribFromDBF",
                                      "LoadHZWeatherAreaFromDBF",
                                      "LoadInsulatorAttribFromDBF",
                                      "LoadLineAttribFromDBF",
                                      "LoadWeatherAreaFromDBF",
                                      "StateEquationGetControl",
                                      "StateEquationGetForce"};
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(found, expected);
    EXPECT_EQ(exports->NumberOfFunctions, 25u);
}

}  // namespace
