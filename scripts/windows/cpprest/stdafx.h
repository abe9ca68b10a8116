// What the JSON, URI and string-conversion sources of the C++ REST SDK need before their own
// headers, in place of the SDK's src/pch/stdafx.h, which also brings in the HTTP client, the
// listener and the task scheduler that this build leaves out.
#pragma once

#include <sdkddkver.h>
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
// asyncrt_utils.cpp maps WinHTTP's error codes to std::errc.
#include <winhttp.h>

// std::strcmp in asyncrt_utils.cpp, which the SDK's header brought in by the way.
#include <cstring>

// asyncrt_utils.cpp also maps these URL-moniker codes, which MinGW-w64's headers do not define.
#ifndef INET_E_CANNOT_CONNECT
#define INET_E_CANNOT_CONNECT _HRESULT_TYPEDEF_(0x800C0004L)
#define INET_E_RESOURCE_NOT_FOUND _HRESULT_TYPEDEF_(0x800C0005L)
#define INET_E_DOWNLOAD_FAILURE _HRESULT_TYPEDEF_(0x800C0008L)
#define INET_E_CONNECTION_TIMEOUT _HRESULT_TYPEDEF_(0x800C000BL)
#endif

#include <algorithm>
#include <array>
#include <atomic>
#include <cassert>
#include <exception>
#include <memory>
#include <mutex>
#include <vector>

#include "cpprest/asyncrt_utils.h"
#include "cpprest/details/basic_types.h"
#include "cpprest/details/cpprest_compat.h"
#include "cpprest/json.h"
#include "cpprest/uri.h"

// uri_builder.cpp names web::http::uri, which the left-out http_msg.h declares.
namespace web {
namespace http {
using web::uri;
}  // namespace http
}  // namespace web
