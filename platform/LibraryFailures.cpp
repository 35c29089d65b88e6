// The GNU C++ library raises its errors (a string too long, an index out of range, an allocation
// that failed) through the functions below. Its own versions build std::logic_error and
// std::runtime_error, whose messages drag a second, copy-on-write string class, its exceptions
// and std::random_device into the static chainer, only to carry a short text. The executable
// lists this file among its own objects, so the library's versions are never linked. These throw
// the same types where those are light, and otherwise an exception that carries the library's
// text; the chainer catches std::exception, never the library's subclasses.
#include <cstdarg>
#include <cstddef>
#include <exception>
#include <new>
#include <typeinfo>

namespace orvanta {
namespace {

class LibraryFailure final : public std::exception {
public:
    explicit LibraryFailure(const char* text) noexcept { Append(text != nullptr ? text : "library failure"); }
    // The library's formats know only %zu, %s and %%.
    LibraryFailure(const char* format, va_list arguments) noexcept
    {
        for (const char* c = format; *c != '\0'; ++c) {
            if (c[0] == '%' && c[1] == 'z' && c[2] == 'u') {
                AppendDecimal(va_arg(arguments, size_t));
                c += 2;
            } else if (c[0] == '%' && c[1] == 's') {
                const char* text = va_arg(arguments, const char*);
                Append(text != nullptr ? text : "");
                c += 1;
            } else {
                c += (c[0] == '%' && c[1] == '%') ? 1 : 0;
                Append(*c);
            }
        }
    }
    const char* what() const noexcept override { return text_; }

private:
    void Append(char c) noexcept
    {
        if (length_ + 1 < sizeof(text_))
            text_[length_++] = c;
        text_[length_] = '\0';
    }
    void Append(const char* text) noexcept
    {
        while (*text != '\0')
            Append(*text++);
    }
    void AppendDecimal(size_t value) noexcept
    {
        char digits[24];
        size_t count = 0;
        do {
            digits[count++] = static_cast<char>('0' + value % 10);
            value /= 10;
        } while (value != 0);
        while (count != 0)
            Append(digits[--count]);
    }

    char text_[256] = "";
    size_t length_ = 0;
};

} // namespace
} // namespace orvanta

namespace std {

[[noreturn]] void __throw_bad_alloc() { throw bad_alloc(); }
[[noreturn]] void __throw_bad_array_new_length() { throw bad_array_new_length(); }
[[noreturn]] void __throw_bad_cast() { throw bad_cast(); }
[[noreturn]] void __throw_bad_typeid() { throw bad_typeid(); }
[[noreturn]] void __throw_bad_exception() { throw bad_exception(); }
[[noreturn]] void __throw_logic_error(const char* text) { throw orvanta::LibraryFailure(text); }
[[noreturn]] void __throw_domain_error(const char* text) { throw orvanta::LibraryFailure(text); }
[[noreturn]] void __throw_invalid_argument(const char* text) { throw orvanta::LibraryFailure(text); }
[[noreturn]] void __throw_length_error(const char* text) { throw orvanta::LibraryFailure(text); }
[[noreturn]] void __throw_out_of_range(const char* text) { throw orvanta::LibraryFailure(text); }
[[noreturn]] void __throw_out_of_range_fmt(const char* format, ...)
{
    va_list arguments;
    va_start(arguments, format);
    const orvanta::LibraryFailure failure(format, arguments);
    va_end(arguments);
    throw failure;
}
[[noreturn]] void __throw_runtime_error(const char* text) { throw orvanta::LibraryFailure(text); }
[[noreturn]] void __throw_range_error(const char* text) { throw orvanta::LibraryFailure(text); }
[[noreturn]] void __throw_overflow_error(const char* text) { throw orvanta::LibraryFailure(text); }
[[noreturn]] void __throw_underflow_error(const char* text) { throw orvanta::LibraryFailure(text); }

} // namespace std
