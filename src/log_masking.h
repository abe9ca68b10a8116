// Keeps session tokens out of log lines.
#ifndef LUMOAPI_LOG_MASKING_H_
#define LUMOAPI_LOG_MASKING_H_

#include <string>

#include "lumoapi/export.h"

namespace lumoapi {

// Writes the value of every "kwtok=" parameter and "KWTOK=" cookie in `text` as "***" (the name
// is matched without regard to case; the value ends at "&", ";", white space or a quote).
LUMOAPI_EXPORT_PRIVATE std::wstring MaskSecrets(std::wstring text);

}  // namespace lumoapi

#endif  // LUMOAPI_LOG_MASKING_H_
