// The Windows code of lumoapi includes <windows.h> before the libraries' headers; with the whole
// of it (no WIN32_LEAN_AND_MEAN), wingdi.h's ERROR and windef.h's min and max macros are there.
#include <windows.h>

#include <cpprest/json.h>
#include <cpprest/uri_builder.h>
#include <glog/logging.h>

#include <string>

std::string LogAfterWindowsHeaders(const std::wstring& text) {
  web::uri_builder builder(L"http://127.0.0.1/");
  builder.append_query(L"pid", static_cast<unsigned long>(GetCurrentProcessId()));
  const std::string line = utility::conversions::to_utf8string(
      web::json::value::string(text + builder.query()).serialize());
  LOG(ERROR) << line;
  return line;
}
