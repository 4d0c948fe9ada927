#pragma once
// Process-wide bookkeeping of the stand-in host's media sources, so that tests
// can see which files a plug-in opened and that it destroyed every source.
// Every function may be called from any thread.
#include <string>
#include <vector>

namespace tolvar {

// Sources created and not yet destroyed.
int LiveMediaSourceCount();

// Every path passed to CreateMediaSource (PCM_Source_CreateFromFile) since the
// last clear, in order, whether or not the file could be decoded.
std::vector<std::string> OpenedMediaPaths();
void ClearOpenedMediaPaths();

// For media_source.cpp: record an opened path (dropped silently when memory runs
// out); track a source's life.
void RecordOpenedMediaPath(const char* path);
bool RegisterLiveMediaSource(const void* source);  // false when out of memory
bool UnregisterLiveMediaSource(const void* source);  // false when it was not live
bool IsLiveMediaSource(const void* source);

}  // namespace tolvar
