// A host as the design application is one: it loads varnel.dll by name, finds each export by its
// undecorated name and calls it through a pointer of the type the public header declares. On 32
// bits a plain call cannot tell whether the callee removed its arguments, so there each call goes
// through a probe that measures the stack; x64 has one calling convention and calls directly.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <stdexcept>
#include <string>
#include <type_traits>
#include <vector>

#include "support/dbf_writer.h"
#include "support/fixtures.h"
#include "varnel.h"

#if defined(_WIN32) && !defined(_WIN64)
#define VARNEL_STACK_PROBE 1
#endif

#ifdef VARNEL_STACK_PROBE
extern "C" {
struct ProbeResult {
    std::uint32_t eax;
    std::uint32_t edx;
    double st0;
};
unsigned varnelProbeCall(const void* fn, const void* args, unsigned argBytes, ProbeResult* out,
                         int returnsDouble);
}
#endif

namespace {

// The parameter and result types of an export's pointer type.
template <class F>
struct Signature;
template <class R, class... P>
struct Signature<R(VARNEL_CALL*)(P...)> {
    using Result = R;
    template <class... A>
    static constexpr bool takes = sizeof...(A) == sizeof...(P);
};

#ifdef VARNEL_STACK_PROBE
// Arguments laid out as a 32-bit caller pushes them: doubles in 8 bytes, everything else
// (pointers, ints, a char) in a 4-byte slot.
class Args {
  public:
    Args& put(double v) { return put(&v, 8); }
    Args& put(const void* v) { return put(&v, 4); }
    Args& put(std::int32_t v) { return put(&v, 4); }
    Args& put(char v) { return put(static_cast<std::int32_t>(static_cast<unsigned char>(v))); }
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

// Calls fn with args pushed as typed by P; checks that it removed exactly its own arguments.
template <class R, class... P>
R probedCall(const char* name, const void* fn, P... args) {
    Args bytes;
    (bytes.put(args), ...);
    ProbeResult r{};
    const unsigned left =
        varnelProbeCall(fn, bytes.data(), bytes.size(), &r, std::is_floating_point_v<R> ? 1 : 0);
    EXPECT_EQ(left, 0u) << name << " left " << left << " of its " << bytes.size()
                        << " argument bytes on the stack: not stdcall";
    const std::string decorated = std::string(name) + "@" + std::to_string(bytes.size());
    EXPECT_EQ(GetProcAddress(GetModuleHandleA("varnel.dll"), decorated.c_str()), nullptr)
        << decorated << " must not be exported";
    if constexpr (std::is_void_v<R>) {
        return;
    } else if constexpr (std::is_floating_point_v<R>) {
        return r.st0;
    } else if constexpr (std::is_same_v<R, bool>) {
        EXPECT_LE(r.eax & 0xFF, 1u) << name << " returned a bool that is neither 0 nor 1";
        return (r.eax & 0xFF) != 0;  // a bool comes back in AL; the rest of EAX is undefined
    } else if constexpr (std::is_pointer_v<R>) {
        return reinterpret_cast<R>(static_cast<std::uintptr_t>(r.eax));
    } else {
        return static_cast<R>(r.eax);
    }
}

template <class R, class... P>
R typedCall(R(VARNEL_CALL*)(P...), const char* name, const void* fn,
            std::type_identity_t<P>... args) {
    return probedCall<R, P...>(name, fn, args...);
}
#else
template <class R, class... P>
R typedCall(R (*)(P...), const char*, const void* fn, std::type_identity_t<P>... args) {
    return reinterpret_cast<R (*)(P...)>(reinterpret_cast<void (*)()>(const_cast<void*>(fn)))(
        args...);
}
#endif

class DllHost : public testing::Test {
  protected:
    void SetUp() override {
        module_ = LoadLibraryA("varnel.dll");
        ASSERT_NE(module_, nullptr) << "LoadLibrary failed: " << GetLastError();
    }
    void TearDown() override {
        if (module_ != nullptr) FreeLibrary(module_);
    }

    // Calls the export `name` as a function of type F, converting args to F's parameter types.
    template <class F, class... A>
    typename Signature<F>::Result callAs(const char* name, A... args) {
        static_assert(Signature<F>::template takes<A...>, "wrong number of arguments");
        const void* fn = reinterpret_cast<const void*>(GetProcAddress(module_, name));
        EXPECT_NE(fn, nullptr) << name << " is not exported under its plain name";
        if (fn == nullptr) return typename Signature<F>::Result();
        return typedCall(static_cast<F>(nullptr), name, fn, args...);
    }

    HMODULE module_ = nullptr;
};

// Calls an export by name through a pointer of the type the public header gives it.
#define CALL(fn, ...) callAs<decltype(&::fn)>(#fn __VA_OPT__(, ) __VA_ARGS__)

WeatherCondition condition(double ice, double wind, double temperature) {
    return varnel::test::makeCondition("", ice, wind, temperature);
}

LineAttrib conductor() {
    return varnel::test::jlg1a240();
}

#ifdef VARNEL_STACK_PROBE
TEST_F(DllHost, ProbeTellsCdeclFromStdcall) {
    // The probe itself must be able to fail: a cdecl function leaves its arguments behind.
    struct Local {
        static int __cdecl add(int a, int b) { return a + b; }
        static int __stdcall addStd(int a, int b) { return a + b; }
    };
    ProbeResult r{};
    Args args;
    args.put(2).put(3);
    EXPECT_EQ(varnelProbeCall(reinterpret_cast<const void*>(&Local::add), args.data(), 8, &r, 0),
              8u);
    EXPECT_EQ(r.eax, 5u);
    EXPECT_EQ(varnelProbeCall(reinterpret_cast<const void*>(&Local::addStd), args.data(), 8, &r, 0),
              0u);
    EXPECT_EQ(r.eax, 5u);
}
#endif

TEST_F(DllHost, Coefficients) {
    EXPECT_EQ(CALL(CalcWindAsymmetryCoff, 25.0, 20.0), 1.275);
    EXPECT_EQ(CALL(CalcLineShapeCoff, 17.0, 0.0), 1.1);
    EXPECT_EQ(CALL(CalcRingStickShapeCoff, 0.015), 0.7);
    EXPECT_NEAR(CALL(CalcWindHeightChangeCoff, 12.5, 'b', 0), 1.07, 1e-12);
    // Only the low byte of the letter's slot (or register) is read.
    using WideLetter = double(VARNEL_CALL*)(double, std::int32_t, int);
    EXPECT_NEAR(callAs<WideLetter>("CalcWindHeightChangeCoff", 10.0, 0x7F43, 0), 0.74, 1e-12);
}

TEST_F(DllHost, SpecificLoadAndStateEquation) {
    const auto a = conductor();
    const auto cold = condition(0, 0, -10);
    const auto hot = condition(0, 0, 40);
    EXPECT_NEAR(CALL(CalcBZ, &cold, &a), 922.2 * 0.00980665 / 275.96, 1e-15);

    double stress = 0;
    EXPECT_TRUE(CALL(StateEquationGetForce, 300.0, 1.0, &a, &cold, &hot, 100.0, &stress));
    EXPECT_NEAR(stress, 66.1823, 5e-5);
}

TEST_F(DllHost, ControlSearch) {
    const auto a = conductor();
    WeatherCondition single = condition(0, 0, -10);
    WeatherConditionSeq seq{};
    seq.first = &single;
    seq.last = seq.end = &single + 1;
    EXPECT_EQ(CALL(StateEquationGetControl, 300.0, 1.0, 0.25, &a, &seq, 0.95, 2.5), 0);
    std::fflush(stdout);
}

TEST_F(DllHost, WindLoads) {
    const auto a = conductor();
    const auto wind = condition(0, 25, 15);
    double force = 0, moment = 0;
    CALL(CPBodyWindHZ, &wind, 190.0, 12.0, 0.075, 0.0, &force, &moment);
    EXPECT_NEAR(force, 0.932866, 5e-7);
    EXPECT_NEAR(moment, 5.063325, 5e-7);
    EXPECT_NEAR(CALL(CPLineWindHZ, &wind, &a, 300.0, 15.0, 90.0), 2.36671875, 1e-12);
    const auto gust = condition(0, 20, 15);
    EXPECT_NEAR(CALL(CPInsuWindHZ, &gust, 15.0, 2.0), 0.5, 1e-15);
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
    // The five sequence types share one layout; only the pointers are read here.
    using LoadFlag = int(VARNEL_CALL*)(const char*, int);
    using Load = int(VARNEL_CALL*)(const char*);
    using Get = const LineAttribSeq*(VARNEL_CALL*)(void);
    using Clear = void(VARNEL_CALL*)(void);
    for (const Library& lib : libraries) {
        SCOPED_TRACE(lib.load);
        const int loaded = lib.takesNameFlag ? callAs<LoadFlag>(lib.load, lib.path.c_str(), 0)
                                             : callAs<Load>(lib.load, lib.path.c_str());
        EXPECT_EQ(loaded, 1);
        const LineAttribSeq* seq = callAs<Get>(lib.get);
        ASSERT_NE(seq, nullptr);
        EXPECT_NE(seq->first, nullptr);
        callAs<Clear>(lib.clear);
        EXPECT_EQ(seq->first, seq->last) << "cleared";
        EXPECT_EQ(callAs<Get>(lib.get), seq) << "the library never moves";
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
        using LoadFlag = int(VARNEL_CALL*)(const char*, int);
        using Load = int(VARNEL_CALL*)(const char*);
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
