// The design layer's entry points are part of the native shared library (libvarnel.so), beside
// the host's C exports; everything else in it stays hidden. varnel.dll exports only the names
// its .def file lists, so they stay out of it.
#pragma once

#if defined(_WIN32)
#define VARNEL_DESIGN_API
#else
#define VARNEL_DESIGN_API __attribute__((visibility("default")))
#endif
