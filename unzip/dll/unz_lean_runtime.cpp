// Lean replacements for the few pieces of the C++ runtime that the shipped
// binaries (UnzDll.dll, setup.exe) would otherwise pull in from libstdc++
// and libsupc++. Those are built without exceptions: nothing may leave our
// code as an exception, so the throwing versions would only drag the
// unwinder, the exception classes, the demangler and the threads runtime
// into the image. Allocation failure is checked where we allocate
// (new (std::nothrow)); what is left here is the last resort of a broken
// invariant, which ends the process at once.
//
// Linked only into the shipped targets; the tests keep the normal runtime.
#include <cstddef>
#include <cstdlib>
#include <new>
#include <string>

// libstdc++ ships std::string's members compiled with exceptions; an
// instantiation of our own, built lean, keeps its copies (and with them the
// whole exception runtime) out of the link.
template class std::basic_string<char>;

namespace {

[[noreturn]] void fatal() {
    std::abort();
}

}  // namespace

void* operator new(std::size_t size) {
    void* p = std::malloc(size != 0 ? size : 1);
    if (p == nullptr) {
        fatal();
    }
    return p;
}

void* operator new[](std::size_t size) {
    return ::operator new(size);
}

void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    return std::malloc(size != 0 ? size : 1);
}

void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
    return std::malloc(size != 0 ? size : 1);
}

void operator delete(void* p) noexcept {
    std::free(p);
}

void operator delete[](void* p) noexcept {
    std::free(p);
}

void operator delete(void* p, std::size_t) noexcept {
    std::free(p);
}

void operator delete[](void* p, std::size_t) noexcept {
    std::free(p);
}

void operator delete(void* p, const std::nothrow_t&) noexcept {
    std::free(p);
}

void operator delete[](void* p, const std::nothrow_t&) noexcept {
    std::free(p);
}

// The containers' length checks and the like report through these.
namespace std {

// Defined here so that libstdc++'s new_handler.o, with its unwind tables,
// stays out of the link.
extern const nothrow_t nothrow;
const nothrow_t nothrow{};

void __throw_bad_alloc() {
    fatal();
}
void __throw_bad_array_new_length() {
    fatal();
}
void __throw_length_error(const char*) {
    fatal();
}
void __throw_logic_error(const char*) {
    fatal();
}
void __throw_out_of_range(const char*) {
    fatal();
}
void __throw_out_of_range_fmt(const char*, ...) {
    fatal();
}
void __throw_invalid_argument(const char*) {
    fatal();
}

}  // namespace std

extern "C" {

void __cxa_pure_virtual() {
    fatal();
}

void __cxa_deleted_virtual() {
    fatal();
}

}  // extern "C"
