// Stands in for Visual C++'s <vcruntime_exception.h>: std::exception and its first children, laid
// out as Visual C++ lays them out (a virtual table, then the message and whether to free it), so
// that an exception thrown in one module is caught in another built by Visual Studio. The message
// is copied and freed by the runtime's __std_exception_copy and __std_exception_destroy.
#pragma once
#include <eh.h>
#include <vcruntime.h>

#ifdef __cplusplus
#pragma pack(push, _CRT_PACKING)

extern "C" {
struct __std_exception_data {
  char const* _What;
  bool _DoFree;
};
_VCRTIMP void __cdecl __std_exception_copy(__std_exception_data const* _From,
                                           __std_exception_data* _To);
_VCRTIMP void __cdecl __std_exception_destroy(__std_exception_data* _Data);
}

namespace std {

class exception {
 public:
  exception() noexcept : _Data() {}

  explicit exception(char const* const _Message) noexcept : _Data() {
    __std_exception_data _InitData = {_Message, true};
    __std_exception_copy(&_InitData, &_Data);
  }

  exception(char const* const _Message, int) noexcept : _Data() { _Data._What = _Message; }

  exception(exception const& _Other) noexcept : _Data() {
    __std_exception_copy(&_Other._Data, &_Data);
  }

  exception& operator=(exception const& _Other) noexcept {
    if (this == &_Other) {
      return *this;
    }
    __std_exception_destroy(&_Data);
    __std_exception_copy(&_Other._Data, &_Data);
    return *this;
  }

  virtual ~exception() noexcept { __std_exception_destroy(&_Data); }

  [[nodiscard]] virtual char const* what() const {
    return _Data._What ? _Data._What : "Unknown exception";
  }

 private:
  __std_exception_data _Data;
};

class bad_exception : public exception {
 public:
  bad_exception() noexcept : exception("bad exception", 1) {}
};

class bad_alloc : public exception {
 public:
  bad_alloc() noexcept : exception("bad allocation", 1) {}

 private:
  friend class bad_array_new_length;
  bad_alloc(char const* const _Message) noexcept : exception(_Message, 1) {}
};

class bad_array_new_length : public bad_alloc {
 public:
  bad_array_new_length() noexcept : bad_alloc("bad array new length") {}
};

}  // namespace std

#pragma pack(pop)
#endif  // __cplusplus
