#pragma once
// Loud failure for calls the stand-in host does not serve. A plug-in that makes
// such a call has a fault; we stop it at once rather than answer with a value
// that might let the fault pass unnoticed.

namespace tolvar {

// Writes "tolvar stand-in host: misuse: <what>" to stderr and aborts.
[[noreturn]] void ReportHostMisuse(const char* what);

}  // namespace tolvar
