#pragma once

#include <cstddef>

// The media information library, loaded at run time by bare name and never
// unloaded. Its entry points live in process-wide variables that stay null
// until the first successful load; while no load has succeeded, every
// LoadMediaInfo tries again, so a library installed while the program runs is
// picked up by the next query. GUI thread only: nothing here is locked.
namespace MediaInfoDll {

// Codes of the library's stream-kind and info-kind enumerations.
enum StreamKind : int { General = 0, Video = 1, Audio = 2 };
enum InfoKind : int { Name = 0, Text = 1 };

// The module handle of the loaded library; null until the first successful load.
extern void *MediaInfoModule;

// The wide-character family.
extern void *(*MediaInfo_New)();
extern void (*MediaInfo_Delete)(void *handle);
extern std::size_t (*MediaInfo_Open)(void *handle, const wchar_t *file);
extern void (*MediaInfo_Close)(void *handle);
extern const wchar_t *(*MediaInfo_Inform)(void *handle, std::size_t reserved);
extern const wchar_t *(*MediaInfo_GetI)(void *handle, StreamKind kind, std::size_t number, std::size_t parameter,
                                        InfoKind info);
extern const wchar_t *(*MediaInfo_Get)(void *handle, StreamKind kind, std::size_t number, const wchar_t *parameter,
                                       InfoKind info, InfoKind search);
extern const wchar_t *(*MediaInfo_Option)(void *handle, const wchar_t *option, const wchar_t *value);
extern std::size_t (*MediaInfo_State_Get)(void *handle);
extern std::size_t (*MediaInfo_Count_Get)(void *handle, StreamKind kind, std::size_t number);

// The byte-string family: paths, parameter names and values in the C
// library's multibyte encoding (the locale's character type).
extern void *(*MediaInfoA_New)();
extern void (*MediaInfoA_Delete)(void *handle);
extern std::size_t (*MediaInfoA_Open)(void *handle, const char *file);
extern void (*MediaInfoA_Close)(void *handle);
extern const char *(*MediaInfoA_Inform)(void *handle, std::size_t reserved);
extern const char *(*MediaInfoA_GetI)(void *handle, StreamKind kind, std::size_t number, std::size_t parameter,
                                      InfoKind info);
extern const char *(*MediaInfoA_Get)(void *handle, StreamKind kind, std::size_t number, const char *parameter,
                                     InfoKind info, InfoKind search);
extern const char *(*MediaInfoA_Option)(void *handle, const char *option, const char *value);
extern std::size_t (*MediaInfoA_State_Get)(void *handle);
extern std::size_t (*MediaInfoA_Count_Get)(void *handle, StreamKind kind, std::size_t number);

// Loads the library unless it is loaded, then binds all twenty entry points
// again. False when the library cannot be loaded; nothing changes then.
bool LoadMediaInfo(const char *libraryName);

// Maps the library into the process and nothing more: safe from any thread.
// A later LoadMediaInfo on the GUI thread then finds it mapped and returns
// at once, instead of stalling the window while the library is read in.
// False when the library cannot be loaded.
bool MapLibrary(const char *libraryName);

// Looks `name` up in the loaded library and stores its address, or null.
// True when the name was found.
bool BindEntryPoint(const char *name, void *&address);

template <typename Function>
bool BindEntryPoint(const char *name, Function *&entryPoint)
{
    void *address = nullptr;
    const bool found = BindEntryPoint(name, address);
    entryPoint = reinterpret_cast<Function *>(address);
    return found;
}

// The name every query loads the library by: "libmediainfo.so.0" unless a
// test has replaced it.
const char *libraryName();
void setLibraryName(const char *name);

} // namespace MediaInfoDll
