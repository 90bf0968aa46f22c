// Entry points of the five design data libraries, and the libraries themselves: module-wide
// sequences, empty and valid from the moment the module is loaded (constant-initialised, so no
// code has to run first), released when it is unloaded. Their addresses never change.
//
// No exception leaves an entry point: a load that cannot get storage returns 0 and leaves its
// library as it was.
#include "calc/records/library_records.h"
#include "exports/export_macros.h"
#include "libraries/components/component_loaders.h"
#include "libraries/weather/weather_area_loader.h"

#if defined(_WIN32) && defined(__GLIBCXX__)
// The statically linked C++ runtime takes an emergency pool for exceptions when the module is
// loaded and never gives it back; a host that loads and frees the module repeatedly would lose
// it every time. Defined before the libraries, so it is destroyed after them.
namespace __gnu_cxx {
void __freeres();
}
namespace {
struct RuntimePoolRelease {
    ~RuntimePoolRelease() { __gnu_cxx::__freeres(); }
} runtimePoolRelease;
}  // namespace
#endif

namespace {

template <class T>
struct ModuleLibrary {
    varnel::Sequence<T> records;
    ~ModuleLibrary() { records.release(); }
};

constinit ModuleLibrary<varnel::WeatherArea> weatherAreaLib{};
constinit ModuleLibrary<varnel::WeatherArea> hzWeatherAreaLib{};
constinit ModuleLibrary<varnel::LineAttrib> lineAttribLib{};
constinit ModuleLibrary<varnel::HBLineAttrib> hbLineAttribLib{};
constinit ModuleLibrary<varnel::InsulatorAttrib> insulatorAttribLib{};

template <class Load>
int guardedLoad(Load load) noexcept {
    try {
        return load();
    } catch (...) {
        return 0;
    }
}

}  // namespace

VARNEL_EXPORT int VARNEL_CALL LoadWeatherAreaFromDBF(const char* path, int englishNames) noexcept {
    return guardedLoad(
        [&] { return varnel::loadWeatherAreas(weatherAreaLib.records, path, englishNames != 0); });
}
VARNEL_EXPORT varnel::WeatherAreaLib* VARNEL_CALL GetWeatherAreaLib() noexcept {
    return &weatherAreaLib.records;
}
VARNEL_EXPORT void VARNEL_CALL ClearWeatherAreaLib() noexcept {
    weatherAreaLib.records.clear();
}

VARNEL_EXPORT int VARNEL_CALL LoadHZWeatherAreaFromDBF(const char* path,
                                                       int englishNames) noexcept {
    return guardedLoad([&] {
        return varnel::loadLoadCaseWeatherAreas(hzWeatherAreaLib.records, path, englishNames != 0);
    });
}
VARNEL_EXPORT varnel::WeatherAreaLib* VARNEL_CALL GetHZWeatherAreaLib() noexcept {
    return &hzWeatherAreaLib.records;
}
VARNEL_EXPORT void VARNEL_CALL ClearHZWeatherAreaLib() noexcept {
    hzWeatherAreaLib.records.clear();
}

VARNEL_EXPORT int VARNEL_CALL LoadLineAttribFromDBF(const char* path) noexcept {
    return guardedLoad([&] { return varnel::loadLineAttribs(lineAttribLib.records, path); });
}
VARNEL_EXPORT varnel::LineAttribLib* VARNEL_CALL GetLineAttribLib() noexcept {
    return &lineAttribLib.records;
}
VARNEL_EXPORT void VARNEL_CALL ClearLineAttribLib() noexcept {
    lineAttribLib.records.clear();
}

VARNEL_EXPORT int VARNEL_CALL LoadHBLineAttribFromDBF(const char* path) noexcept {
    return guardedLoad([&] { return varnel::loadHBLineAttribs(hbLineAttribLib.records, path); });
}
VARNEL_EXPORT varnel::HBLineAttribLib* VARNEL_CALL GetHBLineAttribLib() noexcept {
    return &hbLineAttribLib.records;
}
VARNEL_EXPORT void VARNEL_CALL ClearHBLineAttribLib() noexcept {
    hbLineAttribLib.records.clear();
}

VARNEL_EXPORT int VARNEL_CALL LoadInsulatorAttribFromDBF(const char* path) noexcept {
    return guardedLoad(
        [&] { return varnel::loadInsulatorAttribs(insulatorAttribLib.records, path); });
}
VARNEL_EXPORT varnel::InsulatorAttribLib* VARNEL_CALL GetInsulatorAttribLib() noexcept {
    return &insulatorAttribLib.records;
}
VARNEL_EXPORT void VARNEL_CALL ClearInsulatorAttribLib() noexcept {
    insulatorAttribLib.records.clear();
}
