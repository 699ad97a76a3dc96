#include "media/mediainfodll.h"

#include <dlfcn.h>

#include <string>

namespace MediaInfoDll {

void *MediaInfoModule = nullptr;

void *(*MediaInfo_New)() = nullptr;
void (*MediaInfo_Delete)(void *) = nullptr;
std::size_t (*MediaInfo_Open)(void *, const wchar_t *) = nullptr;
void (*MediaInfo_Close)(void *) = nullptr;
const wchar_t *(*MediaInfo_Inform)(void *, std::size_t) = nullptr;
const wchar_t *(*MediaInfo_GetI)(void *, StreamKind, std::size_t, std::size_t, InfoKind) = nullptr;
const wchar_t *(*MediaInfo_Get)(void *, StreamKind, std::size_t, const wchar_t *, InfoKind, InfoKind) = nullptr;
const wchar_t *(*MediaInfo_Option)(void *, const wchar_t *, const wchar_t *) = nullptr;
std::size_t (*MediaInfo_State_Get)(void *) = nullptr;
std::size_t (*MediaInfo_Count_Get)(void *, StreamKind, std::size_t) = nullptr;

void *(*MediaInfoA_New)() = nullptr;
void (*MediaInfoA_Delete)(void *) = nullptr;
std::size_t (*MediaInfoA_Open)(void *, const char *) = nullptr;
void (*MediaInfoA_Close)(void *) = nullptr;
const char *(*MediaInfoA_Inform)(void *, std::size_t) = nullptr;
const char *(*MediaInfoA_GetI)(void *, StreamKind, std::size_t, std::size_t, InfoKind) = nullptr;
const char *(*MediaInfoA_Get)(void *, StreamKind, std::size_t, const char *, InfoKind, InfoKind) = nullptr;
const char *(*MediaInfoA_Option)(void *, const char *, const char *) = nullptr;
std::size_t (*MediaInfoA_State_Get)(void *) = nullptr;
std::size_t (*MediaInfoA_Count_Get)(void *, StreamKind, std::size_t) = nullptr;

namespace {

std::string &libraryNameStore()
{
    static std::string name = "libmediainfo.so.0";
    return name;
}

} // namespace

const char *libraryName()
{
    return libraryNameStore().c_str();
}

void setLibraryName(const char *name)
{
    libraryNameStore() = name;
}

bool BindEntryPoint(const char *name, void *&address)
{
    address = dlsym(MediaInfoModule, name);
    return address != nullptr;
}

bool MapLibrary(const char *libraryName)
{
    // The library is never unloaded: this reference is kept too.
    return dlopen(libraryName, RTLD_NOW | RTLD_LOCAL) != nullptr;
}

bool LoadMediaInfo(const char *libraryName)
{
    bool loadedNow = false;
    if (!MediaInfoModule) {
        MediaInfoModule = dlopen(libraryName, RTLD_NOW | RTLD_LOCAL);
        loadedNow = MediaInfoModule != nullptr;
    }
    if (!MediaInfoModule)
        return false;

    BindEntryPoint("MediaInfo_New", MediaInfo_New);
    BindEntryPoint("MediaInfo_Delete", MediaInfo_Delete);
    BindEntryPoint("MediaInfo_Open", MediaInfo_Open);
    BindEntryPoint("MediaInfo_Close", MediaInfo_Close);
    BindEntryPoint("MediaInfo_Inform", MediaInfo_Inform);
    BindEntryPoint("MediaInfo_GetI", MediaInfo_GetI);
    BindEntryPoint("MediaInfo_Get", MediaInfo_Get);
    BindEntryPoint("MediaInfo_Option", MediaInfo_Option);
    BindEntryPoint("MediaInfo_State_Get", MediaInfo_State_Get);
    BindEntryPoint("MediaInfo_Count_Get", MediaInfo_Count_Get);
    BindEntryPoint("MediaInfoA_New", MediaInfoA_New);
    BindEntryPoint("MediaInfoA_Delete", MediaInfoA_Delete);
    BindEntryPoint("MediaInfoA_Open", MediaInfoA_Open);
    BindEntryPoint("MediaInfoA_Close", MediaInfoA_Close);
    BindEntryPoint("MediaInfoA_Inform", MediaInfoA_Inform);
    BindEntryPoint("MediaInfoA_GetI", MediaInfoA_GetI);
    BindEntryPoint("MediaInfoA_Get", MediaInfoA_Get);
    BindEntryPoint("MediaInfoA_Option", MediaInfoA_Option);
    BindEntryPoint("MediaInfoA_State_Get", MediaInfoA_State_Get);
    BindEntryPoint("MediaInfoA_Count_Get", MediaInfoA_Count_Get);

    // Current versions of the library leave "Codec/String" empty unless its
    // legacy parameters are switched on; the option is process-wide and
    // changes none of the other parameters Halvora reads.
    if (loadedNow && MediaInfoA_Option)
        MediaInfoA_Option(nullptr, "Legacy", "1");
    return true;
}

} // namespace MediaInfoDll
