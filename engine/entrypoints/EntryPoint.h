#pragma once
// An entry point of a shared library: its exported name and the variable that receives its
// address when the library is bound. Each library's entry points form one list, bound in order.
/* A library's header writes its list once, as an X-macro of the exported names:

       #define CLIPGIF_AVDEVICE_ENTRY_POINTS(X) \
           X(avdevice_version)                  \
           X(avdevice_register_all)
       CLIPGIF_DECLARE_ENTRY_POINTS(AvdeviceEntryPoints, CLIPGIF_AVDEVICE_ENTRY_POINTS)

   and its source file defines everything from it:

       CLIPGIF_DEFINE_ENTRY_POINTS(AvdeviceEntryPoints, CLIPGIF_AVDEVICE_ENTRY_POINTS)

   For each name this gives the variable libav::name, of the type of a pointer to ::name (null
   until bound), and the row {"name", &libav::name} of the list AvdeviceEntryPoints(). */
#include <vector>

struct TEntryPoint {
    const char* Name;
    void** Address;
};
using TEntryPointList = std::vector<TEntryPoint>;

#define CLIPGIF_ENTRY_POINT_DECLARATION(name) extern decltype(&::name) name;
#define CLIPGIF_ENTRY_POINT_VARIABLE(name) decltype(&::name) name = nullptr;
#define CLIPGIF_ENTRY_POINT_ROW(name) TEntryPoint{#name, reinterpret_cast<void**>(&libav::name)},

// The variables of the list and the function that returns its rows.
#define CLIPGIF_DECLARE_ENTRY_POINTS(listFunction, LIST) \
    namespace libav {                                    \
    LIST(CLIPGIF_ENTRY_POINT_DECLARATION)                \
    }                                                    \
    const TEntryPointList& listFunction();

#define CLIPGIF_DEFINE_ENTRY_POINTS(listFunction, LIST)                      \
    namespace libav {                                                        \
    LIST(CLIPGIF_ENTRY_POINT_VARIABLE)                                       \
    }                                                                        \
    const TEntryPointList& listFunction() {                                  \
        static const TEntryPointList list = {LIST(CLIPGIF_ENTRY_POINT_ROW)}; \
        return list;                                                         \
    }
