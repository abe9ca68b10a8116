// A plain base for classes with one instance; the class supplies its own static Instance().
#ifndef BASE_CPP_UTILS_SINGLETON_H_
#define BASE_CPP_UTILS_SINGLETON_H_

namespace base::cpp_utils {

template <class T>
// Forbids copies of `T`; `T` makes its one instance itself.
class Singleton {
 protected:
  Singleton() = default;
  ~Singleton() = default;

 public:
  Singleton(const Singleton&) = delete;
  Singleton& operator=(const Singleton&) = delete;
};

}  // namespace base::cpp_utils

#endif  // BASE_CPP_UTILS_SINGLETON_H_
