// Smaller stand-ins for two parts of the static C++ runtime that the DLL would otherwise carry
// without needing them. Linked into the DLL only; the tests and the simulator keep the originals.
//
// - The containers report impossible sizes and bad positions through std::__throw_*; the
//   runtime's own versions build std::logic_error and its kin, whose copy-on-write strings, with
//   the rest of their library, weigh about 40 KB. Every such failure ends at a COM boundary as an
//   HRESULT anyway: allocation failures still throw std::bad_alloc (E_OUTOFMEMORY), the others an
//   exception of their own (E_UNEXPECTED, as a std::logic_error was).
// - std::terminate's default handler prints the pending exception's demangled type name, and so
//   brings the runtime's whole symbol demangler (about 37 KB). Nothing can leave a noexcept
//   boundary short of a defect, and inside Outlook there is no console to print to: ending the
//   process is all the handler can usefully do.
#include <cstdlib>
#include <exception>
#include <new>

namespace {
struct RuntimeCheckFailed final : std::exception {
    const char* what() const noexcept override { return "C++ runtime check failed"; }
};
}  // namespace

namespace std {
[[noreturn]] void __throw_bad_alloc() { throw std::bad_alloc(); }
[[noreturn]] void __throw_bad_array_new_length() { throw std::bad_alloc(); }
[[noreturn]] void __throw_length_error(const char*) { throw RuntimeCheckFailed(); }
[[noreturn]] void __throw_logic_error(const char*) { throw RuntimeCheckFailed(); }
[[noreturn]] void __throw_out_of_range_fmt(const char*, ...) { throw RuntimeCheckFailed(); }
}  // namespace std

namespace __gnu_cxx {
void __verbose_terminate_handler() { std::abort(); }
}  // namespace __gnu_cxx
