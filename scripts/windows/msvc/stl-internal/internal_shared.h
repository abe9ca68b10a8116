// Stands in for the C runtime's internal header that the C++ library's static sources include:
// of it they use only the allocation functions, under the runtime's internal names.
#pragma once
#include <stdlib.h>

#define _calloc_crt calloc
#define _malloc_crt malloc
#define _free_crt free
