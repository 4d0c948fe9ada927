#include "plugin/module_handle.h"

namespace tolvar {
namespace {
void* moduleHandle = nullptr;
}  // namespace

void* ModuleHandle() { return moduleHandle; }
void SetModuleHandle(void* handle) { moduleHandle = handle; }

}  // namespace tolvar
