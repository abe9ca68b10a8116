// Stands in for the C runtime's internal header that the C++ library's static sources include:
// of it they use only the allocation functions.
#pragma once
#include <stdlib.h>
