// What the browser build's C++ library (emscripten's libc++) lacks of
// C++20 and the rest of the code uses. The build includes it before every
// source file; each piece stands only where the library has none.
#ifndef QDPEXT_PLATFORM_BROWSER_COMPAT_H_
#define QDPEXT_PLATFORM_BROWSER_COMPAT_H_

#include <cstddef>
#include <memory>
#include <type_traits>

#ifndef __cpp_lib_smart_ptr_for_overwrite
namespace std {
// An array of `size` elements left uninitialised, as the standard one.
template <class T>
requires is_unbounded_array_v<T> unique_ptr<T> make_unique_for_overwrite(size_t size) {
  return unique_ptr<T>(new remove_extent_t<T>[size]);
}
}  // namespace std
#endif

#endif  // QDPEXT_PLATFORM_BROWSER_COMPAT_H_
