/* A host that loads varnel.dll at run time and finds its exports by their plain names. */
#include <windows.h>
#include <stdio.h>
#include "varnel.h"

typedef double(__stdcall* CalcBZFn)(const WeatherCondition*, const LineAttrib*);
typedef int(__stdcall* LoadLineAttribFn)(const char*);
typedef const LineAttribSeq*(__stdcall* GetLineAttribLibFn)(void);

int main(int argc, char** argv) {
    const char* table = argc > 1 ? argv[1] : "lines"; /* opens lines.dbf */
    HMODULE dll = LoadLibraryA("varnel.dll");
    if (dll == NULL) return 1;
    /* GetProcAddress returns a generic FARPROC; void (*)(void) converts to any function type. */
    CalcBZFn calcBZ = (CalcBZFn)(void (*)(void))GetProcAddress(dll, "CalcBZ");
    LoadLineAttribFn loadLines =
        (LoadLineAttribFn)(void (*)(void))GetProcAddress(dll, "LoadLineAttribFromDBF");
    GetLineAttribLibFn lineLib =
        (GetLineAttribLibFn)(void (*)(void))GetProcAddress(dll, "GetLineAttribLib");
    if (calcBZ == NULL || loadLines == NULL || lineLib == NULL) return 1;

    if (loadLines(table) != 1) return 1;
    const LineAttribSeq* lib = lineLib();
    WeatherCondition calm = {"", 0.0, 0.0, 15.0};
    for (const LineAttrib* c = lib->first; c != NULL && c != lib->last; ++c) {
        printf("%s: %g N/(m*mm2)\n", c->name, calcBZ(&calm, c));
    }
    FreeLibrary(dll);
    return 0;
}
